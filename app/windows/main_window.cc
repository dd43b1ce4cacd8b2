#include "app/windows/main_window.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/main_tabs.h"
#include "app/passport_browse.h"
#include "app/passport_export.h"
#include "app/passport_import.h"
#include "app/passport_search.h"
#include "app/screen_text.h"
#include "app/search_text.h"
#include "app/windows/operation_widgets.h"
#include "app/windows/result_list.h"
#include "app/write_failures.h"
#include "platform/error_codes.h"
#include "platform/toolkit/program_icons.h"
#include "platform/toolkit/qt_notification_area.h"
#include "platform/toolkit/qt_text.h"
#include "platform/toolkit/qt_tray_window.h"

namespace orvel::windows {
namespace {

using platform::toolkit::to_qt;

// "Орвель. вер.0.3"
constexpr char kCaption[] = "\xCE\xF0\xE2\xE5\xEB\xFC. \xE2\xE5\xF0.0.3";
// The resource of the window's icon "Security.ico".
constexpr char kIconResource[] = "Security_ico";

constexpr char kFindPrompt[] = "\xC8\xF1\xEA\xE0\xF2\xFC:";  // Искать:
// Недействительные паспорта. Поиск.
constexpr char kTitle[] =
    "\xCD\xE5\xE4\xE5\xE9\xF1\xF2\xE2\xE8\xF2\xE5\xEB\xFC\xED\xFB\xE5 "
    "\xEF\xE0\xF1\xEF\xEE\xF0\xF2\xE0. \xCF\xEE\xE8\xF1\xEA.";
// Импортировать обновления
constexpr char kImportButton[] =
    "\xC8\xEC\xEF\xEE\xF0\xF2\xE8\xF0\xEE\xE2\xE0\xF2\xFC "
    "\xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xFF";
constexpr char kFindButton[] = "\xCD\xE0\xE9\xF2\xE8";                     // Найти
constexpr char kCloseButton[] = "\xC7\xE0\xEA\xF0\xFB\xF2\xFC";            // Закрыть
constexpr char kPassportsWord[] = "\xEF\xE0\xF1\xEF\xEE\xF0\xF2\xEE\xE2";  // паспортов
// Введите в строку поиска данные и переключитесь на необходимую Вам закладку.
constexpr char kHint[] =
    "\xC2\xE2\xE5\xE4\xE8\xF2\xE5 \xE2 \xF1\xF2\xF0\xEE\xEA\xF3 \xEF\xEE\xE8\xF1\xEA\xE0 "
    "\xE4\xE0\xED\xED\xFB\xE5 \xE8 \xEF\xE5\xF0\xE5\xEA\xEB\xFE\xF7\xE8\xF2\xE5\xF1\xFC "
    "\xED\xE0 \xED\xE5\xEE\xE1\xF5\xEE\xE4\xE8\xEC\xF3\xFE \xC2\xE0\xEC "
    "\xE7\xE0\xEA\xEB\xE0\xE4\xEA\xF3.";
// Номер паспорта, Серия паспорта, ФИО, Все паспорта - Номер, Все паспорта - ФИО
constexpr const char* kTabTexts[] = {
    "\xCD\xEE\xEC\xE5\xF0 \xEF\xE0\xF1\xEF\xEE\xF0\xF2\xE0",
    "\xD1\xE5\xF0\xE8\xFF \xEF\xE0\xF1\xEF\xEE\xF0\xF2\xE0",
    "\xD4\xC8\xCE",
    "\xC2\xF1\xE5 \xEF\xE0\xF1\xEF\xEE\xF0\xF2\xE0 - \xCD\xEE\xEC\xE5\xF0",
    "\xC2\xF1\xE5 \xEF\xE0\xF1\xEF\xEE\xF0\xF2\xE0 - \xD4\xC8\xCE",
};

// The layout, in dialog units: x, y, width, height; 0 x 0 for a size that follows the text.
struct Place {
  int x, y, width, height;
};
constexpr Place kWindowSize{0, 0, 395, 251};
constexpr Place kFindEntryPlace{38, 30, 304, 10};  // also the locator's
constexpr Place kPromptPlace{3, 30, 0, 0};
constexpr Place kPanelPlace{2, 1, 392, 26};
constexpr Place kTitlePlace{7, 2, 0, 0};
constexpr Place kImportButtonPlace{243, 4, 91, 14};
constexpr Place kOkButtonPlace{346, 28, 44, 14};
constexpr Place kListPlace{5, 59, 385, 187};  // both lists
constexpr Place kSheetPlace{1, 43, 393, 207};
constexpr Place kProgressPlace{290, 18, 100, 8};
constexpr Place kCountPlace{288, 17, 67, 10};
constexpr Place kPassportsWordPlace{357, 17, 0, 0};
constexpr Place kCloseButtonPlace{345, 3, 45, 14};
constexpr Place kHintPlace{7, 17, 0, 0};

const QColor kTitleColour(128, 0, 0);

}  // namespace

MainWindow::MainWindow(const Parts& parts)
    : passports_(parts.passports),
      import_name_(parts.import_name),
      import_file_(parts.import_file),
      ini_(parts.ini),
      boxes_(parts.boxes),
      reporter_(parts.reporter),
      procedure_(parts.boxes.procedures(), kMainSection),
      units_(platform::toolkit::window_font("MS Sans Serif", 8)),
      chooser_(parts.chooser) {
  setObjectName(kMainSection);
  setFont(platform::toolkit::window_font("MS Sans Serif", 8));
  setWindowTitle(to_qt(kCaption));
  setWindowIcon(platform::toolkit::program_icon(kIconResource));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFixedSize(units_.size(kWindowSize.width, kWindowSize.height));
  build_controls();
  set_focus_order();

  if (!chooser_) {
    own_chooser_ = std::make_unique<DialogFileChooser>(this, boxes_);
    chooser_ = own_chooser_.get();
  }
  progress_ = std::make_unique<WindowProgress>(this, progress_bar_, count_label_);
  cursor_ = std::make_unique<WindowCursor>();
  messages_ = std::make_unique<WindowMessages>(this, boxes_);

  tray_window_ = new platform::toolkit::QtTrayWindow(this);
  tray_window_->set_event_handler(
      [this](const platform::WindowEvent& event) { handle_window_event(event); });
  platform::NotificationArea* tray_area = parts.tray_area;
  if (!tray_area) {
    own_tray_area_ = std::make_unique<platform::toolkit::QtNotificationArea>();
    tray_area = own_tray_area_.get();
  }
  tray_ = std::make_unique<app::MainTrayIcon>(*tray_area);

  auto* import_key = new QShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_I), this);
  connect(import_key, &QShortcut::activated, this, &MainWindow::import_updates);
  auto* export_key = new QShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_E), this);
  connect(export_key, &QShortcut::activated, this, &MainWindow::export_passports);
  connect(import_button_, &QPushButton::clicked, this, &MainWindow::import_updates);
  connect(ok_button_, &QPushButton::clicked, this, &MainWindow::find_pressed);
  connect(close_button_, &QPushButton::clicked, this, &QWidget::close);
  connect(sheet_, &QTabWidget::currentChanged, this, &MainWindow::tab_selected);
  connect(result_list_, &ResultList::row_chosen, this, &MainWindow::show_passport);
}

MainWindow::~MainWindow() {
  shut_down();
}

void MainWindow::build_controls() {
  auto place = [this](QWidget* control, const Place& p) {
    if (p.width == 0 && p.height == 0) {
      control->adjustSize();
      control->move(units_.x(p.x), units_.y(p.y));
    } else {
      control->setGeometry(units_.rect(p.x, p.y, p.width, p.height));
    }
  };

  // Created in the order of their numbers, so that the later ones lie on top.
  find_entry_ = new QLineEdit(this);
  find_entry_->setObjectName("?LOC:FIND");
  find_entry_->setMaxLength(static_cast<int>(app::kSearchTextWidth));
  place(find_entry_, kFindEntryPlace);

  auto* prompt = new QLabel(to_qt(kFindPrompt), this);
  prompt->setObjectName("?PROMPT1");
  place(prompt, kPromptPlace);

  locator_entry_ = new QLineEdit(this);
  locator_entry_->setObjectName("?LOC:F1");
  locator_entry_->setMaxLength(static_cast<int>(app::kLocatorWidth));
  place(locator_entry_, kFindEntryPlace);
  locator_entry_->hide();

  auto* panel = new QFrame(this);
  panel->setObjectName("?PANEL1");
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  place(panel, kPanelPlace);

  auto* title = new QLabel(to_qt(kTitle), this);
  title->setObjectName("?STRING1");
  title->setFont(platform::toolkit::window_font("Tahoma", 16, /*bold=*/true));
  QPalette title_palette = title->palette();
  title_palette.setColor(QPalette::WindowText, kTitleColour);
  title->setPalette(title_palette);
  place(title, kTitlePlace);

  import_button_ = new QPushButton(to_qt(kImportButton), this);
  import_button_->setObjectName("?BUTTON3");
  place(import_button_, kImportButtonPlace);
  import_button_->hide();

  ok_button_ = new QPushButton(to_qt(kFindButton), this);
  ok_button_->setObjectName("?OKBUTTON");
  ok_button_->setDefault(true);
  place(ok_button_, kOkButtonPlace);

  sheet_ = new QTabWidget(this);
  sheet_->setObjectName("?SHEET1");
  for (int i = 0; i < app::kLastTab; ++i) {
    auto* tab = new QWidget(sheet_);
    tab->setObjectName(QString("?TAB%1").arg(i + 1));
    sheet_->addTab(tab, to_qt(kTabTexts[i]));
  }
  place(sheet_, kSheetPlace);

  result_list_ = new ResultList(units_, this);
  result_list_->setObjectName("?LIST2");
  place(result_list_, kListPlace);

  count_label_ = new QLabel(this);
  count_label_->setObjectName("?LOC:REC_NUM");
  count_label_->setAlignment(Qt::AlignRight | Qt::AlignTop);
  count_label_->setText(to_qt(app::passport_count_text(0)));
  place(count_label_, kCountPlace);

  progress_bar_ = new QProgressBar(this);
  progress_bar_->setObjectName("?LOC:PROGRESS");
  progress_bar_->setRange(0, 100);
  progress_bar_->setTextVisible(false);
  place(progress_bar_, kProgressPlace);
  progress_bar_->hide();

  auto* passports_word = new QLabel(to_qt(kPassportsWord), this);
  passports_word->setObjectName("?STRING4");
  place(passports_word, kPassportsWordPlace);

  browse_list_ = new QTreeView(this);
  browse_list_->setObjectName("?LIST");
  place(browse_list_, kListPlace);
  browse_list_->hide();

  close_button_ = new QPushButton(to_qt(kCloseButton), this);
  close_button_->setObjectName("?CANCELBUTTON");
  close_button_->setAutoDefault(false);
  place(close_button_, kCloseButtonPlace);

  auto* hint = new QLabel(to_qt(kHint), this);
  hint->setObjectName("?STRING2");
  place(hint, kHintPlace);

  // The progress bar covers the count while it is shown; the lists lie over the sheet.
  panel->lower();
  progress_bar_->raise();
}

void MainWindow::set_focus_order() {
  QWidget* order[] = {find_entry_, locator_entry_, ok_button_,   result_list_,
                      sheet_,      browse_list_,   close_button_};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

bool MainWindow::open() {
  if (!passports_.use(reporter_)) return false;
  opened_ = true;
  progress_->set_passport_count(passports_.passport_count());
  tray_->init_main_window(*tray_window_);
  if (auto placement = ini_.load_window_position(kMainSection, /*resizable=*/false)) {
    if (placement->position) move((*placement->position)[0], (*placement->position)[1]);
    if (placement->maximized) setWindowState(windowState() | Qt::WindowMaximized);
  }
  return true;
}

void MainWindow::set_view_form(std::function<void(const app::PSP&)> open_view_form) {
  open_view_form_ = std::move(open_view_form);
}

void MainWindow::set_browse_list(QWidget* list) {
  QWidget* placeholder = browse_list_;
  const bool shown = !placeholder->isHidden();
  list->setParent(this);
  list->setObjectName("?LIST");
  list->setGeometry(placeholder->geometry());
  list->setVisible(shown);
  list->raise();  // over the sheet, as the placeholder was
  browse_list_ = list;
  delete placeholder;
  set_focus_order();
}

void MainWindow::set_browse_order(std::function<void(int tab)> reapply_browse_order) {
  reapply_browse_order_ = std::move(reapply_browse_order);
}

void MainWindow::show_controls_of_tab(int tab) {
  const bool search = app::is_search_tab(tab);
  browse_list_->setVisible(!search);
  result_list_->setVisible(search);
  locator_entry_->setVisible(!search);
  find_entry_->setVisible(search);
}

void MainWindow::tab_selected(int index) {
  current_tab_ = index + 1;
  show_controls_of_tab(current_tab_);
  switch (app::action_on_tab_selected(current_tab_)) {
    case app::TabAction::kSearch:
      run_search();
      break;
    case app::TabAction::kReapplyBrowseOrder:
      reapply_browse_order();
      break;
    case app::TabAction::kNothing:
      break;
  }
}

void MainWindow::find_pressed() {
  current_tab_ = sheet_->currentIndex() + 1;
  const std::string text = platform::toolkit::from_qt(find_entry_->text());
  switch (app::action_on_find(current_tab_, text)) {
    case app::TabAction::kSearch:
      run_search();
      break;
    case app::TabAction::kReapplyBrowseOrder:
      reapply_browse_order();
      break;
    case app::TabAction::kNothing:
      break;
  }
}

void MainWindow::run_search() {
  const std::optional<app::SearchTab> tab = app::search_of_tab(current_tab_);
  if (!tab) return;
  app::SearchResult result = app::search_passports(passports_.table(), *tab,
                                                   platform::toolkit::from_qt(find_entry_->text()));
  if (!result.ran) return;
  const bool not_found = result.not_found();
  result_list_->set_rows(std::move(result.rows));
  if (not_found) boxes_.show_plain(this, app::kNotFoundMessage);
  find_entry_->setText(to_qt(app::trim_right(result.text)));
}

void MainWindow::reapply_browse_order() {
  if (reapply_browse_order_) reapply_browse_order_(current_tab_);
}

void MainWindow::show_passport(int row) {
  if (row < 0 || static_cast<size_t>(row) >= result_list_->rows().size()) return;
  const app::RQ& chosen = result_list_->rows()[static_cast<size_t>(row)];
  app::PSP passport;
  if (app::fetch_passport(passports_.table(), app::text_of(chosen.SER), app::text_of(chosen.NUM),
                          &passport) != kNoError) {
    return;  // removed meanwhile
  }
  if (open_view_form_) open_view_form_(passport);
}

app::OperationUi MainWindow::operation_ui() {
  return {*chooser_, *progress_, *cursor_, *messages_};
}

// Runs an import or an export; a close asked for meanwhile waits for its end.
void MainWindow::import_updates() {
  if (operation_running_ || !opened_) return;
  operation_running_ = true;
  app::ImportResult result =
      app::import_updates(passports_.table(), import_file_, import_name_, operation_ui());
  operation_running_ = false;
  if (result.failures.count > 0) {
    boxes_.show_plain(this, app::failure_summary(result.failures, app::Operation::kImport));
  }
  if (close_pending_) close();
}

void MainWindow::export_passports() {
  if (operation_running_ || !opened_) return;
  operation_running_ = true;
  app::ExportResult result =
      app::export_passports(passports_.table(), import_file_, import_name_, operation_ui());
  operation_running_ = false;
  if (result.failures.count > 0) {
    boxes_.show_plain(this, app::failure_summary(result.failures, app::Operation::kExport));
  }
  if (close_pending_) close();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  // Enter presses the button that has the focus, else the default button "Найти". The
  // result list takes its own Enter and never passes it here.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    auto* focused = qobject_cast<QPushButton*>(focusWidget());
    (focused ? focused : ok_button_)->click();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (operation_running_) {
    close_pending_ = true;
    event->ignore();
    return;
  }
  shut_down();
  event->accept();
}

void MainWindow::handle_window_event(const platform::WindowEvent& event) {
  if (event.kind == platform::WindowEvent::Kind::kCloseDownRequest) {
    close();
    return;
  }
  tray_->TakeEvent(event);
}

void MainWindow::save_position() {
  platform::WindowState state;
  state.maximized = isMaximized();
  state.minimized = isMinimized();
  state.x = pos().x();
  state.y = pos().y();
  state.width = width();
  state.height = height();
  state.resizable = false;
  ini_.save_window_position(kMainSection, state);
}

void MainWindow::shut_down() {
  if (shut_down_ || !opened_) return;
  shut_down_ = true;
  tray_->TakeEvent({platform::WindowEvent::Kind::kClosing});
  passports_.release();
  save_position();
}

}  // namespace orvel::windows
