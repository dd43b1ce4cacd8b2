// The main window ("Main"): the search entry and the tab sheet of five tabs over two lists
// at one place (the search-result list for tabs 1 to 3, the browse list for tabs 4 and 5),
// the passport count with the progress bar of import and export over it, and the window's
// hot keys Ctrl+Alt+I (import) and Ctrl+Alt+E (export).
//
// open() opens the passport file before any control is shown, reads the count and applies
// the position stored in section "Main" of the INI file; closing the window lets the file
// go and stores the position again. Searches, imports and exports run to their end inside
// the event that starts them: the window takes no input meanwhile and only its progress bar
// is redrawn. A close requested while an import or export waits in one of its dialogs is
// carried out when the operation has ended, so the passport file is never closed under it.
//
// Minimising the window sends it to the tray (app/main_tray_icon.h): the icon with the tip
// "Орвель" comes, the window goes until the icon is double-clicked. Where the desktop has no
// notification area the window stays minimised in the task bar. The end of the session
// closes the window as "Закрыть" does.
//
// Controls are placed in dialog units of the window's font and carry their control names
// as object names ("?LOC:FIND", "?LIST2", "?OKBUTTON", ...).
//
// The browse of tabs 4 and 5 and the view form are supplied from outside: until a browse
// list is set the browse tabs show an empty list, and until a view form is set choosing a
// row reads the passport again and stops there.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "app/error_reporter.h"
#include "app/import_file.h"
#include "app/main_tray_icon.h"
#include "app/operation_ui.h"
#include "app/passport_file.h"
#include "app/passport_record.h"
#include "platform/ini_manager.h"
#include "platform/notification_area.h"
#include "platform/toolkit/dialog_units.h"
#include "platform/toolkit/message_boxes.h"
#include "platform/tray_window.h"
#include "textfile/text_file.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace orvel::platform::toolkit {
class QtTrayWindow;
}

namespace orvel::windows {

class ResultList;
class WindowProgress;
class WindowCursor;
class WindowMessages;

// The INI section of the window's position.
inline constexpr char kMainSection[] = "Main";

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // What the window works with; everything must outlive the window.
  struct Parts {
    app::PassportFile& passports;
    app::ImportFileName& import_name;
    textfile::TextFile& import_file;  // declared over import_name
    platform::IniManager& ini;
    platform::toolkit::MessageBoxes& boxes;
    app::ErrorReporter& reporter;
    // The file dialogs of import and export; null for the toolkit's own.
    app::FileChooser* chooser = nullptr;
    // The notification area of the tray icon; null for the desktop's.
    platform::NotificationArea* tray_area = nullptr;
  };

  explicit MainWindow(const Parts& parts);
  ~MainWindow() override;

  // Opens the passport file, reads its count and applies the stored position. Returns false
  // after a fatal message; the program must then end.
  [[nodiscard]] bool open();

  // The view form: called with the passport read again by series and number when a result
  // row is chosen and the passport is still there.
  void set_view_form(std::function<void(const app::PSP&)> open_view_form);
  // The browse of tabs 4 and 5: the list put at the place of ?LIST, and the call that
  // re-applies the browse order of a tab (4 or 5).
  void set_browse_list(QWidget* list);
  void set_browse_order(std::function<void(int tab)> reapply_browse_order);

  // 1 to 5: the tab that the last tab change or "Найти" found selected; 0 before.
  int current_tab() const { return current_tab_; }

  // The operations of the hot keys.
  void import_updates();
  void export_passports();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void build_controls();
  void set_focus_order();
  void tab_selected(int index);
  void find_pressed();
  void run_search();
  void reapply_browse_order();
  void show_passport(int row);
  void show_controls_of_tab(int tab);
  app::OperationUi operation_ui();
  void handle_window_event(const platform::WindowEvent& event);
  void save_position();
  void shut_down();

  app::PassportFile& passports_;
  app::ImportFileName& import_name_;
  textfile::TextFile& import_file_;
  platform::IniManager& ini_;
  platform::toolkit::MessageBoxes& boxes_;
  app::ErrorReporter& reporter_;
  platform::toolkit::ProcedureScope procedure_;

  const platform::toolkit::DialogUnits units_;

  // Controls, by their names.
  QLineEdit* find_entry_;       // ?LOC:FIND
  QLineEdit* locator_entry_;    // ?LOC:F1
  QPushButton* import_button_;  // ?BUTTON3, never shown
  QPushButton* ok_button_;      // ?OKBUTTON
  ResultList* result_list_;     // ?LIST2
  QTabWidget* sheet_;           // ?SHEET1
  QProgressBar* progress_bar_;  // ?LOC:PROGRESS
  QLabel* count_label_;         // ?LOC:REC_NUM
  QWidget* browse_list_;        // ?LIST
  QPushButton* close_button_;   // ?CANCELBUTTON

  std::unique_ptr<app::FileChooser> own_chooser_;
  app::FileChooser* chooser_;
  std::unique_ptr<WindowProgress> progress_;
  std::unique_ptr<WindowCursor> cursor_;
  std::unique_ptr<WindowMessages> messages_;

  // The area outlives the tray icon, which the destructor kills.
  platform::toolkit::QtTrayWindow* tray_window_;  // a child of the window
  std::unique_ptr<platform::NotificationArea> own_tray_area_;
  std::unique_ptr<app::MainTrayIcon> tray_;

  std::function<void(const app::PSP&)> open_view_form_;
  std::function<void(int)> reapply_browse_order_;

  int current_tab_ = 0;
  bool opened_ = false;
  bool shut_down_ = false;
  bool operation_running_ = false;
  bool close_pending_ = false;
};

}  // namespace orvel::windows
