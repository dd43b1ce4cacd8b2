// The main window driven as the operator drives it, on the offscreen platform: typing and
// "Найти" on the search tabs, the message of an empty result, the browse tabs, choosing a
// row, import and export by their hot keys through a file chooser of the test's own, the
// position kept in orvel.INI, and the program's start-up and shutdown.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "app/dates.h"
#include "app/windows/main_window.h"
#include "app/windows/program.h"
#include "app/windows/result_list.h"
#include "app/windows/tests/window_fixture.h"
#include "platform/private_profile.h"
#include "platform/toolkit/message_boxes.h"

namespace orvel::windows {
namespace {

using platform::toolkit::BoxKind;
using platform::toolkit::MessageBoxes;
using testing::cp;
using testing::type;

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<testing::ScratchDirectory> dir_;
  std::string ini_path_;

  std::unique_ptr<testing::Program> program_;
  testing::ScriptedChooser chooser_;

  MainWindow& window() { return *program_->window; }
  template <typename T>
  T* control(const char* name) {
    T* found = window().findChild<T*>(name);
    if (!found) qFatal("no control %s", name);
    return found;
  }
  QLineEdit* find_entry() { return control<QLineEdit>("?LOC:FIND"); }
  ResultList* result_list() { return control<ResultList>("?LIST2"); }
  QTabWidget* sheet() { return control<QTabWidget>("?SHEET1"); }
  QString count_text() { return control<QLabel>("?LOC:REC_NUM")->text(); }

  void open_window() {
    program_ = std::make_unique<testing::Program>(&chooser_);
    QVERIFY(window().open());
    window().show();
    window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window()));
  }

  // The numbers of the rows the result list shows, in order.
  QStringList shown_numbers() {
    QStringList numbers;
    QAbstractItemModel* model = result_list()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
      numbers << model->index(row, 1).data().toString();
    }
    return numbers;
  }

  std::vector<std::string> plain_boxes() {
    std::vector<std::string> texts;
    for (const auto& box : program_->boxes.captured()) {
      if (box.kind == BoxKind::kPlain) texts.push_back(box.text);
    }
    return texts;
  }

  void search(int tab, const QString& text) {
    sheet()->setCurrentIndex(tab - 1);
    find_entry()->clear();
    find_entry()->setFocus();
    type(find_entry(), text);
    QTest::mouseClick(control<QPushButton>("?OKBUTTON"), Qt::LeftButton);
  }

  std::string read_file(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return "(missing)";
    return file.readAll().toStdString();
  }

 private slots:
  void init() {
    dir_ = std::make_unique<testing::ScratchDirectory>();
    QVERIFY(dir_->valid());
    ini_path_ = dir_->ini_path();
    chooser_ = testing::ScriptedChooser();
  }

  void cleanup() {
    program_.reset();
    dir_.reset();
  }

  void the_window_shows_its_caption_and_count() {
    testing::fill({{"45 01", "1", "A"}, {"45 01", "2", "B"}});
    open_window();
    QCOMPARE(window().windowTitle(), QString::fromUtf8("Орвель. вер.0.3"));
    QVERIFY(!window().windowIcon().isNull());
    QCOMPARE(count_text(), QString("             2"));
    QVERIFY(!control<QProgressBar>("?LOC:PROGRESS")->isVisible());
    QVERIFY(!control<QPushButton>("?BUTTON3")->isVisible());
    QVERIFY(control<QPushButton>("?OKBUTTON")->isDefault());
    QCOMPARE(sheet()->count(), 5);
    QCOMPARE(sheet()->tabText(3), QString::fromUtf8("Все паспорта - Номер"));
    QCOMPARE(result_list()->model()->headerData(4, Qt::Horizontal).toString(),
             QString::fromUtf8("Дата имп."));
    // The two lists and the two entries share their places.
    QCOMPARE(result_list()->geometry(), control<QWidget>("?LIST")->geometry());
    QCOMPARE(find_entry()->geometry(), control<QWidget>("?LOC:F1")->geometry());
  }

  void search_tabs_show_their_rows_and_the_prepared_text_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown_text");
    QTest::addColumn<QStringList>("numbers");
    QTest::newRow("number: blanks removed, prefix and steps of L")
        << 1 << "1 2"
        << "12" << QStringList{"12", "1200", "1212", "1312"};
    QTest::newRow("series: a blank after two digits") << 2 << "4501"
                                                      << "45 01" << QStringList{"100", "101"};
    QTest::newRow("name: Latin upper-cased") << 3 << "ivanov"
                                             << "IVANOV" << QStringList{"500", "501"};
    QTest::newRow("name: Cyrillic as typed")
        << 3 << QString::fromUtf8("ПЕТРОВ") << QString::fromUtf8("ПЕТРОВ") << QStringList{"700"};
  }

  void search_tabs_show_their_rows_and_the_prepared_text() {
    QFETCH(int, tab);
    QFETCH(QString, typed);
    QFETCH(QString, shown_text);
    QFETCH(QStringList, numbers);
    testing::fill({
        {"10 10", "12", "X"},
        {"10 10", "1200", "X"},
        {"10 10", "1212", "X"},
        {"10 10", "1312", "X"},
        {"10 10", "14", "X"},
        {"45 01", "100", "Y"},
        {"45 01", "101", "Y"},
        {"45 02", "102", "Y"},
        {"20 20", "500", "IVANOV IVAN"},
        {"20 20", "501", "IVANOVA ANNA"},
        {"20 20", "502", "IVASHOV"},
        {"20 20", "700", "ПЕТРОВ ПЁТР"},
    });
    open_window();
    search(tab, typed);
    QCOMPARE(shown_numbers(), numbers);
    QCOMPARE(find_entry()->text(), shown_text);
    QCOMPARE(window().current_tab(), tab);
    QVERIFY(plain_boxes().empty());
  }

  void enter_in_the_entry_presses_find_and_an_empty_result_says_so() {
    testing::fill({{"45 01", "123", "A", app::day_number(2001, 5, 17), "Утрачен"}});
    open_window();
    find_entry()->setFocus();
    type(find_entry(), "123");
    QTest::keyClick(find_entry(), Qt::Key_Return);
    QCOMPARE(shown_numbers(), QStringList{"123"});
    QAbstractItemModel* model = result_list()->model();
    QCOMPARE(model->index(0, 3).data().toString(), QString("17-05-2001"));
    QCOMPARE(model->index(0, 4).data().toString(), QString("01-03-2006"));
    QCOMPARE(model->index(0, 5).data().toString(), QString::fromUtf8("Утрачен"));

    find_entry()->clear();
    type(find_entry(), "999");
    QTest::keyClick(find_entry(), Qt::Key_Return);
    QCOMPARE(shown_numbers(), QStringList{});
    QCOMPARE(plain_boxes(), std::vector<std::string>{cp("Данные не найдены.")});

    // A blank text does nothing: no message, the rows stay.
    find_entry()->clear();
    type(find_entry(), "123");
    QTest::keyClick(find_entry(), Qt::Key_Return);
    find_entry()->setText("   ");
    QTest::keyClick(find_entry(), Qt::Key_Return);
    QCOMPARE(shown_numbers(), QStringList{"123"});
    QCOMPARE(plain_boxes().size(), size_t{1});
  }

  void browse_tabs_swap_the_lists_and_a_search_tab_searches_again() {
    testing::fill({{"45 01", "100", "A"}, {"45 01", "101", "B"}, {"46 01", "102", "C"}});
    open_window();
    std::vector<int> browse_orders;
    window().set_browse_order([&](int tab) { browse_orders.push_back(tab); });

    search(2, "4501");
    QCOMPARE(shown_numbers(), (QStringList{"100", "101"}));

    sheet()->setCurrentIndex(4);
    QVERIFY(control<QWidget>("?LIST")->isVisible());
    QVERIFY(!result_list()->isVisible());
    QVERIFY(control<QLineEdit>("?LOC:F1")->isVisible());
    QVERIFY(!find_entry()->isVisible());
    sheet()->setCurrentIndex(3);
    QCOMPARE(browse_orders, (std::vector<int>{5, 4}));
    // "Найти" re-applies the order on tab 4 only, and only with a search text.
    QTest::mouseClick(control<QPushButton>("?OKBUTTON"), Qt::LeftButton);
    QCOMPARE(browse_orders, (std::vector<int>{5, 4, 4}));

    // Back on tab 1 the number search runs at once on the text kept in the entry.
    find_entry()->setText("102");
    sheet()->setCurrentIndex(0);
    QVERIFY(result_list()->isVisible());
    QVERIFY(find_entry()->isVisible());
    QCOMPARE(shown_numbers(), QStringList{"102"});
  }

  void a_browse_list_set_later_takes_the_place_of_the_empty_one() {
    open_window();
    auto* list = new QLabel("browse");
    window().set_browse_list(list);
    QCOMPARE(control<QWidget>("?LIST"), list);
    QCOMPARE(list->geometry(), result_list()->geometry());
    QVERIFY(!list->isVisible());
    sheet()->setCurrentIndex(3);
    QVERIFY(list->isVisible());
  }

  void choosing_a_row_opens_the_view_form_on_the_first_equal_passport() {
    testing::fill({{"45 01", "7", "FIRST"}, {"45 01", "7", "SECOND"}, {"45 01", "8", "OTHER"}});
    open_window();
    std::vector<std::string> shown;
    window().set_view_form([&](const app::PSP& p) { shown.push_back(app::trimmed_string(p.FIO)); });
    search(1, "7");
    QCOMPARE(shown_numbers(), (QStringList{"7", "7"}));

    // Enter on the second row shows the entry KL_SER_NUM finds first for its series and
    // number, and does not press "Найти" besides.
    result_list()->setFocus();
    result_list()->setCurrentIndex(result_list()->model()->index(1, 0));
    QTest::keyClick(result_list(), Qt::Key_Return);
    QCOMPARE(shown, std::vector<std::string>{"FIRST"});

    const QRect first_row = result_list()->visualRect(result_list()->model()->index(0, 2));
    QTest::mouseClick(result_list()->viewport(), Qt::LeftButton, {}, first_row.center());
    QTest::mouseDClick(result_list()->viewport(), Qt::LeftButton, {}, first_row.center());
    QCOMPARE(shown, (std::vector<std::string>{"FIRST", "FIRST"}));
    QVERIFY(plain_boxes().empty());
  }

  void hot_keys_import_and_export_through_the_chooser() {
    testing::fill({{"45 01", "1", "A"}});
    open_window();
    const QString update = dir_->file_path("update.txt");
    {
      QFile file(update);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(cp("\"45 01\";\"1\";\"ivanov\";\"2001-05-17\";\"Утрачен\";\"\"\r\n"
                    "\"45 02\";\"2\";\"ПЕТРОВ\";\"\";\"Похищен\";\"2006-02-01\"\r\n")
                     .c_str());
    }
    chooser_.next = update.toStdString();
    // While the dialog is up the bar is shown and the window waits.
    bool bar_shown = false;
    bool waiting = false;
    chooser_.during = [&] {
      bar_shown = control<QProgressBar>("?LOC:PROGRESS")->isVisible();
      waiting = QApplication::overrideCursor() &&
                QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    };
    QTest::keyClick(&window(), Qt::Key_I, Qt::ControlModifier | Qt::AltModifier);
    QVERIFY(bar_shown);
    QVERIFY(waiting);
    chooser_.during = nullptr;
    QCOMPARE(chooser_.titles.size(), size_t{1});
    QCOMPARE(chooser_.titles[0], cp("Укажите имя импортируемого файла"));
    QCOMPARE(count_text(), QString("             2"));
    QVERIFY(!control<QProgressBar>("?LOC:PROGRESS")->isVisible());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(plain_boxes().empty());

    // The export dialog starts from the name the import chose.
    const QString exported = dir_->file_path("export.txt");
    chooser_.next = exported.toStdString();
    QTest::keyClick(find_entry(), Qt::Key_E, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(chooser_.titles.size(), size_t{2});
    QCOMPARE(chooser_.titles[1], cp("Укажите имя файла для экспорта"));
    QCOMPARE(chooser_.initial_names[1], update.toStdString());
    QCOMPARE(read_file(exported),
             cp("\"45 01\";\"1\";\"IVANOV\";\"2001-05-17\";\"Утрачен\";\"2006-03-01\"\r\n"
                "\"45 02\";\"2\";\"ПЕТРОВ\";\"\";\"Похищен\";\"2006-02-01\"\r\n"));

    // A cancelled dialog blanks the name; a missing file gives its error text.
    chooser_.next.reset();
    QTest::keyClick(&window(), Qt::Key_I, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(chooser_.initial_names[2], exported.toStdString());
    chooser_.next = dir_->file_path("missing.txt").toStdString();
    QTest::keyClick(&window(), Qt::Key_I, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(chooser_.initial_names[3], std::string());
    QCOMPARE(plain_boxes(), std::vector<std::string>{"File Not Found"});
    QCOMPARE(count_text(), QString("             2"));
  }

  void the_window_position_survives_a_restart() {
    open_window();
    window().move(123, 77);
    QCOMPARE(window().pos(), QPoint(123, 77));
    window().close();
    QCOMPARE(platform::get_profile_string(ini_path_, "Main", "XPos", "-"), std::string("123"));
    QCOMPARE(platform::get_profile_string(ini_path_, "Main", "YPos", "-"), std::string("77"));
    QCOMPARE(platform::get_profile_string(ini_path_, "Main", "Maximize", "-"), std::string("No"));
    // The window keeps its size: the size is not stored.
    QCOMPARE(platform::get_profile_string(ini_path_, "Main", "Width", "-"), std::string("-"));
    program_.reset();

    program_ = std::make_unique<testing::Program>(&chooser_);
    QVERIFY(window().open());
    window().show();
    QCOMPARE(window().pos(), QPoint(123, 77));
  }

  void a_run_with_no_passport_file_creates_it_and_writes_the_ini_file() {
    ProgramOptions options;
    options.capture_messages = true;
    options.window_shown = [](MainWindow& window) {
      QTimer::singleShot(0, &window, &QWidget::close);
    };
    size_t boxes_shown = 99;
    options.finished = [&](const MessageBoxes& boxes) { boxes_shown = boxes.captured().size(); };
    QCOMPARE(run_program(options), kExitOk);
    QCOMPARE(boxes_shown, size_t{0});
    QVERIFY(QFile::exists("passport.hvk"));
    // The list-formats file where the environment puts it, not in the user's own settings.
    QVERIFY(QFile::exists("formats/Formats.FDB"));
    QCOMPARE(platform::get_profile_string(ini_path_, "__Dont_Touch_Me__", "Sectors", "-"),
             std::string("0"));
    QCOMPARE(platform::get_profile_string(ini_path_, "Main", "Maximize", "-"), std::string("No"));
  }

  void a_passport_file_that_cannot_be_opened_ends_the_run() {
    // A directory in the file's place can be neither opened nor created.
    QVERIFY(QDir().mkdir("passport.hvk"));
    ProgramOptions options;
    options.capture_messages = true;
    bool shown = false;
    options.window_shown = [&](MainWindow&) { shown = true; };
    std::vector<platform::toolkit::ShownBox> boxes;
    options.finished = [&](const MessageBoxes& b) { boxes = b.captured(); };
    QCOMPARE(run_program(options), kExitFatal);
    QVERIFY(!shown);
    QVERIFY(!boxes.empty());
    QCOMPARE(boxes.back().kind, BoxKind::kFatal);
    QVERIFY(
        QString::fromStdString(boxes.back().text).endsWith("  Press OK to end this application"));
    QCOMPARE(boxes.back().procedure, std::string("Main"));
    // Ended at once: the INI manager wrote nothing back.
    QVERIFY(!QFile::exists(QString::fromStdString(ini_path_)));
  }
};

}  // namespace
}  // namespace orvel::windows

QTEST_MAIN(orvel::windows::MainWindowTest)
#include "main_window_test.moc"
