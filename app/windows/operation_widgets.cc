#include "app/windows/operation_widgets.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>
#include <algorithm>
#include <climits>

#include "app/screen_text.h"
#include "platform/error_codes.h"
#include "platform/toolkit/file_dialogs.h"
#include "platform/toolkit/override_cursor.h"
#include "platform/toolkit/qt_text.h"

namespace orvel::windows {

WindowProgress::WindowProgress(QWidget* window, QProgressBar* bar, QLabel* count)
    : window_(window), bar_(bar), count_(count) {}

int WindowProgress::to_bar(int64_t value) const {
  value = std::clamp<int64_t>(value, 0, std::max<int64_t>(bound_, 0));
  if (bound_ <= INT_MAX) return static_cast<int>(value);
  return static_cast<int>(static_cast<double>(value) / static_cast<double>(bound_) * INT_MAX);
}

void WindowProgress::show() {
  value_ = 0;
  bar_->setValue(0);
  bar_->show();
  bar_->raise();
}

void WindowProgress::set_upper_bound(int64_t bound) {
  bound_ = bound;
  // A range of 0 to 0 would turn the bar into a busy indicator; an empty file shows an
  // empty bar.
  bar_->setRange(0, std::max(1, to_bar(bound)));
  bar_->setValue(to_bar(value_));
}

void WindowProgress::set_value(int64_t value) {
  value_ = value;
  bar_->setValue(to_bar(value));  // repaints the bar itself when what it shows changes
}

void WindowProgress::redisplay() {
  window_->repaint();
}

void WindowProgress::hide() {
  bar_->hide();
  value_ = 0;
  bound_ = 100;
  bar_->setRange(0, 100);
  bar_->setValue(0);
}

void WindowProgress::set_passport_count(uint32_t count) {
  count_->setText(platform::toolkit::to_qt(app::passport_count_text(count)));
}

void WindowCursor::set_wait() {
  platform::toolkit::set_wait_cursor();
}

void WindowCursor::restore() {
  platform::toolkit::restore_normal_cursor();
}

void WindowMessages::show_text(std::string_view text) {
  boxes_.show_plain(parent_, text);
}

bool DialogFileChooser::take(const std::optional<std::string>& chosen, app::ImportFileName& name) {
  if (!chosen) return false;
  if (chosen->size() > app::kImportFileNameWidth) {
    boxes_.show_plain(parent_, error_text(kInvalidFilename));
    return false;
  }
  name.assign(*chosen);
  return true;
}

bool DialogFileChooser::choose_open(std::string_view title, std::string_view filter,
                                    app::ImportFileName& name) {
  return take(platform::toolkit::open_file_dialog(parent_, title, filter, name.trimmed()), name);
}

bool DialogFileChooser::choose_save(std::string_view title, std::string_view filter,
                                    app::ImportFileName& name) {
  return take(platform::toolkit::save_file_dialog(parent_, title, filter, name.trimmed()), name);
}

}  // namespace orvel::windows
