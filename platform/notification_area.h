// The notification area (the tray) of the desktop: icons with a tooltip that report mouse
// actions to a window.
//
// An icon is described by a NotifyIconData record, the same 88 bytes on every system; the
// record names the window that receives window_message::kTrayCallback for the icon and the
// identifier that tells icons of one window apart. Used from the thread of that window.
#pragma once

#include <cstdint>
#include <string_view>

namespace orvel::platform {

// Which members of a NotifyIconData the notification area takes.
namespace notify_flag {
inline constexpr uint32_t kMessage = 0x01;  // callback_message
inline constexpr uint32_t kIcon = 0x02;     // icon
inline constexpr uint32_t kTip = 0x04;      // tooltip
}  // namespace notify_flag

// Layout (unsigned 32-bit integers in the machine's byte order):
//   OFFSET SIZE DESCRIPTION
//        0    4 cbsize: the size of the record, always 88
//        4    4 hwnd: handle of the window that receives the callback message
//        8    4 uid: identifier of the icon among the window's icons
//       12    4 uflags: notify_flag bits, which members below count
//       16    4 ucbmessage: the callback message number
//       20    4 hicon: handle of the icon image, 0 for none
//       24   64 tooltip: zero-terminated text (code page 1251), at most 63 bytes
struct NotifyIconData {
  uint32_t cbsize;
  uint32_t hwnd;
  uint32_t uid;
  uint32_t uflags;
  uint32_t ucbmessage;
  uint32_t hicon;
  char tooltip[64];
};
static_assert(sizeof(NotifyIconData) == 88);

class NotificationArea {
 public:
  virtual ~NotificationArea() = default;

  // Shows, changes or removes the icon (hwnd, uid) of the record; false when the
  // notification area refuses, for example when the desktop has none.
  virtual bool add_icon(const NotifyIconData& data) = 0;
  virtual bool modify_icon(const NotifyIconData& data) = 0;
  virtual bool delete_icon(const NotifyIconData& data) = 0;

  // Loads the icon image of that resource name of the program at width x height pixels
  // with the default colours. Returns its handle, or 0 when there is no such resource.
  virtual uint32_t load_icon(std::string_view resource_name, int width, int height) = 0;
};

}  // namespace orvel::platform
