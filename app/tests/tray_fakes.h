// Fakes of the notification area and of a window for the tray icon tests.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/tray_icon.h"
#include "platform/notification_area.h"
#include "platform/tray_window.h"

namespace orvel::app::testing {

using platform::NotifyIconData;
using platform::TrayWindow;
using platform::WindowEvent;

// Records every call and keeps the icon that is shown, as a desktop would.
class FakeNotificationArea : public platform::NotificationArea {
 public:
  enum class Op { kAdd, kModify, kDelete };
  struct Call {
    Op op;
    NotifyIconData data;
  };

  bool add_icon(const NotifyIconData& data) override {
    calls.push_back({Op::kAdd, data});
    if (fail_add || shown) return false;
    shown = data;
    return true;
  }
  bool modify_icon(const NotifyIconData& data) override {
    calls.push_back({Op::kModify, data});
    if (!shown) return false;
    shown->hicon = data.hicon;
    std::copy(std::begin(data.tooltip), std::end(data.tooltip), shown->tooltip);
    return true;
  }
  bool delete_icon(const NotifyIconData& data) override {
    calls.push_back({Op::kDelete, data});
    bool had = shown.has_value();
    shown.reset();
    return had;
  }
  uint32_t load_icon(std::string_view name, int width, int height) override {
    loads.push_back({std::string(name), width, height});
    auto it = icons.find(std::string(name));
    return it == icons.end() ? 0 : it->second;
  }

  struct Load {
    std::string name;
    int width, height;
  };

  bool fail_add = false;
  std::map<std::string, uint32_t> icons = {{"Security_ico", 7}};
  std::vector<Call> calls;
  std::vector<Load> loads;
  std::optional<NotifyIconData> shown;
};

// A window whose queue the test pumps into TakeEvent. Its own procedure records the
// messages that reach it and answers kOwnAnswer.
class FakeWindow : public TrayWindow {
 public:
  static constexpr intptr_t kOwnAnswer = 42;

  explicit FakeWindow(uint32_t handle = 0x1234) : handle_(handle) {}

  uint32_t handle() const override { return handle_; }
  void show() override { visible = true; }
  void hide() override { visible = active = false; }
  void activate() override { active = true; }
  void restore() override { minimized = false; }
  void post(const WindowEvent& event) override {
    queue.push_back(event);
    posted.push_back(event);
  }
  platform::WindowProcedure window_procedure() const override { return procedure; }
  void set_window_procedure(platform::WindowProcedure p) override { procedure = p; }

  // Delivers a window message through the procedure slot, as the window layer does.
  intptr_t send(uint32_t message, uintptr_t first = 0, intptr_t second = 0) {
    return procedure(*this, message, first, second);
  }
  // Hands queued events to the tray until the queue is empty; a close-down request closes
  // the window.
  void pump(TrayIcon& tray) {
    while (!queue.empty()) {
      WindowEvent event = queue.front();
      queue.pop_front();
      if (event.kind == WindowEvent::Kind::kCloseDownRequest) {
        close(tray);
      } else {
        tray.TakeEvent(event);
      }
    }
  }
  void minimize(TrayIcon& tray) {
    minimized = true;
    tray.TakeEvent({WindowEvent::Kind::kMinimized});
    pump(tray);
  }
  void close(TrayIcon& tray) {
    tray.TakeEvent({WindowEvent::Kind::kClosing});
    closed = true;
  }
  bool was_posted(WindowEvent::Kind kind, int code = 0) const {
    for (const WindowEvent& e : posted) {
      if (e.kind == kind && e.code == code) return true;
    }
    return false;
  }

  static intptr_t own_procedure(TrayWindow& window, uint32_t message, uintptr_t, intptr_t) {
    static_cast<FakeWindow&>(window).own_messages.push_back(message);
    return kOwnAnswer;
  }

  bool visible = true;
  bool active = true;
  bool minimized = false;
  bool closed = false;
  std::deque<WindowEvent> queue;
  std::vector<WindowEvent> posted;
  std::vector<uint32_t> own_messages;
  platform::WindowProcedure procedure = &FakeWindow::own_procedure;

 private:
  uint32_t handle_;
};

}  // namespace orvel::app::testing
