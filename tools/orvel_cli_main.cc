// orvel-cli: see tools/cli.h.
#include <iostream>
#include <string>
#include <vector>

#include "platform/terminal.h"
#include "tools/cli.h"

int main(int argc, char** argv) {
  orvel::platform::prepare_standard_streams();
  std::vector<std::string> args = orvel::platform::utf8_arguments(argc, argv);
  return orvel::tools::run_cli(args, std::cout, std::cerr,
                               orvel::platform::standard_error_is_terminal());
}
