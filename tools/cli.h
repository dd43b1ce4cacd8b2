// orvel-cli: the passport directory from the command line, through the same start-up open,
// search, browse reads, import and export as the windows.
//
// Works on passport.hvk in the current directory (after the -C changes, in order), opened
// as start-up opens it: created empty when missing, read-only with a notice when write
// access is refused, and ending with a message when it cannot be opened. Texts on the
// command line and in the output are UTF-8; the file holds code page 1251.
//
// Exit status: 0 success, 1 nothing found, 2 any error (the message on stderr).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace orvel::tools {

inline constexpr int kExitOk = 0;
inline constexpr int kExitNotFound = 1;
inline constexpr int kExitError = 2;

// args without the program name. err_is_terminal turns the progress bar on.
int run_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            bool err_is_terminal);

}  // namespace orvel::tools
