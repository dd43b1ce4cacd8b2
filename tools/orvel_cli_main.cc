// orvel-cli: see tools/cli.h.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "tools/cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return orvel::tools::run_cli(args, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
