// The window side of the tray icon on Qt: a platform::TrayWindow over a top-level widget,
// with the window-procedure slot that the tray icon takes over and the window's own queue.
//
// The adapter turns what Qt reports into the program's window messages
// (platform/window_messages.h) and passes each to the procedure in the slot:
//   - the application losing or gaining the activation: kActivateApp, first 0 or 1;
//   - the end of the session (the session manager's request to save data at log-off or
//     shutdown): kQueryEndSession, and, when that is allowed, kEndSession with first 1; a
//     refusal cancels the ending where the session manager lets us;
//   - mouse actions on the window's tray icons come from QtNotificationArea as
//     kTrayCallback.
// show() brings a minimised window back in its state before minimising (maximised or not):
// shown minimised, an X window would be reported minimised again after restore().
//
// The procedure installed first is the window's ordinary handling: it allows the end of the
// session and answers 0 to everything else.
//
// Events posted to the window, and the minimising of the widget (reported as a posted
// kMinimized, after Qt has finished changing the state), reach the handler set with
// set_event_handler() through Qt's event queue, in order, on the widget's thread.
//
// The adapter is a child of the widget and dies with it. Handles are unique in the process
// and never 0; find() gives the adapter of a handle while it lives.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "platform/tray_window.h"

class QWidget;

namespace orvel::platform::toolkit {

class QtTrayWindow : public QObject, public TrayWindow {
  Q_OBJECT

 public:
  explicit QtTrayWindow(QWidget* window);
  ~QtTrayWindow() override;

  static QtTrayWindow* find(uint32_t handle);

  uint32_t handle() const override { return handle_; }
  void show() override;
  void hide() override;
  void activate() override;
  void restore() override;
  void post(const WindowEvent& event) override;
  WindowProcedure window_procedure() const override { return procedure_; }
  void set_window_procedure(WindowProcedure procedure) override { procedure_ = procedure; }

  // Passes a window message to the procedure in the slot and returns its answer.
  intptr_t send(uint32_t message, uintptr_t first, intptr_t second);

  void set_event_handler(std::function<void(const WindowEvent&)> handler);

  // What the session manager and the application report, as the connections made by the
  // constructor pass it on. session_ending() returns false when the ending is refused.
  bool session_ending();
  void application_state_changed(Qt::ApplicationState state);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void customEvent(QEvent* event) override;

 private:
  static intptr_t ordinary_procedure(TrayWindow& window, uint32_t message, uintptr_t first,
                                     intptr_t second);

  QPointer<QWidget> window_;
  const uint32_t handle_;
  WindowProcedure procedure_ = &QtTrayWindow::ordinary_procedure;
  std::function<void(const WindowEvent&)> handler_;
  bool application_active_ = true;
};

}  // namespace orvel::platform::toolkit
