// The application-wide override cursor (the wait cursor of a long operation), and a scope
// that takes it away while a modal dialog waits for the operator, so that a file dialog or a
// message box shown in the middle of an operation has the ordinary pointer.
//
// Used on the windows' thread only.
#pragma once

#include <QCursor>
#include <QList>

namespace orvel::platform::toolkit {

// Sets the wait cursor over every window of the program; a second call changes nothing.
void set_wait_cursor();
// Takes away the cursor that set_wait_cursor() put up; nothing when there is none.
void restore_normal_cursor();

// Removes every override cursor for its life and puts them back, in order, afterwards.
class OverrideCursorSuspended {
 public:
  OverrideCursorSuspended();
  ~OverrideCursorSuspended();
  OverrideCursorSuspended(const OverrideCursorSuspended&) = delete;
  OverrideCursorSuspended& operator=(const OverrideCursorSuspended&) = delete;

 private:
  QList<QCursor> removed_;  // topmost first
};

}  // namespace orvel::platform::toolkit
