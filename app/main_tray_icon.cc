#include "app/main_tray_icon.h"

namespace orvel::app {

void MainTrayIcon::LeftDoubleClick() {
  TrayIcon::LeftDoubleClick();
  if (main_window()) main_window()->post({platform::WindowEvent::Kind::kMaximizeRequest});
}

}  // namespace orvel::app
