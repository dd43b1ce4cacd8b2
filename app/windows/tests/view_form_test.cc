// The view form on the offscreen platform: what it shows of an entry, the use of the
// passport file and the procedure name while it is open, its keyboard, and the position it
// keeps in orvel.INI.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <string>

#include "app/dates.h"
#include "app/record_fields.h"
#include "app/windows/tests/window_fixture.h"
#include "app/windows/view_form.h"
#include "platform/toolkit/procedure_names.h"

namespace orvel::windows {
namespace {

using testing::cp;

class ViewFormTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<testing::ScratchDirectory> dir_;
  std::unique_ptr<app::PassportFile> passports_;
  std::unique_ptr<platform::IniManager> ini_;
  platform::toolkit::ProcedureNames procedures_;
  app::CollectingReporter reporter_;

  app::PSP passport(int32_t date_pas, const std::string& comment) {
    app::PSP record;
    app::clear(record);
    app::assign(record.SER, "45 01");
    app::assign(record.NUM, "123456");
    app::assign(record.FIO, cp("ИВАНОВ ИВАН ИВАНОВИЧ"));
    record.DATE_PAS.set(date_pas);
    record.DATE_IMP.set(app::day_number(2006, 3, 1));
    app::assign(record.COMMENT, comment);
    return record;
  }
  std::unique_ptr<ViewForm> form_of(const app::PSP& record) {
    return std::make_unique<ViewForm>(
        ViewForm::Parts{*passports_, *ini_, procedures_, reporter_}, record);
  }
  template <typename T>
  static T* control(QWidget* form, const char* name) {
    T* found = form->findChild<T*>(name);
    if (!found) qFatal("no control %s", name);
    return found;
  }

 private slots:
  void init() {
    dir_ = std::make_unique<testing::ScratchDirectory>();
    QVERIFY(dir_->valid());
    passports_ = std::make_unique<app::PassportFile>();
    QVERIFY(passports_->use(reporter_));
    ini_ = std::make_unique<platform::IniManager>(platform::settings_file_path());
    procedures_.push("Main");
  }
  void cleanup() {
    procedures_.pop();
    QCOMPARE(passports_->use_count(), 1);
    passports_->release();
    passports_.reset();
    dir_.reset();
  }

  void shows_the_entry_with_empty_dates_for_zero_and_the_whole_reason() {
    std::string reason(500, 'x');
    reason.replace(0, 7, cp("Утерян "));
    reason.back() = 'Z';
    auto form = form_of(passport(0, reason));
    form->open_form();
    QCOMPARE(form->windowTitle(), QString("Просмотр данных"));
    QCOMPARE(control<QLineEdit>(form.get(), "?PSP:SER")->text(), QString("45 01"));
    QCOMPARE(control<QLineEdit>(form.get(), "?PSP:FIO")->text(), QString("ИВАНОВ ИВАН ИВАНОВИЧ"));
    QCOMPARE(control<QLineEdit>(form.get(), "?PSP:DATE_PAS")->text(), QString());
    QCOMPARE(control<QLineEdit>(form.get(), "?PSP:DATE_IMP")->text(), QString("01-03-2006"));
    auto* box = control<QPlainTextEdit>(form.get(), "?PSP:COMMENT");
    QCOMPARE(box->toPlainText().size(), 500);
    QVERIFY(box->toPlainText().startsWith("Утерян "));
    QVERIFY(box->toPlainText().endsWith("Z"));
    QVERIFY(box->isReadOnly());
    form->accept();
  }

  void holds_a_use_and_the_procedure_name_while_open() {
    auto form = form_of(passport(app::day_number(2001, 5, 17), ""));
    form->open_form();
    QCOMPARE(passports_->use_count(), 2);
    QCOMPARE(procedures_.current(), std::string_view("ViewPSP"));
    QCOMPARE(control<QLineEdit>(form.get(), "?PSP:DATE_PAS")->text(), QString("17-05-2001"));
    form->accept();
    QCOMPARE(passports_->use_count(), 1);
    QCOMPARE(procedures_.current(), std::string_view("Main"));
  }

  void enter_moves_through_the_entries_and_closes_on_the_button() {
    auto form = form_of(passport(0, ""));
    form->open_form();
    QApplication::setActiveWindow(form.get());
    auto* series = control<QLineEdit>(form.get(), "?PSP:SER");
    auto* number = control<QLineEdit>(form.get(), "?PSP:NUM");
    series->setFocus();
    QTest::keyClick(series, Qt::Key_Return);
    QVERIFY(form->isVisible());
    QCOMPARE(QApplication::focusWidget(), number);
    QTest::keyClick(number, Qt::Key_Up);
    QCOMPARE(QApplication::focusWidget(), series);
    QTest::keyClick(series, Qt::Key_Down);
    QCOMPARE(QApplication::focusWidget(), number);

    auto* button = control<QPushButton>(form.get(), "?OKBUTTON");
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Left);
    QVERIFY(QApplication::focusWidget() != button);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    QVERIFY(!form->isVisible());
    QCOMPARE(form->result(), int(QDialog::Accepted));
  }

  void opens_again_where_it_was_closed() {
    auto form = form_of(passport(0, ""));
    form->open_form();
    form->move(123, 77);
    const QPoint closed_at = form->pos();
    form->reject();
    form.reset();

    auto again = form_of(passport(0, ""));
    again->open_form();
    QCOMPARE(again->pos(), closed_at);
    again->accept();
  }
};

}  // namespace
}  // namespace orvel::windows

QTEST_MAIN(orvel::windows::ViewFormTest)
#include "view_form_test.moc"
