// The screen parts of import and export on the main window: the progress bar over the
// passport count, the wait cursor, message boxes and the file dialogs.
//
// The bar is redisplayed at once whenever its value changes what it shows, without waiting
// for the event loop, which does not run while an operation works; the rest of the window
// is redisplayed only when the operation asks for it. Bounds beyond the bar's integer range
// (update files over 2 GiB) are scaled down, so the bar still fills from start to end.
//
// Every part is used on the windows' thread and must not outlive the widgets it is given.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/operation_ui.h"
#include "platform/toolkit/message_boxes.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace orvel::windows {

class WindowProgress : public app::ProgressDisplay {
 public:
  WindowProgress(QWidget* window, QProgressBar* bar, QLabel* count);

  void show() override;
  void set_upper_bound(int64_t bound) override;
  void set_value(int64_t value) override;
  void redisplay() override;
  void hide() override;
  void set_passport_count(uint32_t count) override;

  // The bound and the value as the operation set them, before any scaling.
  int64_t upper_bound() const { return bound_; }
  int64_t value() const { return value_; }

 private:
  int to_bar(int64_t value) const;

  QWidget* window_;
  QProgressBar* bar_;
  QLabel* count_;
  int64_t bound_ = 100;
  int64_t value_ = 0;
};

class WindowCursor : public app::WaitCursor {
 public:
  void set_wait() override;
  void restore() override;
};

// Plain message boxes: no caption, no icon, OK.
class WindowMessages : public app::MessageDisplay {
 public:
  WindowMessages(QWidget* parent, platform::toolkit::MessageBoxes& boxes)
      : parent_(parent), boxes_(boxes) {}
  void show_text(std::string_view text) override;

 private:
  QWidget* parent_;
  platform::toolkit::MessageBoxes& boxes_;
};

// The open and save dialogs. A chosen name longer than the import file name holds cannot be
// kept whole, and a shortened one would name another file: it is refused with the message
// "Invalid Filename", as a cancelled dialog.
class DialogFileChooser : public app::FileChooser {
 public:
  DialogFileChooser(QWidget* parent, platform::toolkit::MessageBoxes& boxes)
      : parent_(parent), boxes_(boxes) {}
  bool choose_open(std::string_view title, std::string_view filter,
                   app::ImportFileName& name) override;
  bool choose_save(std::string_view title, std::string_view filter,
                   app::ImportFileName& name) override;

 private:
  bool take(const std::optional<std::string>& chosen, app::ImportFileName& name);

  QWidget* parent_;
  platform::toolkit::MessageBoxes& boxes_;
};

}  // namespace orvel::windows
