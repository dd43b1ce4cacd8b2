// The error reporter of the windows: each numbered message as a message box, over the
// window set as parent (none before the main window exists). The caller ends the program
// after a fatal message.
#pragma once

#include <QPointer>
#include <QWidget>

#include "app/error_reporter.h"
#include "platform/toolkit/message_boxes.h"

namespace orvel::windows {

class BoxReporter : public app::ErrorReporter {
 public:
  explicit BoxReporter(platform::toolkit::MessageBoxes& boxes) : boxes_(boxes) {}

  void set_parent(QWidget* parent) { parent_ = parent; }

  void show(const app::ErrorMessage& message) override {
    boxes_.show_error(parent_, message.title, message.text,
                      message.level == app::ErrorLevel::kFatal);
  }

 private:
  platform::toolkit::MessageBoxes& boxes_;
  QPointer<QWidget> parent_;
};

}  // namespace orvel::windows
