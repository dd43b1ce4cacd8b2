#include "app/tray_icon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_tray_icon.h"
#include "app/tests/tray_fakes.h"
#include "platform/window_messages.h"

namespace orvel::app {
namespace {

using platform::WindowEvent;
using testing::FakeNotificationArea;
using testing::FakeWindow;
namespace msg = platform::window_message;
namespace flag = platform::notify_flag;
using Op = FakeNotificationArea::Op;

// "Орвель" in code page 1251.
const std::string kTip = "\xCE\xF0\xE2\xE5\xEB\xFC";

// The main window with its tray icon, set up as the window does it when it opens.
class MainTrayTest : public ::testing::Test {
 protected:
  void SetUp() override { tray_.init_main_window(window_); }

  void click(uint32_t mouse_message) {
    EXPECT_EQ(window_.send(msg::kTrayCallback, kTrayIconId, mouse_message), 0);
    window_.pump(tray_);
  }

  FakeNotificationArea area_;
  FakeWindow window_;
  MainTrayIcon tray_{area_};
};

TEST_F(MainTrayTest, MinimisingSendsTheWindowToTheTray) {
  EXPECT_EQ(tray_.icon_name(), "Security_ico");
  EXPECT_EQ(tray_.tooltip(), kTip);
  window_.minimize(tray_);

  EXPECT_TRUE(tray_.on_tray());
  EXPECT_FALSE(window_.visible);
  EXPECT_FALSE(window_.active);
  ASSERT_TRUE(area_.shown);
  const platform::NotifyIconData& nid = *area_.shown;
  EXPECT_EQ(nid.cbsize, 88u);
  EXPECT_EQ(nid.hwnd, 0x1234u);
  EXPECT_EQ(nid.uid, 1u);
  EXPECT_EQ(nid.uflags, flag::kTip | flag::kIcon | flag::kMessage);
  EXPECT_EQ(nid.ucbmessage, 0x660u);
  EXPECT_EQ(nid.hicon, 7u);
  EXPECT_EQ(std::string(nid.tooltip), kTip);

  window_.minimize(tray_);
  EXPECT_EQ(area_.calls.size(), 1u) << "a window on the tray is not added twice";
}

TEST_F(MainTrayTest, LeftDoubleClickBringsTheWindowBack) {
  window_.minimize(tray_);
  // The high half of the second parameter carries other information on some systems.
  click(0x00050000 | msg::kLeftButtonDoubleClick);

  EXPECT_TRUE(window_.was_posted(WindowEvent::Kind::kNotification, 1635));
  EXPECT_EQ(window_.posted.front().value, kTrayIconId) << "the first parameter is the value";
  EXPECT_TRUE(window_.was_posted(WindowEvent::Kind::kMaximizeRequest));
  EXPECT_FALSE(tray_.on_tray());
  EXPECT_TRUE(window_.visible);
  EXPECT_TRUE(window_.active);
  EXPECT_FALSE(window_.minimized);
  EXPECT_FALSE(area_.shown);
  ASSERT_EQ(area_.calls.size(), 2u);
  EXPECT_EQ(area_.calls[1].op, Op::kDelete);
  EXPECT_EQ(area_.calls[1].data.uflags, flag::kTip | flag::kIcon | flag::kMessage);

  window_.minimize(tray_);
  EXPECT_TRUE(tray_.on_tray()) << "and it can go to the tray again";
}

TEST_F(MainTrayTest, OtherMouseActionsLeaveTheWindowOnTheTray) {
  window_.minimize(tray_);
  for (uint32_t mouse : {msg::kLeftButtonUp, msg::kRightButtonUp, msg::kRightButtonDoubleClick,
                         msg::kMouseMove, msg::kLeftButtonDown, msg::kRightButtonDown}) {
    click(mouse);
    EXPECT_TRUE(tray_.on_tray()) << mouse;
    EXPECT_FALSE(window_.visible) << mouse;
  }
  EXPECT_EQ(area_.calls.size(), 1u);
  EXPECT_FALSE(window_.was_posted(WindowEvent::Kind::kMaximizeRequest));
}

TEST_F(MainTrayTest, ClosingWhileOnTheTrayLeavesNoIcon) {
  window_.minimize(tray_);
  window_.close(tray_);
  EXPECT_FALSE(area_.shown);
  EXPECT_FALSE(tray_.on_tray());
  EXPECT_TRUE(window_.visible);

  // Closing when not on the tray touches no icon.
  FakeNotificationArea area;
  FakeWindow window;
  MainTrayIcon tray(area);
  tray.init_main_window(window);
  window.close(tray);
  EXPECT_TRUE(area.calls.empty());
}

TEST_F(MainTrayTest, EndOfSessionClosesTheProgramDown) {
  window_.minimize(tray_);
  EXPECT_EQ(window_.send(msg::kQueryEndSession), 1) << "the log-off is allowed";
  EXPECT_TRUE(tray_.on_shutdown());
  EXPECT_EQ(window_.send(msg::kEndSession, 1), 1);
  window_.pump(tray_);
  EXPECT_TRUE(window_.was_posted(WindowEvent::Kind::kNotification, 514));
  EXPECT_TRUE(window_.was_posted(WindowEvent::Kind::kCloseDownRequest));
  EXPECT_TRUE(window_.closed);
  EXPECT_FALSE(area_.shown) << "no icon is left behind";
  EXPECT_TRUE(window_.own_messages.empty());
}

TEST_F(MainTrayTest, AnEndingCalledOffIsNotASessionEnd) {
  EXPECT_EQ(window_.send(msg::kEndSession, 0), FakeWindow::kOwnAnswer);
  window_.pump(tray_);
  EXPECT_FALSE(window_.closed);
  EXPECT_TRUE(window_.posted.empty());
}

TEST_F(MainTrayTest, DeactivationDoesNotSendTheWindowToTheTray) {
  EXPECT_FALSE(tray_.to_tray_on_lose_focus());
  EXPECT_EQ(window_.send(msg::kActivateApp, 0), 1);
  EXPECT_TRUE(window_.own_messages.empty()) << "the deactivation is not passed on";
  window_.pump(tray_);
  EXPECT_TRUE(window_.was_posted(WindowEvent::Kind::kNotification, 517));
  EXPECT_FALSE(tray_.on_tray());
  EXPECT_TRUE(window_.visible);
  EXPECT_TRUE(area_.calls.empty());

  EXPECT_EQ(window_.send(msg::kActivateApp, 1), FakeWindow::kOwnAnswer) << "activation";
}

TEST_F(MainTrayTest, OtherMessagesGoToTheWindowsOwnProcedure) {
  for (uint32_t message : {0x000Fu, 0x0010u, 0x0200u, 0x0661u}) {
    EXPECT_EQ(window_.send(message, 3, 4), FakeWindow::kOwnAnswer);
  }
  EXPECT_EQ(window_.own_messages, (std::vector<uint32_t>{0x000F, 0x0010, 0x0200, 0x0661}));
}

TEST_F(MainTrayTest, WithoutANotificationAreaTheWindowStaysVisible) {
  area_.fail_add = true;
  window_.minimize(tray_);
  EXPECT_FALSE(tray_.on_tray());
  EXPECT_TRUE(window_.visible);
  EXPECT_TRUE(window_.was_posted(WindowEvent::Kind::kMaximizeRequest));
  EXPECT_FALSE(area_.shown);
  ASSERT_EQ(area_.calls.size(), 1u) << "the maximise request touches no icon";
}

TEST_F(MainTrayTest, TipAndIconChangesReachAShownIcon) {
  const std::string long_tip(100, 'x');
  tray_.SetTip(long_tip);
  EXPECT_EQ(tray_.tooltip(), long_tip.substr(0, 63));
  EXPECT_TRUE(area_.calls.empty()) << "nothing is shown yet";

  window_.minimize(tray_);
  EXPECT_EQ(std::string(area_.shown->tooltip), long_tip.substr(0, 63));
  tray_.SetTip(kTip);
  tray_.SetIcon("Other.ico");
  ASSERT_EQ(area_.calls.size(), 3u);
  EXPECT_EQ(area_.calls[1].op, Op::kModify);
  EXPECT_EQ(area_.calls[1].data.uflags, flag::kTip | flag::kIcon);
  EXPECT_EQ(std::string(area_.shown->tooltip), kTip);
  EXPECT_EQ(area_.shown->hicon, 0u) << "an unknown icon is shown without an image";
}

TEST(TrayIconTest, IconNameRule) {
  const std::pair<std::string, std::string> cases[] = {
      {"Security.ico", "Security_ico"},
      {"x.bmp", "x_bmp"},
      {".ico", "_ico"},
      {"a.b", "a.b"},
      {"file.jpeg", "file.jpeg"},
      {"Security.ico.", "Security.ico."},
      {"", ""},
  };
  for (const auto& [name, resource] : cases) {
    FakeNotificationArea area;
    TrayIcon tray(area);
    tray.SetIcon(name);
    EXPECT_EQ(tray.icon_name(), resource) << name;
    ASSERT_EQ(area.loads.size(), 1u);
    EXPECT_EQ(area.loads[0].name, resource);
    EXPECT_EQ(area.loads[0].width, 16);
    EXPECT_EQ(area.loads[0].height, 16);
    EXPECT_EQ(tray.icon_handle(), resource == "Security_ico" ? 7u : 0u) << name;
  }
  FakeNotificationArea area;
  TrayIcon tray(area);
  tray.SetIcon(std::string(300, 'n') + ".ico");
  EXPECT_EQ(tray.icon_name(), std::string(127, 'n')) << "the name is cut to its field";
}

// Records which mouse operation ran, and answers the session query as told.
class RecordingTrayIcon : public TrayIcon {
 public:
  using TrayIcon::TrayIcon;
  void LeftClick() override { calls.push_back("LeftClick"); }
  void RightClick() override { calls.push_back("RightClick"); }
  void LeftDoubleClick() override { calls.push_back("LeftDoubleClick"); }
  void RightDoubleClick() override { calls.push_back("RightDoubleClick"); }
  bool QueryShutdown() override { return allow_end; }

  std::vector<std::string> calls;
  bool allow_end = true;
};

TEST(TrayIconTest, MouseMessagesReachTheirOperationsOnlyOnTheTray) {
  const std::pair<uint32_t, const char*> cases[] = {
      {msg::kLeftButtonUp, "LeftClick"},
      {msg::kRightButtonUp, "RightClick"},
      {msg::kLeftButtonDoubleClick, "LeftDoubleClick"},
      {msg::kRightButtonDoubleClick, "RightDoubleClick"},
  };
  for (const auto& [mouse, operation] : cases) {
    FakeNotificationArea area;
    FakeWindow window;
    RecordingTrayIcon tray(area);
    tray.Init(window, true, true, false, "Security.ico", kTip);
    window.send(msg::kTrayCallback, kTrayIconId, mouse);
    window.pump(tray);
    EXPECT_TRUE(tray.calls.empty()) << operation << " while the window is shown";

    window.minimize(tray);
    window.send(msg::kTrayCallback, kTrayIconId, mouse);
    window.pump(tray);
    EXPECT_EQ(tray.calls, std::vector<std::string>{operation});
  }
}

TEST(TrayIconTest, SessionQueriesFollowTheFlags) {
  struct Case {
    bool allow_shutdown;
    bool allow_end;
    intptr_t query, end;
  };
  const Case cases[] = {{true, true, 1, 1}, {true, false, 0, 1}, {false, true, 0, 0}};
  for (const Case& c : cases) {
    FakeNotificationArea area;
    FakeWindow window;
    RecordingTrayIcon tray(area);
    tray.allow_end = c.allow_end;
    tray.Init(window, c.allow_shutdown, true, false, "Security.ico", kTip);
    EXPECT_EQ(window.send(msg::kQueryEndSession), c.query);
    EXPECT_EQ(tray.on_shutdown(), c.allow_shutdown && c.allow_end);
    EXPECT_EQ(window.send(msg::kEndSession, 1), c.end);
    EXPECT_EQ(window.was_posted(WindowEvent::Kind::kNotification, 514), c.allow_shutdown);
    EXPECT_TRUE(window.own_messages.empty());
  }
}

TEST(TrayIconTest, TrayNotAllowed) {
  FakeNotificationArea area;
  FakeWindow window;
  TrayIcon tray(area);
  tray.Init(window, true, /*allow_tray_icon=*/false, /*without_tip=*/true, "Security.ico", kTip);
  EXPECT_EQ(tray.tooltip(), "");
  window.minimize(tray);
  EXPECT_FALSE(tray.on_tray());
  EXPECT_TRUE(area.calls.empty());
  EXPECT_TRUE(window.was_posted(WindowEvent::Kind::kMaximizeRequest));
}

TEST(TrayIconTest, NestedInstancesOnTwoWindows) {
  FakeNotificationArea area;
  FakeWindow outer_window(1), inner_window(2);
  MainTrayIcon outer(area), inner(area);
  outer.init_main_window(outer_window);
  inner.init_main_window(inner_window);
  EXPECT_EQ(TrayIcon::current(), &inner);
  EXPECT_EQ(inner.previous(), &outer);
  EXPECT_EQ(outer.previous(), nullptr);
  EXPECT_EQ(outer_window.procedure, &TrayIcon::TrayWindowProcedure);

  // Each window is served by its own instance, not by the current one.
  outer_window.minimize(outer);
  EXPECT_EQ(area.shown->hwnd, 1u);
  outer_window.send(msg::kTrayCallback, kTrayIconId, msg::kLeftButtonDoubleClick);
  EXPECT_TRUE(inner_window.posted.empty());
  outer_window.pump(outer);
  EXPECT_TRUE(outer_window.visible);
  EXPECT_EQ(outer_window.send(0x000F), FakeWindow::kOwnAnswer);
  EXPECT_EQ(outer_window.own_messages, std::vector<uint32_t>{0x000F});
  EXPECT_TRUE(inner_window.own_messages.empty());

  inner.Kill();
  EXPECT_EQ(TrayIcon::current(), &outer);
  EXPECT_EQ(inner_window.procedure, &FakeWindow::own_procedure);
  EXPECT_EQ(outer_window.procedure, &TrayIcon::TrayWindowProcedure);
  inner.Kill();
  EXPECT_EQ(TrayIcon::current(), &outer) << "a second Kill does nothing";
  outer.Kill();
  EXPECT_EQ(TrayIcon::current(), nullptr);
  EXPECT_EQ(outer_window.procedure, &FakeWindow::own_procedure);
}

TEST(TrayIconTest, KillingOutOfOrderKeepsTheChain) {
  FakeNotificationArea area;
  FakeWindow window_a(1), window_b(2);
  TrayIcon a(area), b(area), c(area);
  a.Init(window_a, true, true, false, "Security.ico", kTip);
  b.Init(window_b, true, true, false, "Security.ico", kTip);
  c.Init(window_a, true, true, false, "Security.ico", kTip);  // a second one on window A

  EXPECT_EQ(window_a.send(0x000F), FakeWindow::kOwnAnswer) << "passed on once, no loop";
  EXPECT_EQ(window_a.own_messages.size(), 1u);

  a.Kill();  // the older instance of window A goes first
  EXPECT_EQ(TrayIcon::current(), &c);
  EXPECT_EQ(c.previous(), &b);
  EXPECT_EQ(b.previous(), nullptr);
  EXPECT_EQ(window_a.procedure, &TrayIcon::TrayWindowProcedure) << "c still serves window A";
  EXPECT_EQ(window_a.send(0x000F), FakeWindow::kOwnAnswer);
  EXPECT_EQ(window_a.send(msg::kActivateApp, 0), 1);

  c.Kill();
  EXPECT_EQ(window_a.procedure, &FakeWindow::own_procedure);
  EXPECT_EQ(TrayIcon::current(), &b);
  b.Kill();
  EXPECT_EQ(TrayIcon::current(), nullptr);
  EXPECT_EQ(window_b.procedure, &FakeWindow::own_procedure);
}

TEST(TrayIconTest, DestructionUndoesInit) {
  FakeNotificationArea area;
  FakeWindow window;
  {
    MainTrayIcon tray(area);
    tray.init_main_window(window);
    window.minimize(tray);
    ASSERT_TRUE(area.shown);
  }
  EXPECT_EQ(TrayIcon::current(), nullptr);
  EXPECT_EQ(window.procedure, &FakeWindow::own_procedure);
  EXPECT_FALSE(area.shown) << "the icon goes with its object";
  EXPECT_TRUE(window.visible);
}

TEST(TrayIconTest, NothingHappensBeforeInit) {
  FakeNotificationArea area;
  TrayIcon tray(area);
  EXPECT_FALSE(tray.AddIcon());
  EXPECT_FALSE(tray.ToTray());
  tray.TakeEvent({WindowEvent::Kind::kMinimized});
  tray.Kill();
  EXPECT_TRUE(area.calls.empty());
  EXPECT_EQ(TrayIcon::current(), nullptr);
}

}  // namespace
}  // namespace orvel::app
