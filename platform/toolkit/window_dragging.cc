#include "platform/toolkit/window_dragging.h"

namespace orvel::platform::toolkit {

bool full_window_dragging() {
  return false;
}

void set_full_window_dragging(bool) {}

}  // namespace orvel::platform::toolkit
