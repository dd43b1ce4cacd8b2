// The notification area on Qt: each icon added is a QSystemTrayIcon, named by the window
// handle and the identifier of its record.
//
// An icon can be added only where the desktop has a notification area
// (QSystemTrayIcon::isSystemTrayAvailable(); a bare X server has none) and only for a window
// that QtTrayWindow knows; adding an icon that is already there fails, as do changing and
// removing one that is not. The icon's mouse actions go to its window as the record's
// callback message, with the identifier as first and the mouse message in the low 16 bits
// of second: a click of the left button as kLeftButtonUp, a double-click as
// kLeftButtonDoubleClick, the context-menu request of the right button as kRightButtonUp.
//
// Icons are loaded from the program's resources (program_icons.h); a handle is a number
// from 1 that this object gives out. Icons still shown are removed when the object dies.
// Used on the windows' thread.
#pragma once

#include <QIcon>
#include <QSystemTrayIcon>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/notification_area.h"

namespace orvel::platform::toolkit {

class QtNotificationArea : public NotificationArea {
 public:
  QtNotificationArea();
  ~QtNotificationArea() override;
  QtNotificationArea(const QtNotificationArea&) = delete;
  QtNotificationArea& operator=(const QtNotificationArea&) = delete;

  bool add_icon(const NotifyIconData& data) override;
  bool modify_icon(const NotifyIconData& data) override;
  bool delete_icon(const NotifyIconData& data) override;
  uint32_t load_icon(std::string_view resource_name, int width, int height) override;

  // The icon shown for a window and identifier, or null.
  QSystemTrayIcon* shown_icon(uint32_t hwnd, uint32_t uid) const;

 private:
  void take(QSystemTrayIcon& icon, const NotifyIconData& data);

  std::map<std::pair<uint32_t, uint32_t>, std::unique_ptr<QSystemTrayIcon>> icons_;
  std::vector<QIcon> images_;  // handle n is images_[n - 1]
};

}  // namespace orvel::platform::toolkit
