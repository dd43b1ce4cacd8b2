// The standard streams of a terminal program: what it writes passes byte for byte (no
// translation of line ends), and text meant for the terminal is UTF-8 (cp1251.h converts it),
// so the output of a command is the same on every system. One implementation per system
// (posix_terminal.cc, win32_terminal.cc).
#pragma once

#include <string>
#include <vector>

namespace orvel::platform {

// Sets the standard streams up as above; call once at the start of main, before any output.
void prepare_standard_streams();

// The program's arguments after its name, as UTF-8 text whatever code page the system
// passes them in (on Windows they are taken from the wide command line).
std::vector<std::string> utf8_arguments(int argc, char** argv);

// True when the standard error stream is a terminal, where a progress bar may be drawn.
bool standard_error_is_terminal();

}  // namespace orvel::platform
