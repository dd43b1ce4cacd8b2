#include "platform/toolkit/message_boxes.h"

#include <QMessageBox>

#include "platform/toolkit/override_cursor.h"
#include "platform/toolkit/qt_text.h"

namespace orvel::platform::toolkit {

void MessageBoxes::show_error(QWidget* parent, std::string_view title, std::string_view text,
                              bool fatal) {
  show(parent,
       {fatal ? BoxKind::kFatal : BoxKind::kNotice, std::string(title), std::string(text), {}});
}

void MessageBoxes::show_plain(QWidget* parent, std::string_view text) {
  show(parent, {BoxKind::kPlain, {}, std::string(text), {}});
}

void MessageBoxes::show(QWidget* parent, ShownBox box) {
  box.procedure = procedures_.current();
  if (capture_) {
    captured_.push_back(std::move(box));
    return;
  }
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  if (box.kind == BoxKind::kNotice) icon = QMessageBox::Warning;
  if (box.kind == BoxKind::kFatal) icon = QMessageBox::Critical;
  QMessageBox message(icon, to_qt(box.title), to_qt(box.text), QMessageBox::Ok, parent);
  // The text carries file names and error texts, shown as they are, never read as markup.
  message.setTextFormat(Qt::PlainText);
  // A box raised in the middle of an operation must not carry its wait cursor.
  OverrideCursorSuspended normal_cursor;
  message.exec();
}

}  // namespace orvel::platform::toolkit
