// The main window's tray icon in a real notification area: trayer on a virtual X screen
// (run_with_tray_host.sh starts both). Minimising puts the icon into the host and hides the
// window; a double-click on the icon, as the host delivers it, brings the window back and
// takes the icon away.
#include <QApplication>
#include <QSystemTrayIcon>
#include <QtTest>
#include <cstdlib>
#include <memory>

#include "app/windows/main_window.h"
#include "app/windows/tests/window_fixture.h"

namespace orvel::windows {
namespace {

// The widget through which Qt shows a tray icon in an X notification area.
QWidget* tray_icon_widget() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (qstrcmp(widget->metaObject()->className(), "QSystemTrayIconSys") == 0 &&
        widget->isVisible()) {
      return widget;
    }
  }
  return nullptr;
}

class TrayHostTest : public QObject {
  Q_OBJECT

 private slots:
  void the_icon_lives_in_the_host_and_a_double_click_brings_the_window_back() {
    if (!std::getenv("ORVEL_TRAY_HOST")) QSKIP("needs run_with_tray_host.sh");
    // trayer takes the notification area's selection a moment after it starts.
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);

    testing::ScratchDirectory dir;
    QVERIFY(dir.valid());
    testing::ScriptedChooser chooser;
    testing::Program program(&chooser);  // the desktop's own notification area
    MainWindow& window = *program.window;
    QVERIFY(window.open());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(tray_icon_widget(), nullptr);

    window.showMinimized();
    QTRY_VERIFY(tray_icon_widget() != nullptr);
    QVERIFY(!window.isVisible());
    QWidget* icon = tray_icon_widget();
    // Embedded: the host gave the icon a place of its own on the screen.
    QTRY_VERIFY(icon->windowHandle() && icon->windowHandle()->isExposed());
    QCOMPARE(icon->toolTip(), QString::fromUtf8("Орвель"));

    QTest::mouseDClick(icon, Qt::LeftButton);
    QTRY_VERIFY(window.isVisible());
    QTRY_COMPARE(tray_icon_widget(), nullptr);
    // And it stays: the window system's own report of the state does not send it back.
    QTest::qWait(500);
    QVERIFY(window.isVisible());
    QVERIFY(!window.isMinimized());
    QCOMPARE(tray_icon_widget(), nullptr);

    window.close();
  }
};

}  // namespace
}  // namespace orvel::windows

QTEST_MAIN(orvel::windows::TrayHostTest)
#include "tray_host_test.moc"
