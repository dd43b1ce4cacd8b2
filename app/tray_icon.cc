#include "app/tray_icon.h"

#include <algorithm>
#include <cstring>

#include "platform/window_messages.h"

namespace orvel::app {
namespace {

using platform::TrayWindow;
using platform::WindowEvent;
namespace message = platform::window_message;
namespace flag = platform::notify_flag;

// The head of this thread's chain of instances.
thread_local TrayIcon* t_current = nullptr;

// Copies at most N - 1 bytes of text and the terminating zero.
template <size_t N>
void store_text(std::array<char, N>& field, std::string_view text) {
  field.fill('\0');
  std::memcpy(field.data(), text.data(), std::min(text.size(), N - 1));
}

}  // namespace

TrayIcon::TrayIcon(platform::NotificationArea& area) : area_(area) {}

TrayIcon::~TrayIcon() {
  Kill();
}

void TrayIcon::LeftClick() {}
void TrayIcon::RightClick() {}
void TrayIcon::LeftDoubleClick() {}
void TrayIcon::RightDoubleClick() {}
bool TrayIcon::QueryShutdown() {
  return true;
}

TrayIcon* TrayIcon::current() {
  return t_current;
}

void TrayIcon::Init(TrayWindow& window, bool allow_shutdown, bool allow_tray_icon, bool without_tip,
                    std::string_view icon_name, std::string_view tip) {
  Kill();
  mainwindow_ = &window;
  allowshutdown_ = allow_shutdown;
  allowtrayicon_ = allow_tray_icon;
  totrayonlosefocus_ = false;
  prvwinext_ = t_current;
  t_current = this;
  origwndproc_ = window.window_procedure();
  window.set_window_procedure(&TrayWindowProcedure);
  bound_ = true;
  SetIcon(icon_name);
  if (!without_tip) SetTip(tip);
}

void TrayIcon::SetIcon(std::string_view name) {
  store_text(iconname_, name);
  size_t length = icon_name().size();
  if (length >= 4 && iconname_[length - 4] == '.') iconname_[length - 4] = '_';
  iconhandle_ = area_.load_icon(icon_name(), kTrayIconPixels, kTrayIconPixels);
  if (ontray_) ModifyIcon();
}

void TrayIcon::SetTip(std::string_view text) {
  store_text(tooltip_, text);
  if (ontray_) ModifyIcon();
}

bool TrayIcon::notify(bool (platform::NotificationArea::*call)(const platform::NotifyIconData&),
                      uint32_t flags) {
  if (!mainwindow_) return false;
  nid_ = {};
  nid_.cbsize = sizeof nid_;
  nid_.hwnd = mainwindow_->handle();
  nid_.uid = kTrayIconId;
  nid_.uflags = flags;
  nid_.ucbmessage = message::kTrayCallback;
  nid_.hicon = iconhandle_;
  static_assert(sizeof nid_.tooltip == std::tuple_size_v<decltype(tooltip_)>);
  std::memcpy(nid_.tooltip, tooltip_.data(), sizeof nid_.tooltip);
  return (area_.*call)(nid_);
}

bool TrayIcon::AddIcon() {
  return notify(&platform::NotificationArea::add_icon, flag::kTip | flag::kIcon | flag::kMessage);
}

bool TrayIcon::ModifyIcon() {
  return notify(&platform::NotificationArea::modify_icon, flag::kTip | flag::kIcon);
}

bool TrayIcon::DeleteIcon() {
  return notify(&platform::NotificationArea::delete_icon,
                flag::kTip | flag::kIcon | flag::kMessage);
}

bool TrayIcon::ToTray() {
  if (allowtrayicon_ && !ontray_) {
    if (AddIcon()) {
      mainwindow_->hide();
      ontray_ = true;
    } else {
      ontray_ = false;
    }
  }
  return ontray_;
}

void TrayIcon::FromTray() {
  if (!ontray_) return;
  ontray_ = false;
  DeleteIcon();
  mainwindow_->show();
  mainwindow_->activate();
  mainwindow_->restore();
}

void TrayIcon::post_notification(int code, uintptr_t value) {
  mainwindow_->post({WindowEvent::Kind::kNotification, code, value});
}

void TrayIcon::TakeEvent(const WindowEvent& event) {
  if (!mainwindow_) return;
  switch (event.kind) {
    case WindowEvent::Kind::kClosing:
      if (ontray_) {
        DeleteIcon();
        mainwindow_->show();
        mainwindow_->activate();
        ontray_ = false;
      }
      break;
    case WindowEvent::Kind::kNotification:
      if (ontray_) {
        switch (event.code) {
          case tray_notification::kLeftClick:
            LeftClick();
            break;
          case tray_notification::kRightClick:
            RightClick();
            break;
          case tray_notification::kLeftDoubleClick:
            LeftDoubleClick();
            break;
          case tray_notification::kRightDoubleClick:
            RightDoubleClick();
            break;
        }
      } else if (event.code == tray_notification::kDeactivated && totrayonlosefocus_) {
        ToTray();
      }
      if (event.code == tray_notification::kSessionEnds) {
        mainwindow_->post({WindowEvent::Kind::kCloseDownRequest});
      }
      break;
    case WindowEvent::Kind::kMaximizeRequest:
      if (ontray_) FromTray();
      break;
    case WindowEvent::Kind::kMinimized:
      if (!ToTray()) mainwindow_->post({WindowEvent::Kind::kMaximizeRequest});
      break;
    case WindowEvent::Kind::kCloseDownRequest:
      break;
  }
}

void TrayIcon::Kill() {
  if (!bound_) return;
  if (ontray_) {
    DeleteIcon();
    mainwindow_->show();
    ontray_ = false;
  }
  // The instance just above this one in the chain, and the nearest one above it that serves
  // the same window: that one calls this one's procedure, so it inherits this one's.
  TrayIcon* above = nullptr;
  TrayIcon* above_on_window = nullptr;
  for (TrayIcon* t = t_current; t && t != this; t = t->prvwinext_) {
    above = t;
    if (t->mainwindow_ == mainwindow_) above_on_window = t;
  }
  if (above_on_window && above_on_window->origwndproc_ == &TrayWindowProcedure) {
    above_on_window->origwndproc_ = origwndproc_;
  } else {
    mainwindow_->set_window_procedure(origwndproc_);
  }
  if (t_current == this) {
    t_current = prvwinext_;
  } else if (above && above->prvwinext_ == this) {
    above->prvwinext_ = prvwinext_;
  }
  prvwinext_ = nullptr;
  origwndproc_ = nullptr;
  bound_ = false;
}

intptr_t TrayIcon::TrayWindowProcedure(TrayWindow& window, uint32_t message, uintptr_t first,
                                       intptr_t second) {
  for (TrayIcon* t = t_current; t; t = t->prvwinext_) {
    if (t->mainwindow_ == &window) return t->handle_message(window, message, first, second);
  }
  return 0;
}

intptr_t TrayIcon::handle_message(TrayWindow& window, uint32_t msg, uintptr_t first,
                                  intptr_t second) {
  switch (msg) {
    case message::kTrayCallback: {
      int code = 0;
      switch (static_cast<uint32_t>(second) & 0xFFFF) {
        case message::kLeftButtonUp:
          code = tray_notification::kLeftClick;
          break;
        case message::kLeftButtonDoubleClick:
          code = tray_notification::kLeftDoubleClick;
          break;
        case message::kRightButtonUp:
          code = tray_notification::kRightClick;
          break;
        case message::kRightButtonDoubleClick:
          code = tray_notification::kRightDoubleClick;
          break;
      }
      if (code != 0) post_notification(code, first);
      return 0;
    }
    case message::kQueryEndSession:
      if (!allowshutdown_) return 0;
      onshutdown_ = QueryShutdown();
      return onshutdown_ ? 1 : 0;
    case message::kEndSession:
      if (first == 0) break;  // the ending was called off: nothing for us
      if (!allowshutdown_) return 0;
      post_notification(tray_notification::kSessionEnds, first);
      return 1;
    case message::kActivateApp:
      if (first != 0) break;
      post_notification(tray_notification::kDeactivated, first);
      return 1;
  }
  // A procedure that is the tray's own belongs to an older instance on this window.
  if (origwndproc_ == &TrayWindowProcedure) {
    for (TrayIcon* t = prvwinext_; t; t = t->prvwinext_) {
      if (t->mainwindow_ == &window) return t->handle_message(window, msg, first, second);
    }
    return 0;
  }
  return origwndproc_ ? origwndproc_(window, msg, first, second) : 0;
}

}  // namespace orvel::app
