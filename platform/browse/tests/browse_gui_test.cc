// The browse list on screen (offscreen platform): the locator entry, keys typed in the list,
// paging keys, header sorts and the list-format manager with its file and set-up window.
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <QtTest>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/list_formats_record.h"
#include "platform/browse/browse_list.h"
#include "platform/browse/browse_locator.h"
#include "platform/browse/browse_model.h"
#include "platform/browse/format_setup_dialog.h"
#include "platform/browse/header_sorter.h"
#include "platform/browse/list_format_manager.h"
#include "platform/browse/tests/passport_table.h"
#include "platform/tests/temp_dir.h"

namespace orvel::browse {
namespace {

std::string cp(const char* utf8) {
  return program_text(QString::fromUtf8(utf8));
}

std::vector<ColumnFormat> passport_columns() {
  auto column = [](const char* title, int width, Alignment cell, uint16_t field) {
    ColumnFormat c;
    c.title = cp(title);
    c.width = width;
    c.cell_alignment = cell;
    c.field = field;
    return c;
  };
  return {column("Серия", 30, Alignment::kLeft, app::kPspSer),
          column("Номер", 30, Alignment::kLeft, app::kPspNum),
          column("ФИО", 120, Alignment::kLeft, app::kPspFio),
          column("Дата", 44, Alignment::kRight, app::kPspDatePas),
          column("Импортирован", 44, Alignment::kRight, app::kPspDateImp),
          column("Причина", 1020, Alignment::kLeft, app::kPspComment)};
}

// A window with the locator entry above the list and a button after it, as the main window
// stacks them; 60 passports numbered 100 to 159 (in reverse file order), names and dates
// running the other way.
struct Window {
  testing::PassportTable file;
  QWidget window;
  QLineEdit* entry = new QLineEdit(&window);
  BrowseList* list = new BrowseList(&window);
  QPushButton* button = new QPushButton(QStringLiteral("OK"), &window);
  BrowseLocator* locator;
  int by_name = 0, by_number = 0;

  Window() {
    for (int i = 59; i >= 0; --i) {
      char name[16];
      std::snprintf(name, sizeof name, "N%02d", 59 - i);
      file.add("45 01", std::to_string(100 + i), name, 1000 + (i * 7) % 60);
    }
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(entry);
    layout->addWidget(list);
    layout->addWidget(button);
    list->set_table(&file.table());
    list->set_columns(passport_columns());
    by_name = list->add_order(app::kKeyFio, app::kPspFio);
    by_number = list->add_order(app::kKeyNumSer, app::kPspNum);
    locator = new BrowseLocator(entry, list);
    window.resize(600, 300);
    window.show();
    if (!QTest::qWaitForWindowActive(&window)) std::fprintf(stderr, "window not active\n");
    list->apply_order(by_number);
  }

  std::string current_num() const {
    const BrowseRecord* row = list->current_record();
    return row ? testing::num(*row) : "";
  }
  std::vector<std::string> shown() const { return testing::nums(list->page().rows()); }
  QString header(int column) const {
    return list->model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
  }
};

std::vector<std::string> numbers(int from, int to) {
  std::vector<std::string> out;
  for (int i = from; i < to; ++i) out.push_back(std::to_string(i));
  return out;
}

class BrowseGuiTest : public QObject {
  Q_OBJECT

 private slots:
  void locatorEnterHighlightsTheFirstPassportNotLowerAndMovesTheFocusOn() {
    Window w;
    w.entry->setFocus();
    QTest::keyClicks(w.entry, "123");
    QTest::keyClick(w.entry, Qt::Key_Return);
    QCOMPARE(w.current_num(), std::string("123"));
    QVERIFY(w.list->view()->hasFocus());

    // Between two numbers: the higher one. Leaving the entry accepts it too.
    w.entry->setFocus();
    w.entry->setText(QStringLiteral("1405"));
    w.button->setFocus();
    QCOMPARE(w.current_num(), std::string("141"));

    // Up goes back through the focus chain, Down forward, without positioning.
    w.entry->setFocus();
    QTest::keyClick(w.entry, Qt::Key_Down);
    QVERIFY(w.list->view()->hasFocus());
    QCOMPARE(w.current_num(), std::string("141"));
  }

  void locatorTextIsUpperCasedAndKeptPerOrder() {
    Window w;
    w.list->apply_order(w.by_name);
    w.entry->setFocus();
    QTest::keyClicks(w.entry, "n5");
    QTest::keyClick(w.entry, Qt::Key_Return);
    QCOMPARE(w.entry->text(), QStringLiteral("N5"));
    QCOMPARE(app::trimmed_string(testing::passport(*w.list->current_record()).FIO),
             std::string("N50"));

    w.list->apply_order(w.by_number);
    QCOMPARE(w.entry->text(), QString());
    QCOMPARE(w.current_num(), std::string("100"));
    w.list->apply_order(w.by_name);
    QCOMPARE(w.entry->text(), QStringLiteral("N5"));
    QCOMPARE(app::trimmed_string(testing::passport(*w.list->current_record()).FIO),
             std::string("N50"));
  }

  void aLetterTypedInTheListLandsInTheLocator() {
    Window w;
    w.entry->setText(QStringLiteral("999"));
    w.list->setFocus();
    QTest::keyClick(w.list->view(), Qt::Key_1);
    QVERIFY(w.entry->hasFocus());
    QCOMPARE(w.entry->text(), QStringLiteral("1"));
    QTest::keyClick(w.list->view(), Qt::Key_Down);  // not a printable key: the list's own
    QTest::keyClicks(w.entry, "5");
    QTest::keyClick(w.entry, Qt::Key_Return);
    QCOMPARE(w.current_num(), std::string("150"));

    w.list->setFocus();
    QTest::keyClick(w.list->view(), Qt::Key_K);
    QCOMPARE(w.entry->text(), QStringLiteral("k"));
  }

  void pagingHomeAndEndKeysReadTheRightRows() {
    Window w;
    const int n = int(w.list->page().size());
    QVERIFY(n > 2 && n < 30);
    w.list->setFocus();
    QCOMPARE(w.shown(), numbers(100, 100 + n));
    QTest::keyClick(w.list->view(), Qt::Key_PageDown);
    QCOMPARE(w.shown(), numbers(100 + n, 100 + 2 * n));
    QCOMPARE(w.current_num(), std::to_string(100 + n));
    QTest::keyClick(w.list->view(), Qt::Key_Down);
    QCOMPARE(w.current_num(), std::to_string(101 + n));
    QTest::keyClick(w.list->view(), Qt::Key_End);
    QCOMPARE(w.shown(), numbers(160 - n, 160));
    QCOMPARE(w.current_num(), std::string("159"));
    QCOMPARE(w.list->thumb()->value(), kThumbRange);
    QTest::keyClick(w.list->view(), Qt::Key_PageUp);
    QCOMPARE(w.shown(), numbers(160 - 2 * n, 160 - n));
    QTest::keyClick(w.list->view(), Qt::Key_Home);
    QCOMPARE(w.shown(), numbers(100, 100 + n));
    QCOMPARE(w.current_num(), std::string("100"));
    QCOMPARE(w.list->thumb()->value(), 0);

    // Dragging the thumb to the middle shows the middle of the list; the steps of the scroll
    // bar are the list's moves.
    w.list->thumb()->setSliderPosition(kThumbRange / 2);
    QVERIFY(w.current_num() > "115" && w.current_num() < "145");
    w.list->thumb()->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(w.current_num(), std::string("159"));
    w.list->thumb()->triggerAction(QAbstractSlider::SliderToMinimum);
    QCOMPARE(w.current_num(), std::string("100"));
    w.list->thumb()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(w.shown(), numbers(100 + n, 100 + 2 * n));
    w.list->home();

    // A click on a row highlights it; Enter accepts it.
    QSignalSpy accepted(w.list, &BrowseList::accepted);
    const QRect second = w.list->view()->visualRect(w.list->model()->index(2, 1));
    QTest::mouseClick(w.list->view()->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(w.current_num(), std::string("102"));
    QTest::keyClick(w.list->view(), Qt::Key_Return);
    QCOMPARE(accepted.count(), 1);
  }

  void headerSortThenAnOrderChangeReturnsToKeyOrder() {
    Window w;
    HeaderSorter sorter(w.list);
    QHeaderView* header = w.list->view()->horizontalHeader();
    auto click_header = [&](int column, Qt::KeyboardModifiers modifiers = {}) {
      const QPoint at(header->sectionViewportPosition(column) + 5, header->height() / 2);
      QTest::mouseClick(header->viewport(), Qt::LeftButton, modifiers, at);
    };
    click_header(3);  // "Дата"
    QVERIFY(w.list->is_sorted());
    QCOMPARE(w.header(3), QString::fromUtf8("Дата [+]"));
    int32_t last = INT32_MIN;
    std::string last_num;
    for (const BrowseRecord& row : w.list->page().rows()) {
      const int32_t date = testing::passport(row).DATE_PAS.get();
      QVERIFY(date >= last);
      if (date == last) QVERIFY(testing::num(row) > last_num);  // then the key's NUM
      last = date;
      last_num = testing::num(row);
    }
    click_header(3);
    QCOMPARE(w.header(3), QString::fromUtf8("Дата [-]"));
    QVERIFY(testing::passport(w.list->page().rows().front()).DATE_PAS.get() == 1059);
    click_header(2, Qt::ShiftModifier);
    QCOMPARE(w.header(3), QString::fromUtf8("Дата [-1]"));
    QCOMPARE(w.header(2), QString::fromUtf8("ФИО [+2]"));

    w.list->apply_order(w.by_name);  // a tab change
    w.list->apply_order(w.by_number);
    QVERIFY(!w.list->is_sorted());
    QCOMPARE(w.header(3), QString::fromUtf8("Дата"));
    QCOMPARE(w.shown(), numbers(100, 100 + int(w.list->page().size())));

    click_header(1);
    sorter.clear();
    QVERIFY(!w.list->is_sorted());
    QCOMPARE(w.header(1), QString::fromUtf8("Номер"));
  }

  void listFormatManagerSavesAppliesRenamesAndDeletesThroughItsFile() {
    platform::testing::TempDir temp("orvel-formats-gui");
    const std::string dir = temp.path();
    const datafile::TableDecl decl = app::list_formats_table(dir + "/sub/Formats.FDB");
    const std::string ini = dir + "/orvel.INI";
    Window w;
    HeaderSorter sorter(w.list);
    QHeaderView* header = w.list->view()->horizontalHeader();
    {
      ListFormatManager manager(w.list, decl, "orvel", "Main", 1, ini);
      QCOMPARE(manager.start(), 0);
      QVERIFY(std::filesystem::exists(dir + "/sub/Formats.FDB"));

      manager.switch_to(2, cp("Сортировка1"));
      header->resizeSection(2, w.list->pixels(200));
      manager.switch_to(3, cp("Сортировка2"));  // keeps FIO at 200 under layout 2
      header->resizeSection(2, w.list->pixels(60));
      manager.switch_to(2, cp("Сортировка1"));
      QCOMPARE(manager.current_layout().columns[2].width, 200);

      // The context menu offers both layouts and the set-up; choosing one applies it and
      // ends the header sort.
      sorter.click(3, false);
      QVERIFY(w.list->is_sorted());
      QMenu menu;
      w.list->fill_context_menu(&menu);
      QCOMPARE(menu.actions().size(), 1);
      QMenu* formats = menu.actions().front()->menu();
      QVERIFY(formats != nullptr);
      QCOMPARE(menu.actions().front()->text(), QStringLiteral("List &Formats"));
      QStringList texts;
      for (QAction* a : formats->actions()) {
        if (!a->isSeparator()) texts << a->text();
      }
      QCOMPARE(texts,
               (QStringList{QString::fromUtf8("Сортировка1"), QString::fromUtf8("Сортировка2"),
                            QStringLiteral("Format &Setup...")}));
      w.list->context_menu_closed(&menu, formats->actions().at(1));
      QCOMPARE(manager.current_number(), 3);
      QCOMPARE(manager.current_layout().columns[2].width, 60);
      QVERIFY(!w.list->is_sorted());
      QVERIFY(menu.actions().isEmpty());  // the manager's part is taken out again

      // The set-up window: save, rename, apply, delete.
      FormatSetupDialog setup(&manager, w.list);
      QCOMPARE(setup.layouts()->count(), 2);
      header->moveSection(header->visualIndex(5), 0);  // "Причина" first
      header->setSectionHidden(4, true);
      setup.name()->setText(QString::fromUtf8("Узкий"));
      setup.save_new();
      QCOMPARE(setup.layouts()->count(), 3);
      QCOMPARE(setup.layouts()->currentItem()->text(), QString::fromUtf8("Узкий"));
      setup.name()->setText(QString::fromUtf8("Причина сначала"));
      setup.rename_selected();
      QCOMPARE(setup.layouts()->currentItem()->text(), QString::fromUtf8("Причина сначала"));

      manager.apply_saved(2);
      QCOMPARE(header->logicalIndex(0), 0);
      QVERIFY(!header->isSectionHidden(4));
      setup.layouts()->setCurrentRow(2);
      setup.apply_selected();
      QCOMPARE(header->logicalIndex(0), 5);
      QVERIFY(header->isSectionHidden(4));
      QCOMPARE(manager.current_number(), kFirstOperatorLayout);

      setup.layouts()->setCurrentRow(1);  // "Сортировка2"
      setup.delete_selected();
      QCOMPARE(setup.layouts()->count(), 2);
      setup.accept();
    }
    // Everything is in the file.
    ListFormatStore store(decl, "orvel", "Main", 1);
    QCOMPARE(store.open(), 0);
    std::vector<SavedLayout> saved;
    QCOMPARE(store.list(&saved), 0);
    QCOMPARE(int(saved.size()), 2);
    QCOMPARE(saved[0].number, 2);
    QCOMPARE(saved[1].number, kFirstOperatorLayout);
    QCOMPARE(saved[1].name, cp("Причина сначала"));
    QCOMPARE(saved[1].format.substr(0, 7), std::string("5:1020,"));
    std::ifstream ini_file(ini);
    std::string ini_text((std::istreambuf_iterator<char>(ini_file)), {});
    QVERIFY(ini_text.find("[List Format Manager]") != std::string::npos);
    QVERIFY(ini_text.find("browse_x=") != std::string::npos);
  }

  void aDirectoryThatCannotBeMadeEndsTheProgramWithTheMessages() {
    platform::testing::TempDir temp("orvel-formats-gui");
    const std::string dir = temp.path();
    std::ofstream(dir + "/file") << "x";
    const datafile::TableDecl decl = app::list_formats_table(dir + "/file/Formats.FDB");
    Window w;
    ListFormatManager manager(w.list, decl, "orvel", "Main", 1, dir + "/orvel.INI");
    std::vector<std::string> shown;
    bool ended = false;
    manager.set_message_box([&](const std::string& caption, const std::string& text) {
      shown.push_back(caption + "|" + text);
    });
    manager.set_terminate([&] { ended = true; });
    QVERIFY(manager.start() != 0);
    QVERIFY(ended);
    QCOMPARE(shown, (std::vector<std::string>{
                        "List Format Manager|An error occured during directory creating!",
                        "List Format Manager|List Format Manager cannot work properly!\n"
                        "Program is terminated!"}));
  }
};

}  // namespace
}  // namespace orvel::browse

QTEST_MAIN(orvel::browse::BrowseGuiTest)
#include "browse_gui_test.moc"
