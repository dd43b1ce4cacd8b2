#include "app/windows/program.h"

#include <QApplication>

#include "app/import_file.h"
#include "app/passport_file.h"
#include "app/windows/box_reporter.h"
#include "app/windows/browse_tabs.h"
#include "app/windows/main_window.h"
#include "app/windows/view_form.h"
#include "platform/browse/list_formats_location.h"
#include "platform/ini_manager.h"
#include "platform/settings_location.h"
#include "platform/toolkit/message_boxes.h"
#include "platform/toolkit/window_dragging.h"
#include "textfile/text_file.h"

namespace orvel::windows {
namespace {

// The run itself; the boxes outlive it so that the caller can look at them.
int run(platform::toolkit::MessageBoxes& boxes, const ProgramOptions& options) {
  BoxReporter reporter(boxes);

  platform::IniManager ini(platform::settings_file_path());
  ini.start();  // an unreadable file leaves the list empty; the run goes on

  app::PassportFile passports;
  app::ImportFileName import_name;
  textfile::TextFile import_file(app::import_text_file(import_name));

  const bool dragging_was_on = platform::toolkit::full_window_dragging();
  if (dragging_was_on) platform::toolkit::set_full_window_dragging(false);

  {
    MainWindow window({passports, import_name, import_file, ini, boxes, reporter, options.chooser});
    reporter.set_parent(&window);
    auto view_form = [&](const app::PSP& passport) {
      ViewForm form({passports, ini, boxes.procedures(), reporter}, passport, &window);
      form.run();
    };
    window.set_view_form(view_form);
    if (!window.open()) return kExitFatal;
    BrowseTabs browse({window, passports, boxes, ini.path(), browse::list_formats_file_path(),
                       view_form});
    if (!browse.start()) return kExitFatal;
    window.show();
    if (options.window_shown) options.window_shown(window);
    QApplication::exec();
  }

  if (dragging_was_on) platform::toolkit::set_full_window_dragging(true);
  ini.shutdown();
  return kExitOk;
}

}  // namespace

int run_program(const ProgramOptions& options) {
  platform::toolkit::MessageBoxes boxes;
  boxes.set_capture(options.capture_messages);
  const int status = run(boxes, options);
  if (options.finished) options.finished(boxes);
  return status;
}

}  // namespace orvel::windows
