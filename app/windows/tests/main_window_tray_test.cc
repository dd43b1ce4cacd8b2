// The main window and its tray icon, with a notification area of the test's own: minimising
// sends the window to the tray, a left double-click on the icon brings it back, other mouse
// actions do nothing, closing on the tray leaves no icon, the end of the session closes the
// program, losing the activation changes nothing, and without a notification area the
// window stays.
#include <QApplication>
#include <QtTest>
#include <memory>

#include "app/main_tray_icon.h"
#include "app/tests/tray_fakes.h"
#include "app/windows/main_window.h"
#include "app/windows/tests/window_fixture.h"
#include "platform/private_profile.h"
#include "platform/toolkit/qt_tray_window.h"
#include "platform/window_messages.h"

namespace orvel::windows {
namespace {

namespace message = platform::window_message;
using app::testing::FakeNotificationArea;
using platform::toolkit::QtTrayWindow;

// Delivers the posted events and those they post in turn: a tray notification posts a
// request, which the next round delivers.
void drain() {
  for (int round = 0; round < 10; ++round) QCoreApplication::processEvents();
}

class MainWindowTrayTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<testing::ScratchDirectory> dir_;
  FakeNotificationArea area_;
  testing::ScriptedChooser chooser_;
  std::unique_ptr<testing::Program> program_;

  MainWindow& window() { return *program_->window; }
  QtTrayWindow& tray_window() { return *window().findChild<QtTrayWindow*>(); }

  void open_window() {
    program_ = std::make_unique<testing::Program>(&chooser_, &area_);
    QVERIFY(window().open());
    window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
  }

  // What the notification area sends when the operator uses the mouse on the icon.
  void mouse_on_icon(uint32_t mouse) {
    tray_window().send(message::kTrayCallback, app::kTrayIconId, mouse);
    drain();
  }

  void minimise() {
    window().showMinimized();
    drain();
  }

  bool icon_shown() const { return area_.shown.has_value(); }

 private slots:
  void init() {
    dir_ = std::make_unique<testing::ScratchDirectory>();
    QVERIFY(dir_->valid());
    area_ = FakeNotificationArea();
  }

  void cleanup() {
    program_.reset();
    dir_.reset();
  }

  void minimising_sends_the_window_to_the_tray_and_a_double_click_brings_it_back() {
    open_window();
    QVERIFY(!icon_shown());
    minimise();
    QVERIFY(icon_shown());
    QCOMPARE(std::string(area_.shown->tooltip), testing::cp("Орвель"));
    QCOMPARE(area_.shown->hwnd, tray_window().handle());
    QVERIFY(area_.shown->hicon != 0);
    QCOMPARE(area_.loads.back().name, std::string("Security_ico"));
    QVERIFY(!window().isVisible());

    // Single clicks and the right button leave it there.
    for (uint32_t mouse :
         {message::kLeftButtonUp, message::kRightButtonUp, message::kRightButtonDoubleClick,
          message::kLeftButtonDown, message::kMouseMove}) {
      mouse_on_icon(mouse);
      QVERIFY2(!window().isVisible(), qPrintable(QString::number(mouse, 16)));
      QVERIFY(icon_shown());
    }

    mouse_on_icon(message::kLeftButtonDoubleClick);
    QVERIFY(window().isVisible());
    QVERIFY(!window().isMinimized());
    QVERIFY(!icon_shown());

    // And once more: the window goes to the tray again.
    minimise();
    QVERIFY(icon_shown());
    QVERIFY(!window().isVisible());
  }

  void closing_while_on_the_tray_leaves_no_icon() {
    open_window();
    minimise();
    QVERIFY(icon_shown());
    window().close();
    QVERIFY(!icon_shown());
    QVERIFY(!window().isVisible());
    QCOMPARE(program_->passports.use_count(), 0);
  }

  void the_end_of_the_session_closes_the_program() {
    open_window();
    minimise();
    QVERIFY(tray_window().session_ending());
    drain();
    QVERIFY(!window().isVisible());
    QVERIFY(!icon_shown());
    QCOMPARE(program_->passports.use_count(), 0);
    // Closed as by "Закрыть": the position was stored, of the window shown again first.
    QCOMPARE(platform::get_profile_string(dir_->ini_path(), "Main", "Minimize", "-"),
             std::string("No"));
    QVERIFY(platform::get_profile_string(dir_->ini_path(), "Main", "XPos", "-") != "-");
  }

  void losing_the_activation_does_not_send_the_window_to_the_tray() {
    open_window();
    tray_window().application_state_changed(Qt::ApplicationInactive);
    drain();
    tray_window().application_state_changed(Qt::ApplicationActive);
    drain();
    QVERIFY(window().isVisible());
    QVERIFY(!icon_shown());
  }

  void without_a_notification_area_the_window_stays() {
    area_.fail_add = true;
    open_window();
    minimise();
    QVERIFY(window().isVisible());
    QVERIFY(window().isMinimized());
    QVERIFY(!icon_shown());
    // The window can still be brought back and minimised again.
    window().showNormal();
    minimise();
    QVERIFY(window().isVisible());
    QVERIFY(area_.calls.size() >= 2);
    for (const auto& call : area_.calls) QCOMPARE(call.op, FakeNotificationArea::Op::kAdd);
  }

  void a_close_while_an_import_waits_in_its_dialog_comes_after_the_import() {
    // The session ends while the import's file dialog is up.
    struct EndingChooser : testing::ScriptedChooser {
      bool choose_open(std::string_view, std::string_view, app::ImportFileName&) override {
        tray->session_ending();
        drain();
        open_in_dialog = window->isVisible() && passports->use_count() == 1;
        return false;
      }
      QtTrayWindow* tray = nullptr;
      QWidget* window = nullptr;
      app::PassportFile* passports = nullptr;
      bool open_in_dialog = false;
    };
    EndingChooser ending;
    program_ = std::make_unique<testing::Program>(&ending, &area_);
    QVERIFY(window().open());
    window().show();
    ending.tray = &tray_window();
    ending.window = &window();
    ending.passports = &program_->passports;
    window().import_updates();
    QVERIFY(ending.open_in_dialog);
    QVERIFY(!window().isVisible());
    QCOMPARE(program_->passports.use_count(), 0);
  }
};

}  // namespace
}  // namespace orvel::windows

QTEST_MAIN(orvel::windows::MainWindowTrayTest)
#include "main_window_tray_test.moc"
