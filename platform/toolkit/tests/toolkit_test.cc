// The toolkit components that need no display: dialog units, fonts with Cyrillic glyphs,
// the file dialogs' filter text, message boxes in capture mode, the procedure-name stack and
// the wait cursor.
#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QtTest>

#include "platform/toolkit/dialog_units.h"
#include "platform/toolkit/file_dialogs.h"
#include "platform/toolkit/message_boxes.h"
#include "platform/toolkit/override_cursor.h"
#include "platform/toolkit/qt_text.h"

namespace orvel::platform::toolkit {
namespace {

class ToolkitTest : public QObject {
  Q_OBJECT

 private slots:
  void dialog_units_round_like_the_dialog_manager() {
    // 6 x 13 pixels: the base of an 8-point sans font at 96 dots per inch.
    DialogUnits units(6, 13);
    QCOMPARE(units.x(4), 6);
    QCOMPARE(units.x(395), 593);  // 592.5 rounds up
    QCOMPARE(units.y(8), 13);
    QCOMPARE(units.y(251), 408);  // 407.875
    QCOMPARE(units.rect(38, 30, 304, 10), QRect(57, 49, 456, 16));
    QCOMPARE(units.x(-2), -3);
  }

  void controls_at_one_place_stay_at_one_place() {
    // Whatever the font, two controls with equal units get equal pixels, and a control
    // below another in units stays below it.
    for (int points : {7, 8, 10, 16}) {
      DialogUnits units(window_font("MS Sans Serif", points));
      QVERIFY(units.char_width() > 0);
      QVERIFY(units.char_height() >= units.char_width());
      QCOMPARE(units.rect(5, 59, 385, 187), units.rect(5, 59, 385, 187));
      QVERIFY(units.y(17) + units.y(10) <= units.y(30) + units.y(3));
    }
  }

  void missing_fonts_fall_back_to_one_with_cyrillic_glyphs() {
    for (const char* family : {"MS Sans Serif", "Tahoma", "No Such Font At All"}) {
      QFont font = window_font(family, 8, true);
      QVERIFY(font.bold());
      QCOMPARE(font.pointSize(), 8);
      const QString used = QFontInfo(font).family();
      if (QFontDatabase::hasFamily(family)) continue;
      QVERIFY2(QFontDatabase::writingSystems(used).contains(QFontDatabase::Cyrillic),
               qPrintable(used));
    }
  }

  void the_all_files_filter_matches_names_without_a_dot() {
    // "Все файлы|*.*"
    QCOMPARE(qt_name_filter("\xC2\xF1\xE5 \xF4\xE0\xE9\xEB\xFB|*.*"),
             QString::fromUtf8("Все файлы (*)"));
    QCOMPARE(qt_name_filter("Text|*.txt;*.csv|All|*.*"), QString("Text (*.txt *.csv);;All (*)"));
    QCOMPARE(qt_name_filter(""), QString());
  }

  void screen_text_converts_code_page_1251() {
    // "Орвель"
    const std::string name = "\xCE\xF0\xE2\xE5\xEB\xFC";
    QCOMPARE(to_qt(name), QString::fromUtf8("Орвель"));
    QCOMPARE(from_qt(QString::fromUtf8("Орвель")), name);
    QCOMPARE(from_qt(QString::fromUtf8("日")), std::string("?"));
    // File names keep the file system's bytes.
    QCOMPARE(file_name_from_qt(file_name_to_qt("/tmp/\xD0\xBE.txt")),
             std::string("/tmp/\xD0\xBE.txt"));
  }

  void captured_boxes_carry_kind_caption_and_procedure() {
    MessageBoxes boxes;
    boxes.set_capture(true);
    boxes.show_error(nullptr, "Access Denied", "Could not get write access", false);
    {
      ProcedureScope main(boxes.procedures(), "Main");
      boxes.show_plain(nullptr, "\xC4\xE0");
      {
        ProcedureScope view(boxes.procedures(), "ViewPSP");
        boxes.show_error(nullptr, "File Access Error", "x  Press OK to end this application", true);
      }
      boxes.show_plain(nullptr, "again");
    }
    const std::vector<ShownBox>& shown = boxes.captured();
    QCOMPARE(shown.size(), size_t{4});
    QCOMPARE(shown[0].kind, BoxKind::kNotice);
    QCOMPARE(shown[0].title, std::string("Access Denied"));
    QCOMPARE(shown[0].procedure, std::string());
    QCOMPARE(shown[1].kind, BoxKind::kPlain);
    QCOMPARE(shown[1].title, std::string());
    QCOMPARE(shown[1].procedure, std::string("Main"));
    QCOMPARE(shown[2].kind, BoxKind::kFatal);
    QCOMPARE(shown[2].procedure, std::string("ViewPSP"));
    QCOMPARE(shown[3].procedure, std::string("Main"));
    QCOMPARE(boxes.procedures().depth(), size_t{0});
  }

  void a_shown_box_ends_with_ok_and_leaves_the_wait_cursor() {
    MessageBoxes boxes;
    set_wait_cursor();
    QTimer::singleShot(0, [] {
      QWidget* box = QApplication::activeModalWidget();
      QVERIFY(box);
      // The operator sees the ordinary pointer while the box waits.
      QCOMPARE(QApplication::overrideCursor(), nullptr);
      QTest::keyClick(box, Qt::Key_Return);
    });
    boxes.show_plain(nullptr, "text");
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    set_wait_cursor();  // a second call stacks nothing
    restore_normal_cursor();
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    restore_normal_cursor();
  }

  void a_file_name_that_looks_like_markup_is_shown_as_it_is() {
    MessageBoxes boxes;
    const std::string text = "Could not open <b>update</b>&amp;.txt";
    QString shown;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box);
      const QLabel* label = box->findChild<QLabel*>("qt_msgbox_label");
      QVERIFY(label);
      QCOMPARE(label->textFormat(), Qt::PlainText);
      shown = label->text();
      QTest::keyClick(box, Qt::Key_Return);
    });
    boxes.show_error(nullptr, "File Not Found", text, false);
    QCOMPARE(shown, QString::fromStdString(text));
  }
};

}  // namespace
}  // namespace orvel::platform::toolkit

QTEST_MAIN(orvel::platform::toolkit::ToolkitTest)
#include "toolkit_test.moc"
