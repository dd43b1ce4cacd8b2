// The program's run, from start-up to the end, in a fixed order:
//   1. the error reporter (message boxes);
//   2. the INI manager on orvel.INI (platform/settings_location.h), which reads its list;
//   3. the file objects: the passport file and the delimited text file of import and
//      export over the import file name; nothing is opened yet;
//   4. full-window dragging switched off when it is on;
//   5. the main window, which opens the passport file before any control is shown, until
//      it is closed;
//   6. full-window dragging switched on again when it was on;
//   7. the INI manager shut down: it writes its list back.
// A fatal message ends the run at once, without steps 6 and 7.
//
// Needs a QApplication; runs its event loop for step 5.
#pragma once

#include <functional>

#include "app/operation_ui.h"

namespace orvel::platform::toolkit {
class MessageBoxes;
}

namespace orvel::windows {

class MainWindow;

inline constexpr int kExitOk = 0;
inline constexpr int kExitFatal = 1;

// What a test changes in a run; the program itself uses the defaults.
struct ProgramOptions {
  // Record message boxes instead of showing them.
  bool capture_messages = false;
  // Called with the main window once it is shown, before the event loop starts.
  std::function<void(MainWindow&)> window_shown;
  // Called with the message boxes at the end of the run, fatal or not.
  std::function<void(const platform::toolkit::MessageBoxes&)> finished;
  // The file dialogs of import and export; null for the toolkit's own.
  app::FileChooser* chooser = nullptr;
};

// Returns the exit status: kExitOk, or kExitFatal after a fatal message.
int run_program(const ProgramOptions& options = {});

}  // namespace orvel::windows
