// Numbers of the window messages that the tray icon handles, as the window layer hands them
// to a window procedure together with two parameters ("first" and "second").
//
// The numbers are those the program was built around, so that a message means the same on
// every system; the window layer of each system translates its own events into them.
#pragma once

#include <cstdint>

namespace orvel::platform::window_message {

// The system asks whether the session may end (shutdown or log-off). Answer non-zero to
// allow it, 0 to refuse.
inline constexpr uint32_t kQueryEndSession = 0x0011;
// The session ends now when first is non-zero; first 0 means an ending was called off.
inline constexpr uint32_t kEndSession = 0x0016;
// The application gained (first non-zero) or lost (first 0) the activation.
inline constexpr uint32_t kActivateApp = 0x001C;

// Mouse messages, as they arrive in the low 16 bits of second with kTrayCallback.
inline constexpr uint32_t kMouseMove = 0x0200;
inline constexpr uint32_t kLeftButtonDown = 0x0201;
inline constexpr uint32_t kLeftButtonUp = 0x0202;
inline constexpr uint32_t kLeftButtonDoubleClick = 0x0203;
inline constexpr uint32_t kRightButtonDown = 0x0204;
inline constexpr uint32_t kRightButtonUp = 0x0205;
inline constexpr uint32_t kRightButtonDoubleClick = 0x0206;

// Sent by the notification area about our icon: first is the icon's identifier, the low 16
// bits of second the mouse message.
inline constexpr uint32_t kTrayCallback = 0x0660;

}  // namespace orvel::platform::window_message
