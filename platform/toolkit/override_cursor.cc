#include "platform/toolkit/override_cursor.h"

#include <QApplication>

namespace orvel::platform::toolkit {
namespace {

// Whether set_wait_cursor() has an override cursor up. One flag, so that the operations
// that set the wait cursor twice still take it away with one restore.
bool g_wait_cursor_set = false;

}  // namespace

void set_wait_cursor() {
  if (g_wait_cursor_set) return;
  QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  g_wait_cursor_set = true;
}

void restore_normal_cursor() {
  if (!g_wait_cursor_set) return;
  QApplication::restoreOverrideCursor();
  g_wait_cursor_set = false;
}

OverrideCursorSuspended::OverrideCursorSuspended() {
  while (const QCursor* cursor = QApplication::overrideCursor()) {
    removed_.append(*cursor);
    QApplication::restoreOverrideCursor();
  }
}

OverrideCursorSuspended::~OverrideCursorSuspended() {
  for (auto it = removed_.crbegin(); it != removed_.crend(); ++it) {
    QApplication::setOverrideCursor(*it);
  }
}

}  // namespace orvel::platform::toolkit
