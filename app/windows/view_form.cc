#include "app/windows/view_form.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/record_fields.h"
#include "app/screen_text.h"
#include "platform/toolkit/qt_text.h"

namespace orvel::windows {
namespace {

using platform::toolkit::to_qt;

constexpr char kCaption[] = "\xCF\xF0\xEE\xF1\xEC\xEE\xF2\xF0 \xE4\xE0\xED\xED\xFB\xF5";  // Просмотр данных
// Просмотр данных о недействительном паспорте
constexpr char kTitle[] =
    "\xCF\xF0\xEE\xF1\xEC\xEE\xF2\xF0 \xE4\xE0\xED\xED\xFB\xF5 \xEE "
    "\xED\xE5\xE4\xE5\xE9\xF1\xF2\xE2\xE8\xF2\xE5\xEB\xFC\xED\xEE\xEC "
    "\xEF\xE0\xF1\xEF\xEE\xF0\xF2\xE5";
constexpr char kSeriesPrompt[] = "\xD1\xE5\xF0\xE8\xFF:";                      // Серия:
constexpr char kNumberPrompt[] = "\xCD\xEE\xEC\xE5\xF0:";                      // Номер:
constexpr char kNamePrompt[] = "\xD4\xC8\xCE:";                                // ФИО:
constexpr char kDatePrompt[] = "\xC4\xE0\xF2\xE0:";                            // Дата:
constexpr char kReasonPrompt[] = "\xCF\xF0\xE8\xF7\xE8\xED\xE0:";              // Причина:
constexpr char kImportDatePrompt[] = "\xC4\xE0\xF2\xE0 \xE8\xEC\xEF\xEE\xF0\xF2\xE0:";  // Дата импорта:
constexpr char kCloseButton[] = "\xC7\xE0\xEA\xF0\xFB\xF2\xFC";                // Закрыть

// x, y, width, height in dialog units; 0 x 0 for a size that follows the text.
struct Place {
  int x, y, width, height;
};
constexpr Place kFormSize{0, 0, 317, 128};

const QColor kTitleBackground(128, 128, 128);

}  // namespace

ViewForm::ViewForm(const Parts& parts, const app::PSP& passport, QWidget* parent)
    : QDialog(parent),
      parts_(parts),
      units_(platform::toolkit::window_font("MS Sans Serif", 10)) {
  setObjectName(kViewSection);
  setFont(platform::toolkit::window_font("MS Sans Serif", 10));
  setWindowTitle(to_qt(kCaption));
  setFixedSize(units_.size(kFormSize.width, kFormSize.height));
  build_controls(passport);
}

ViewForm::~ViewForm() {
  close_form();
}

void ViewForm::build_controls(const app::PSP& passport) {
  auto place = [this](QWidget* control, const Place& p) {
    if (p.width == 0 && p.height == 0) {
      control->adjustSize();
      control->move(units_.x(p.x), units_.y(p.y));
    } else {
      control->setGeometry(units_.rect(p.x, p.y, p.width, p.height));
    }
  };
  auto prompt = [&](const char* name, const char* text, const Place& p) {
    auto* label = new QLabel(to_qt(text), this);
    label->setObjectName(name);
    place(label, p);
  };
  auto entry = [&](const char* name, const std::string& text, size_t width, const Place& p,
                   bool right_aligned = false) {
    auto* field = new QLineEdit(to_qt(text), this);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setMaxLength(static_cast<int>(width));
    if (right_aligned) field->setAlignment(Qt::AlignRight);
    field->setCursorPosition(0);
    field->installEventFilter(this);
    place(field, p);
    return field;
  };

  auto* title = new QLabel(to_qt(kTitle), this);
  title->setObjectName("?STRING1");
  title->setAlignment(Qt::AlignCenter);
  title->setFont(platform::toolkit::window_font("Tahoma", 16, /*bold=*/true));
  title->setAutoFillBackground(true);
  QPalette colours = title->palette();
  colours.setColor(QPalette::Window, kTitleBackground);
  colours.setColor(QPalette::WindowText, Qt::white);
  title->setPalette(colours);
  place(title, {0, 0, 318, 17});

  prompt("?PSP:SER:PROMPT", kSeriesPrompt, {9, 24, 0, 0});
  QWidget* first = entry("?PSP:SER", app::trimmed_string(passport.SER), 20, {58, 23, 60, 10});
  prompt("?PSP:NUM:PROMPT", kNumberPrompt, {9, 36, 0, 0});
  QWidget* number = entry("?PSP:NUM", app::trimmed_string(passport.NUM), 20, {58, 35, 60, 10});
  prompt("?PSP:FIO:PROMPT", kNamePrompt, {8, 48, 0, 0});
  QWidget* name = entry("?PSP:FIO", app::trimmed_string(passport.FIO), 250, {58, 47, 258, 10});
  prompt("?PSP:DATE_PAS:PROMPT", kDatePrompt, {167, 24, 0, 0});
  QWidget* date = entry("?PSP:DATE_PAS", app::screen_date(passport.DATE_PAS.get()), 10,
                        {217, 23, 60, 10}, /*right_aligned=*/true);
  prompt("?PSP:COMMENT:PROMPT", kReasonPrompt, {8, 61, 0, 0});
  auto* reason = new QPlainTextEdit(to_qt(app::trimmed_string(passport.COMMENT)), this);
  reason->setObjectName("?PSP:COMMENT");
  reason->setReadOnly(true);
  reason->setTabChangesFocus(true);
  reason->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  place(reason, {58, 60, 258, 48});
  prompt("?PSP:DATE_IMP:PROMPT", kImportDatePrompt, {8, 115, 0, 0});
  QWidget* import_date = entry("?PSP:DATE_IMP", app::screen_date(passport.DATE_IMP.get()), 10,
                               {58, 114, 60, 10}, /*right_aligned=*/true);

  close_button_ = new QPushButton(to_qt(kCloseButton), this);
  close_button_->setObjectName("?OKBUTTON");
  close_button_->setDefault(true);
  close_button_->installEventFilter(this);
  place(close_button_, {280, 111, 35, 14});
  connect(close_button_, &QPushButton::clicked, this, &QDialog::accept);

  QWidget* order[] = {first, number, name, date, reason, import_date, close_button_};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  first->setFocus();
}

bool ViewForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  const int key = static_cast<QKeyEvent*>(event)->key();
  const bool on_button = watched == close_button_;
  bool forward = false;
  bool back = false;
  if (on_button) {
    forward = key == Qt::Key_Right || key == Qt::Key_Down;
    back = key == Qt::Key_Left || key == Qt::Key_Up;
  } else {
    forward = key == Qt::Key_Down || key == Qt::Key_Return || key == Qt::Key_Enter;
    back = key == Qt::Key_Up;
  }
  if (forward || back) {
    focusNextPrevChild(forward);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void ViewForm::open_form() {
  procedure_.emplace(parts_.procedures, kViewSection);
  using_file_ = parts_.passports.use(parts_.reporter);
  show();
  if (auto placement = parts_.ini.load_window_position(kViewSection, /*resizable=*/false)) {
    if (placement->position) move((*placement->position)[0], (*placement->position)[1]);
  }
}

void ViewForm::run() {
  open_form();
  exec();
}

void ViewForm::done(int result) {
  close_form();
  QDialog::done(result);
}

void ViewForm::close_form() {
  if (!procedure_) return;
  if (using_file_) parts_.passports.release();
  using_file_ = false;
  platform::WindowState state;
  state.x = pos().x();
  state.y = pos().y();
  state.width = width();
  state.height = height();
  parts_.ini.save_window_position(kViewSection, state);
  procedure_.reset();
}

}  // namespace orvel::windows
