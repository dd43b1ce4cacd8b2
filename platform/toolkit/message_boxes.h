// The program's message boxes: the numbered error messages of the error reporter and the
// plain message boxes of the windows. Every box is modal and offers only OK.
//
// An error message has the message's title as its caption and its text as given (the
// caller has filled in the placeholders and, for a fatal message, appended the request to
// press OK); a notice shows the warning icon, a fatal message the critical one. Ending the
// program after a fatal message is the caller's part. A plain box has no caption text and
// no icon. Texts are code page 1251.
//
// In capture mode nothing is shown: each box is recorded together with the procedure name
// current at that moment and the call returns at once, so tests never wait in a modal loop.
//
// One object for the program, used on the windows' thread; parents may be null.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/toolkit/procedure_names.h"

class QWidget;

namespace orvel::platform::toolkit {

enum class BoxKind { kNotice, kFatal, kPlain };

struct ShownBox {
  BoxKind kind;
  std::string title;  // empty for a plain box
  std::string text;
  std::string procedure;
};

class MessageBoxes {
 public:
  void show_error(QWidget* parent, std::string_view title, std::string_view text, bool fatal);
  void show_plain(QWidget* parent, std::string_view text);

  ProcedureNames& procedures() { return procedures_; }

  void set_capture(bool on) { capture_ = on; }
  bool capturing() const { return capture_; }
  const std::vector<ShownBox>& captured() const { return captured_; }
  void clear_captured() { captured_.clear(); }

 private:
  void show(QWidget* parent, ShownBox box);

  ProcedureNames procedures_;
  bool capture_ = false;
  std::vector<ShownBox> captured_;
};

}  // namespace orvel::platform::toolkit
