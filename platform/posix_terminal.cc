// Standard streams on POSIX systems: bytes pass unchanged already; terminals take UTF-8.
#include <unistd.h>

#include "platform/terminal.h"

namespace orvel::platform {

void prepare_standard_streams() {}

std::vector<std::string> utf8_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool standard_error_is_terminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace orvel::platform
