// Where the list-format manager keeps its list-formats file on this system, and the
// directory made for it.
//
// On Windows the file is "C:\Temp\Formats.FDB". Elsewhere it is a fixed per-user file:
//   1. $ORVEL_FORMATS, when set and not empty, names the file itself (tests, scripted runs);
//   2. else $XDG_CONFIG_HOME/orvel/Formats.FDB, when XDG_CONFIG_HOME is an absolute path;
//   3. else ~/.config/orvel/Formats.FDB, with ~ from $HOME;
//   4. else orvel/Formats.FDB in the current directory.
// The environment is read at every call; looking the place up creates nothing.
#pragma once

#include <string>

namespace orvel::browse {

std::string list_formats_file_path();

// The same choice from given values; a null pointer stands for an unset variable.
std::string list_formats_file_path(const char* orvel_formats, const char* xdg_config_home,
                                   const char* home);

// Creates every missing directory of the file's path (as the user's umask allows). Returns 0 when
// the directory exists afterwards, else the error number of the failure.
int create_list_formats_directory(const std::string& file_path);

}  // namespace orvel::browse
