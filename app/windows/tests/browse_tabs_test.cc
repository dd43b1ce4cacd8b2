// The browse tabs of the main window on the offscreen platform: the order and layout each
// tab chooses, the locator, a row opened in the view form, and a header sort undone by a
// change of tab.
#include <QLineEdit>
#include <QTabWidget>
#include <QtTest>
#include <memory>
#include <optional>
#include <string>

#include "app/record_fields.h"
#include "app/windows/browse_tabs.h"
#include "app/windows/tests/window_fixture.h"
#include "platform/browse/browse_list.h"
#include "platform/browse/header_sorter.h"
#include "platform/browse/list_format_manager.h"

namespace orvel::windows {
namespace {

using testing::cp;

class BrowseTabsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<testing::ScratchDirectory> dir_;
  std::unique_ptr<testing::Program> program_;
  std::unique_ptr<BrowseTabs> browse_;
  std::optional<app::PSP> viewed_;

  MainWindow& window() { return *program_->window; }
  QTabWidget* sheet() { return window().findChild<QTabWidget*>("?SHEET1"); }
  QLineEdit* locator() { return window().findChild<QLineEdit*>("?LOC:F1"); }
  std::string current_number() {
    const browse::BrowseRecord* row = browse_->list().current_record();
    if (!row) return "";
    return app::trimmed_string(app::read_record<app::PSP>(row->image).NUM);
  }
  std::string first_shown_number() {
    const auto& rows = browse_->list().page().rows();
    if (rows.empty()) return "";
    return app::trimmed_string(app::read_record<app::PSP>(rows.front().image).NUM);
  }

 private slots:
  void init() {
    dir_ = std::make_unique<testing::ScratchDirectory>();
    QVERIFY(dir_->valid());
    qputenv("ORVEL_FORMATS", dir_->file_path("formats/Formats.FDB").toLocal8Bit());
    testing::fill({{"45 02", "200", "ВОРОНОВ", 0, "second"},
                   {"45 01", "150", "АНДРЕЕВ", 0, "first of two"},
                   {"45 01", "150", "ЯКОВЛЕВ", 0, "second of two"},
                   {"45 03", "123", "БОРИСОВ"},
                   {"45 04", "100", "ГРИГОРЬЕВ"}});
    program_ = std::make_unique<testing::Program>(nullptr);
    QVERIFY(window().open());
    browse_ = std::make_unique<BrowseTabs>(BrowseTabs::Parts{
        window(), program_->passports, program_->boxes, program_->ini.path(),
        dir_->file_path("formats/Formats.FDB").toStdString(),
        [this](const app::PSP& passport) { viewed_ = passport; }});
    QVERIFY(browse_->start());
    window().show();
    viewed_.reset();
  }
  void cleanup() {
    browse_.reset();
    program_.reset();
    qunsetenv("ORVEL_FORMATS");
    dir_.reset();
  }

  void each_tab_orders_the_list_and_names_its_layout() {
    sheet()->setCurrentIndex(4);  // tab 5
    QCOMPARE(browse_->last_order(), kByNameOrder);
    QCOMPARE(browse_->formats().current_number(), 3);
    QCOMPARE(browse_->formats().current_name(), cp("Сортировка2"));
    QCOMPARE(first_shown_number(), std::string("150"));  // АНДРЕЕВ

    sheet()->setCurrentIndex(3);  // tab 4
    QCOMPARE(browse_->last_order(), kByNumberOrder);
    QCOMPARE(browse_->formats().current_number(), 2);
    QCOMPARE(browse_->formats().current_name(), cp("Сортировка1"));
    QCOMPARE(first_shown_number(), std::string("100"));
  }

  void the_locator_highlights_the_first_passport_not_lower() {
    sheet()->setCurrentIndex(3);
    locator()->setFocus();
    testing::type(locator(), "13");
    QTest::keyClick(locator(), Qt::Key_Return);
    QCOMPARE(current_number(), std::string("150"));
  }

  void a_chosen_row_opens_the_earliest_passport_of_its_series_and_number() {
    sheet()->setCurrentIndex(4);  // by name: ЯКОВЛЕВ is the last row
    browse_->list().end();
    QCOMPARE(current_number(), std::string("150"));
    emit browse_->list().accepted();
    QVERIFY(viewed_.has_value());
    QCOMPARE(app::trimmed_string(viewed_->COMMENT), std::string("first of two"));
  }

  void a_header_sort_ends_with_a_change_of_tab() {
    sheet()->setCurrentIndex(3);
    browse_->sorter().click(2, false);  // by name
    QVERIFY(browse_->list().is_sorted());
    QCOMPARE(first_shown_number(), std::string("150"));
    sheet()->setCurrentIndex(4);
    sheet()->setCurrentIndex(3);
    QVERIFY(!browse_->list().is_sorted());
    QCOMPARE(first_shown_number(), std::string("100"));
  }
};

}  // namespace
}  // namespace orvel::windows

QTEST_MAIN(orvel::windows::BrowseTabsTest)
#include "browse_tabs_test.moc"
