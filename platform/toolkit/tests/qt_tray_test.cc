// The toolkit's tray parts without a notification area (the offscreen platform has none):
// the window adapter's messages, queue and procedure slot, and the notification area's
// refusals.
#include <QApplication>
#include <QWidget>
#include <QtTest>
#include <vector>

#include "platform/toolkit/qt_notification_area.h"
#include "platform/toolkit/qt_tray_window.h"
#include "platform/window_messages.h"

namespace orvel::platform::toolkit {
namespace {

namespace message = window_message;

struct Delivered {
  uint32_t message;
  uintptr_t first;
};
std::vector<Delivered> g_delivered;
intptr_t g_answer = 0;

intptr_t recording_procedure(TrayWindow&, uint32_t msg, uintptr_t first, intptr_t) {
  g_delivered.push_back({msg, first});
  return g_answer;
}

void drain() {
  for (int round = 0; round < 5; ++round) QCoreApplication::processEvents();
}

class QtTrayTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    g_delivered.clear();
    g_answer = 0;
  }

  void the_ordinary_procedure_allows_the_end_of_the_session() {
    QWidget widget;
    QtTrayWindow window(&widget);
    QCOMPARE(window.send(message::kQueryEndSession, 0, 0), intptr_t{1});
    QCOMPARE(window.send(message::kTrayCallback, 1, message::kLeftButtonUp), intptr_t{0});
    QVERIFY(window.session_ending());
  }

  void messages_reach_the_procedure_in_the_slot() {
    QWidget widget;
    QtTrayWindow window(&widget);
    window.set_window_procedure(&recording_procedure);

    // A refused query cancels the ending and sends no end notice.
    g_answer = 0;
    QVERIFY(!window.session_ending());
    QCOMPARE(g_delivered.size(), size_t{1});
    QCOMPARE(g_delivered[0].message, message::kQueryEndSession);
    g_answer = 1;
    QVERIFY(window.session_ending());
    QCOMPARE(g_delivered.size(), size_t{3});
    QCOMPARE(g_delivered[2].message, message::kEndSession);
    QCOMPARE(g_delivered[2].first, uintptr_t{1});

    // One message per change of the activation, and none for a repeated state.
    g_delivered.clear();
    window.application_state_changed(Qt::ApplicationInactive);
    window.application_state_changed(Qt::ApplicationInactive);
    window.application_state_changed(Qt::ApplicationActive);
    QCOMPARE(g_delivered.size(), size_t{2});
    QCOMPARE(g_delivered[0].message, message::kActivateApp);
    QCOMPARE(g_delivered[0].first, uintptr_t{0});
    QCOMPARE(g_delivered[1].first, uintptr_t{1});
  }

  void posted_events_and_the_minimising_arrive_later_in_order() {
    QWidget widget;
    QtTrayWindow window(&widget);
    std::vector<WindowEvent::Kind> seen;
    window.set_event_handler([&](const WindowEvent& event) { seen.push_back(event.kind); });
    window.post({WindowEvent::Kind::kNotification, 1635, 1});
    window.post({WindowEvent::Kind::kMaximizeRequest});
    QVERIFY(seen.empty());  // never at once
    drain();
    QCOMPARE(seen, (std::vector<WindowEvent::Kind>{WindowEvent::Kind::kNotification,
                                                   WindowEvent::Kind::kMaximizeRequest}));

    seen.clear();
    widget.show();
    widget.showMinimized();
    drain();
    QCOMPARE(seen, std::vector<WindowEvent::Kind>{WindowEvent::Kind::kMinimized});

    // Shown again, the window is no longer minimised.
    window.show();
    QVERIFY(widget.isVisible());
    QVERIFY(!widget.isMinimized());
  }

  void handles_are_unique_and_found_while_the_adapter_lives() {
    QWidget first_widget;
    auto* first = new QtTrayWindow(&first_widget);
    uint32_t first_handle = first->handle();
    {
      QWidget second_widget;
      QtTrayWindow second(&second_widget);
      QVERIFY(first_handle != 0);
      QVERIFY(second.handle() != first_handle);
      QCOMPARE(QtTrayWindow::find(second.handle()), &second);
    }
    QCOMPARE(QtTrayWindow::find(first_handle), first);
    delete first;
    QCOMPARE(QtTrayWindow::find(first_handle), nullptr);
  }

  void without_a_notification_area_icons_are_refused() {
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    QWidget widget;
    QtTrayWindow window(&widget);
    QtNotificationArea area;
    NotifyIconData data{};
    data.cbsize = sizeof data;
    data.hwnd = window.handle();
    data.uid = 1;
    data.uflags = notify_flag::kIcon | notify_flag::kTip | notify_flag::kMessage;
    QVERIFY(!area.add_icon(data));
    QVERIFY(!area.modify_icon(data));
    QVERIFY(!area.delete_icon(data));
    QCOMPARE(area.shown_icon(data.hwnd, 1), nullptr);
    QCOMPARE(area.load_icon("No_such_ico", 16, 16), uint32_t{0});
  }
};

}  // namespace
}  // namespace orvel::platform::toolkit

QTEST_MAIN(orvel::platform::toolkit::QtTrayTest)
#include "qt_tray_test.moc"
