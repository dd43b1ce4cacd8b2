// The screen parts of import, export and start-up as orvel-cli supplies them: messages on
// stderr, the file named on the command line instead of a dialog, and a progress bar on
// stderr when stderr is a terminal.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "app/error_reporter.h"
#include "app/operation_ui.h"

namespace orvel::tools {

// "orvel-cli: Title: text", UTF-8.
class StderrReporter : public app::ErrorReporter {
 public:
  explicit StderrReporter(std::ostream& err) : err_(err) {}
  void show(const app::ErrorMessage& message) override;

 private:
  std::ostream& err_;
};

// The file of the command line, whatever the dialog would have asked.
class ArgumentChooser : public app::FileChooser {
 public:
  explicit ArgumentChooser(std::string name) : name_(std::move(name)) {}
  bool choose_open(std::string_view, std::string_view, app::ImportFileName& name) override;
  bool choose_save(std::string_view, std::string_view, app::ImportFileName& name) override;

 private:
  std::string name_;
};

// Redraws one line "[#####.....]  42%" when the percentage changes; draws nothing when
// disabled (stderr not a terminal).
class TerminalProgress : public app::ProgressDisplay {
 public:
  TerminalProgress(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
  void show() override;
  void set_upper_bound(int64_t bound) override;
  void set_value(int64_t value) override;
  void redisplay() override {}
  void hide() override;
  void set_passport_count(uint32_t) override {}

  // The last value set, kept for the summary.
  int64_t value() const { return value_; }

 private:
  void draw();

  std::ostream& err_;
  const bool enabled_;
  bool shown_ = false;
  int64_t bound_ = 100;
  int64_t value_ = 0;
  int drawn_percent_ = -1;
};

class NoCursor : public app::WaitCursor {
 public:
  void set_wait() override {}
  void restore() override {}
};

// "orvel-cli: FILE: text", UTF-8.
class StderrMessages : public app::MessageDisplay {
 public:
  StderrMessages(std::ostream& err, std::string file) : err_(err), file_(std::move(file)) {}
  void show_text(std::string_view text) override;

 private:
  std::ostream& err_;
  std::string file_;
};

}  // namespace orvel::tools
