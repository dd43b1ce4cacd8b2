// What the tray icon needs of the window that it sends to the tray: a handle, showing and
// hiding, a queue of events of the window's own thread, and a window-procedure slot.
//
// The window layer passes every window message (platform/window_messages.h) that the window
// receives to the procedure in its slot, and acts on the answer where the message asks for
// one. The procedure the layer installs first does the window's ordinary handling; another
// may take its place and pass on what it does not handle. Posted events are delivered later,
// in order, on the window's thread. A TrayWindow is used by its own thread only.
#pragma once

#include <cstdint>

namespace orvel::platform {

class TrayWindow;

using WindowProcedure = intptr_t (*)(TrayWindow& window, uint32_t message, uintptr_t first,
                                     intptr_t second);

// An event in the window's queue, as the application sees it.
struct WindowEvent {
  enum class Kind {
    kClosing,           // the window is about to close
    kMinimized,         // the window has been minimised
    kNotification,      // a private notification: code and value
    kMaximizeRequest,   // a request to bring the window back
    kCloseDownRequest,  // the program is to end, as when its main window is closed
  };
  Kind kind;
  int code = 0;
  uintptr_t value = 0;
};

class TrayWindow {
 public:
  virtual ~TrayWindow() = default;

  // The 32-bit handle by which the notification area names the window.
  virtual uint32_t handle() const = 0;
  // Shows the window again, with its task-bar button.
  virtual void show() = 0;
  // Hides the window and its task-bar button; a hidden window is not active.
  virtual void hide() = 0;
  // Makes the window the active one.
  virtual void activate() = 0;
  // Brings the window back from the minimised state.
  virtual void restore() = 0;
  // Appends an event to the queue of the window's thread; it never runs at once.
  virtual void post(const WindowEvent& event) = 0;

  virtual WindowProcedure window_procedure() const = 0;
  virtual void set_window_procedure(WindowProcedure procedure) = 0;
};

}  // namespace orvel::platform
