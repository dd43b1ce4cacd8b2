// What import and export need of the screen, as small interfaces: the file dialog, the
// progress bar with the passport count beneath it, the wait cursor and a message box. The
// windows implement them with dialogs and widgets, the command-line tool with its argument
// and the terminal, the tests with recorders.
//
// Texts passed in are code page 1251.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/import_file.h"
#include "datafile/table.h"

namespace orvel::app {

// "Все файлы|*.*": the one filter of both dialogs.
inline constexpr std::string_view kAllFilesFilter = "\xC2\xF1\xE5 \xF4\xE0\xE9\xEB\xFB|*.*";

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The open form: the chosen file and its path must exist. The save form asks before an
  // existing file is replaced. Neither changes the current directory. name holds the
  // initial name and receives the chosen one; returns false when the operator cancels.
  virtual bool choose_open(std::string_view title, std::string_view filter,
                           ImportFileName& name) = 0;
  virtual bool choose_save(std::string_view title, std::string_view filter,
                           ImportFileName& name) = 0;
};

// The main window's progress bar, which lies over the passport count.
class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  // Shows the bar at value 0.
  virtual void show() = 0;
  virtual void set_upper_bound(int64_t bound) = 0;
  // Sets the value and redisplays the bar.
  virtual void set_value(int64_t value) = 0;
  // Redisplays the whole window.
  virtual void redisplay() = 0;
  // Hides the bar; its value is 0 again.
  virtual void hide() = 0;
  virtual void set_passport_count(uint32_t count) = 0;
};

class WaitCursor {
 public:
  virtual ~WaitCursor() = default;
  virtual void set_wait() = 0;
  virtual void restore() = 0;
};

class MessageDisplay {
 public:
  virtual ~MessageDisplay() = default;
  // A message box with the text and an OK button.
  virtual void show_text(std::string_view text) = 0;
};

struct OperationUi {
  FileChooser& chooser;
  ProgressDisplay& progress;
  WaitCursor& cursor;
  MessageDisplay& messages;
};

// The first step of import and export: the bar shown at 0, the wait cursor, a redisplay.
void begin_operation(const OperationUi& ui);

// The final step of import and export, whatever happened: the bar hidden, the passport
// count refreshed, the cursor restored. Returns the count.
uint32_t end_operation(datafile::Table& passports, const OperationUi& ui);

}  // namespace orvel::app
