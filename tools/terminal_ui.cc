#include "tools/terminal_ui.h"

#include <algorithm>

#include "platform/cp1251.h"

namespace orvel::tools {
namespace {

constexpr int kBarWidth = 40;

}  // namespace

void StderrReporter::show(const app::ErrorMessage& message) {
  err_ << "orvel-cli: " << platform::cp1251_to_utf8(message.title) << ": "
       << platform::cp1251_to_utf8(message.text) << '\n';
}

void StderrMessages::show_text(std::string_view text) {
  err_ << "orvel-cli: " << file_ << ": " << platform::cp1251_to_utf8(text) << '\n';
}

bool ArgumentChooser::choose_open(std::string_view, std::string_view, app::ImportFileName& name) {
  name.assign(name_);
  return true;
}

bool ArgumentChooser::choose_save(std::string_view, std::string_view, app::ImportFileName& name) {
  name.assign(name_);
  return true;
}

void TerminalProgress::show() {
  shown_ = true;
  value_ = 0;
  drawn_percent_ = -1;
  draw();
}

void TerminalProgress::set_upper_bound(int64_t bound) {
  bound_ = bound;
  drawn_percent_ = -1;
  draw();
}

void TerminalProgress::set_value(int64_t value) {
  value_ = value;
  draw();
}

void TerminalProgress::hide() {
  if (enabled_ && shown_) err_ << '\r' << std::string(kBarWidth + 8, ' ') << '\r' << std::flush;
  shown_ = false;
}

void TerminalProgress::draw() {
  if (!enabled_ || !shown_) return;
  const int64_t bound = std::max<int64_t>(bound_, 1);
  const int percent = static_cast<int>(std::clamp<int64_t>(value_ * 100 / bound, 0, 100));
  if (percent == drawn_percent_) return;
  drawn_percent_ = percent;
  const int filled = percent * kBarWidth / 100;
  err_ << "\r[" << std::string(filled, '#') << std::string(kBarWidth - filled, '.') << "] "
       << percent << '%' << std::flush;
}

}  // namespace orvel::tools
