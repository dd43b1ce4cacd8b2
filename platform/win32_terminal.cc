// Standard streams on Windows: binary mode, so that "\n" stays one byte, and a console shown
// UTF-8 through its output code page; the arguments from the wide command line.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>  // needs the types of windows.h

#include <cstdio>

#include "platform/terminal.h"

namespace orvel::platform {

void prepare_standard_streams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  ::SetConsoleOutputCP(CP_UTF8);
}

std::vector<std::string> utf8_arguments(int, char**) {
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return args;
  for (int i = 1; i < count; ++i) {
    int n = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(n > 0 ? static_cast<size_t>(n) : 1, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
    arg.pop_back();  // the terminating zero
    args.push_back(std::move(arg));
  }
  ::LocalFree(wide);
  return args;
}

bool standard_error_is_terminal() {
  return _isatty(_fileno(stderr)) != 0;
}

}  // namespace orvel::platform
