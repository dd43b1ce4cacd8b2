// The tray icon of the main window: a left double-click on the icon brings the window back.
//
// The double-click posts a maximise request to the window, which TrayIcon::TakeEvent answers
// with FromTray(); everything else is TrayIcon's.
#pragma once

#include "app/tray_icon.h"

namespace orvel::app {

// The main window's icon resource and its tooltip "Орвель" (code page 1251).
inline constexpr char kMainWindowIconName[] = "Security.ico";
inline constexpr char kMainWindowTip[] = "\xCE\xF0\xE2\xE5\xEB\xFC";

class MainTrayIcon : public TrayIcon {
 public:
  using TrayIcon::TrayIcon;

  // Init as the main window does it when it opens: shutdown and the tray allowed, the
  // window's own icon and the program's name as the tip.
  void init_main_window(platform::TrayWindow& window) {
    Init(window, /*allow_shutdown=*/true, /*allow_tray_icon=*/true, /*without_tip=*/false,
         kMainWindowIconName, kMainWindowTip);
  }

  void LeftDoubleClick() override;
};

}  // namespace orvel::app
