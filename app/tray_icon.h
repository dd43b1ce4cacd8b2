// The tray icon of a window: when the window is minimised it leaves the task bar and an icon
// with a tooltip appears in the notification area; the icon's mouse actions come back to the
// object as virtual operations. The same object watches the end of the session, so that a
// log-off or shutdown asks the program to close down.
//
// Init() takes over the window's window-procedure slot with TrayWindowProcedure(), which
// turns tray and session messages into private notifications posted to the window's own
// queue; the window hands every event of its queue to TakeEvent(), which acts on them.
// Instances of one thread form a chain (current() and each one's previous()), so that windows
// of the thread can nest their tray objects; the procedure serves, for each window, the
// latest instance of the chain that was set up on it. Kill() undoes Init(); the destructor
// kills a live instance.
//
// The window and the notification area must outlive the object. An instance belongs to the
// thread that called Init() and must be used, killed and destroyed there. Names of
// operations and members follow the record of the tray object: members are its field names
// in lower case with a trailing underscore, in its order.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/notification_area.h"
#include "platform/tray_window.h"

namespace orvel::app {

// Private notification codes (WindowEvent::Kind::kNotification).
namespace tray_notification {
inline constexpr int kLeftClick = 1633;         // left button released on the icon
inline constexpr int kRightClick = 1634;        // right button released on the icon
inline constexpr int kLeftDoubleClick = 1635;   // left double-click on the icon
inline constexpr int kRightDoubleClick = 1636;  // right double-click on the icon
inline constexpr int kSessionEnds = 514;        // shutdown or log-off
inline constexpr int kDeactivated = 517;        // the application lost the activation
}  // namespace tray_notification

inline constexpr uint32_t kTrayIconId = 1;
inline constexpr int kTrayIconPixels = 16;

class TrayIcon {
 public:
  explicit TrayIcon(platform::NotificationArea& area);
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Mouse actions on the icon while the window is on the tray; the base does nothing.
  // These five are declared in the order of their slots.
  virtual void LeftClick();
  virtual void RightClick();
  virtual void LeftDoubleClick();
  virtual void RightDoubleClick();
  // Whether the session may end; the base allows it.
  virtual bool QueryShutdown();

  virtual ~TrayIcon();

  // Binds the object to window, links it into the chain of this thread as the current
  // instance, installs TrayWindowProcedure() in the window's slot (keeping the old procedure
  // for Kill), loads the icon and, unless without_tip, sets the tip. A second Init kills the
  // first binding before it.
  void Init(platform::TrayWindow& window, bool allow_shutdown, bool allow_tray_icon,
            bool without_tip, std::string_view icon_name, std::string_view tip);

  // Stores the name (at most 127 bytes); a "." as its fourth-last character becomes "_", which
  // gives the resource name ("Security.ico" -> "Security_ico"). Loads that icon at 16 x 16;
  // an unknown name gives handle 0, and the icon is shown without an image. Updates a shown
  // icon.
  void SetIcon(std::string_view name);
  // Stores the first 63 bytes of text as the tooltip; updates a shown icon.
  void SetTip(std::string_view text);

  // Fill nid() for the window and pass it to the notification area; the result is the
  // area's. Add and delete name tip, icon and message; modify names tip and icon. Without a
  // window (before Init) they return false.
  bool AddIcon();
  bool ModifyIcon();
  bool DeleteIcon();

  // When the window may go to the tray and is not there: shows the icon and, when that
  // works, hides the window. Returns whether the window is on the tray.
  bool ToTray();
  // When on the tray: removes the icon, shows, activates and restores the window.
  void FromTray();

  // Acts on one event of the window's queue:
  //   kClosing          on the tray: remove the icon, show and activate the window;
  //   kNotification     on the tray: 1633 to 1636 call the mouse operations; not on the tray:
  //                     517 sends the window to the tray when to_tray_on_lose_focus(); in
  //                     both cases 514 posts kCloseDownRequest;
  //   kMaximizeRequest  on the tray: FromTray();
  //   kMinimized        ToTray(), and when the window did not go, post kMaximizeRequest.
  // Does nothing before Init.
  void TakeEvent(const platform::WindowEvent& event);

  // Puts the old procedure back into the window's slot and unlinks the object from the
  // chain; an icon still shown is removed and the window shown. Does nothing when the
  // object is not bound.
  void Kill();

  // The procedure installed by Init; see window_messages.h for the messages:
  //   kTrayCallback    left up -> 1633, left double-click -> 1635, right up -> 1634,
  //                    right double-click -> 1636, posted with first as the value; 0;
  //   kQueryEndSession with allow_shutdown(): on_shutdown() = QueryShutdown(), answered;
  //                    else 0;
  //   kEndSession      (session ending) with allow_shutdown(): posts 514, answers 1; else 0;
  //   kActivateApp     (lost activation) posts 517, answers 1, not passed on;
  // everything else goes to the procedure the window had before.
  static intptr_t TrayWindowProcedure(platform::TrayWindow& window, uint32_t message,
                                      uintptr_t first, intptr_t second);

  // The latest instance set up on this thread and not killed, or null.
  static TrayIcon* current();
  TrayIcon* previous() const { return prvwinext_; }

  bool on_tray() const { return ontray_; }
  bool on_shutdown() const { return onshutdown_; }
  bool allow_shutdown() const { return allowshutdown_; }
  bool allow_tray_icon() const { return allowtrayicon_; }
  bool to_tray_on_lose_focus() const { return totrayonlosefocus_; }
  std::string_view icon_name() const { return iconname_.data(); }
  uint32_t icon_handle() const { return iconhandle_; }
  std::string_view tooltip() const { return tooltip_.data(); }
  const platform::NotifyIconData& nid() const { return nid_; }

 protected:
  platform::TrayWindow* main_window() const { return mainwindow_; }

 private:
  bool notify(bool (platform::NotificationArea::*call)(const platform::NotifyIconData&),
              uint32_t flags);
  void post_notification(int code, uintptr_t value);
  intptr_t handle_message(platform::TrayWindow& window, uint32_t message, uintptr_t first,
                          intptr_t second);

  platform::TrayWindow* mainwindow_ = nullptr;
  TrayIcon* prvwinext_ = nullptr;
  platform::WindowProcedure origwndproc_ = nullptr;
  bool allowtrayicon_ = false;
  bool totrayonlosefocus_ = false;
  bool allowshutdown_ = false;
  bool ontray_ = false;
  bool onshutdown_ = false;
  platform::NotifyIconData nid_{};
  std::array<char, 128> iconname_{};
  uint32_t iconhandle_ = 0;
  std::array<char, 64> tooltip_{};
  [[maybe_unused]] uint32_t tooltiphandle_ = 0;  // part of the record; nothing uses it

  platform::NotificationArea& area_;
  bool bound_ = false;  // between Init and Kill
};

}  // namespace orvel::app
