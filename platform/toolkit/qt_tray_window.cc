#include "platform/toolkit/qt_tray_window.h"

#include <QApplication>
#include <QEvent>
#include <QSessionManager>
#include <QWidget>
#include <QWindowStateChangeEvent>
#include <map>

#include "platform/window_messages.h"

namespace orvel::platform::toolkit {
namespace {

namespace message = window_message;

// The adapters of the process by handle; used on the windows' thread only.
std::map<uint32_t, QtTrayWindow*>& registry() {
  static std::map<uint32_t, QtTrayWindow*> adapters;
  return adapters;
}

uint32_t next_handle() {
  static uint32_t last = 0;
  return ++last;
}

// An event posted to the window, carried through Qt's queue.
class PostedWindowEvent : public QEvent {
 public:
  static QEvent::Type type() {
    static const auto kType = static_cast<QEvent::Type>(QEvent::registerEventType());
    return kType;
  }
  explicit PostedWindowEvent(const WindowEvent& event) : QEvent(type()), event_(event) {}
  const WindowEvent& window_event() const { return event_; }

 private:
  WindowEvent event_;
};

}  // namespace

QtTrayWindow::QtTrayWindow(QWidget* window)
    : QObject(window), window_(window), handle_(next_handle()) {
  registry()[handle_] = this;
  window->installEventFilter(this);
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          &QtTrayWindow::application_state_changed);
  connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
    if (!session_ending() && manager.allowsInteraction()) {
      manager.cancel();
      manager.release();
    }
  });
}

QtTrayWindow::~QtTrayWindow() {
  registry().erase(handle_);
}

QtTrayWindow* QtTrayWindow::find(uint32_t handle) {
  auto it = registry().find(handle);
  return it == registry().end() ? nullptr : it->second;
}

void QtTrayWindow::show() {
  if (!window_) return;
  // Shown while still minimised, an X window goes up iconified and the window system
  // reports it minimised again after restore() has run, which would send it straight back
  // to the tray: so it comes back in its state before minimising.
  window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
  window_->show();
}

void QtTrayWindow::hide() {
  if (window_) window_->hide();
}

void QtTrayWindow::activate() {
  if (!window_) return;
  window_->raise();
  window_->activateWindow();
}

void QtTrayWindow::restore() {
  if (!window_) return;
  window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
}

void QtTrayWindow::post(const WindowEvent& event) {
  QCoreApplication::postEvent(this, new PostedWindowEvent(event));
}

intptr_t QtTrayWindow::send(uint32_t msg, uintptr_t first, intptr_t second) {
  return procedure_ ? procedure_(*this, msg, first, second) : 0;
}

void QtTrayWindow::set_event_handler(std::function<void(const WindowEvent&)> handler) {
  handler_ = std::move(handler);
}

bool QtTrayWindow::session_ending() {
  if (send(message::kQueryEndSession, 0, 0) == 0) return false;
  send(message::kEndSession, 1, 0);
  return true;
}

void QtTrayWindow::application_state_changed(Qt::ApplicationState state) {
  const bool active = state == Qt::ApplicationActive;
  if (active == application_active_) return;
  application_active_ = active;
  send(message::kActivateApp, active ? 1 : 0, 0);
}

bool QtTrayWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::WindowStateChange) {
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if (window_->isMinimized() && !(change->oldState() & Qt::WindowMinimized)) {
      post({WindowEvent::Kind::kMinimized});
    }
  }
  return QObject::eventFilter(watched, event);
}

void QtTrayWindow::customEvent(QEvent* event) {
  if (event->type() != PostedWindowEvent::type()) return;
  if (handler_) handler_(static_cast<PostedWindowEvent*>(event)->window_event());
}

intptr_t QtTrayWindow::ordinary_procedure(TrayWindow&, uint32_t msg, uintptr_t, intptr_t) {
  return msg == message::kQueryEndSession ? 1 : 0;
}

}  // namespace orvel::platform::toolkit
