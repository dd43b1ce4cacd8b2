#include "platform/toolkit/qt_notification_area.h"

#include <cstring>

#include "platform/toolkit/program_icons.h"
#include "platform/toolkit/qt_text.h"
#include "platform/toolkit/qt_tray_window.h"
#include "platform/window_messages.h"

namespace orvel::platform::toolkit {
namespace {

namespace message = window_message;

uint32_t mouse_message(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      return message::kLeftButtonUp;
    case QSystemTrayIcon::DoubleClick:
      return message::kLeftButtonDoubleClick;
    case QSystemTrayIcon::Context:
      return message::kRightButtonUp;
    default:
      return 0;
  }
}

}  // namespace

QtNotificationArea::QtNotificationArea() = default;
QtNotificationArea::~QtNotificationArea() = default;

void QtNotificationArea::take(QSystemTrayIcon& icon, const NotifyIconData& data) {
  if (data.uflags & notify_flag::kIcon) {
    const bool known = data.hicon > 0 && data.hicon <= images_.size();
    icon.setIcon(known ? images_[data.hicon - 1] : QIcon());
  }
  if (data.uflags & notify_flag::kTip) {
    icon.setToolTip(
        to_qt(std::string_view(data.tooltip, strnlen(data.tooltip, sizeof data.tooltip))));
  }
}

bool QtNotificationArea::add_icon(const NotifyIconData& data) {
  const auto key = std::make_pair(data.hwnd, data.uid);
  if (!QSystemTrayIcon::isSystemTrayAvailable() || icons_.count(key) != 0) return false;
  if (!QtTrayWindow::find(data.hwnd)) return false;
  auto icon = std::make_unique<QSystemTrayIcon>();
  take(*icon, data);
  if (data.uflags & notify_flag::kMessage) {
    const uint32_t hwnd = data.hwnd;
    const uint32_t uid = data.uid;
    const uint32_t callback = data.ucbmessage;
    QObject::connect(icon.get(), &QSystemTrayIcon::activated, icon.get(),
                     [hwnd, uid, callback](QSystemTrayIcon::ActivationReason reason) {
                       const uint32_t mouse = mouse_message(reason);
                       QtTrayWindow* window = QtTrayWindow::find(hwnd);
                       if (mouse != 0 && window) window->send(callback, uid, mouse);
                     });
  }
  icon->show();
  icons_[key] = std::move(icon);
  return true;
}

bool QtNotificationArea::modify_icon(const NotifyIconData& data) {
  auto it = icons_.find({data.hwnd, data.uid});
  if (it == icons_.end()) return false;
  take(*it->second, data);
  return true;
}

bool QtNotificationArea::delete_icon(const NotifyIconData& data) {
  auto it = icons_.find({data.hwnd, data.uid});
  if (it == icons_.end()) return false;
  it->second->hide();
  icons_.erase(it);
  return true;
}

uint32_t QtNotificationArea::load_icon(std::string_view resource_name, int width, int height) {
  const QIcon icon = program_icon(resource_name);
  if (icon.isNull()) return 0;
  images_.emplace_back(icon.pixmap(width, height));
  return static_cast<uint32_t>(images_.size());
}

QSystemTrayIcon* QtNotificationArea::shown_icon(uint32_t hwnd, uint32_t uid) const {
  auto it = icons_.find({hwnd, uid});
  return it == icons_.end() ? nullptr : it->second.get();
}

}  // namespace orvel::platform::toolkit
