// Where the program keeps its INI file on this system.
//
// On Windows the file is "orvel.INI" in the Windows directory, where the system's own
// private-profile functions put a file named without a directory; $ORVEL_INI, when set and
// not empty, names the file instead.
//
// On Linux the file is "orvel.INI" in the user's configuration directory:
//   1. $ORVEL_INI, when set and not empty, names the file itself (tests and scripted runs);
//   2. else $XDG_CONFIG_HOME/orvel.INI, when XDG_CONFIG_HOME is an absolute path;
//   3. else ~/.config/orvel.INI, with ~ from $HOME or, without it, the user database;
//   4. else orvel.INI in the current directory.
// Nothing is created by looking the place up; create_settings_directory() makes the
// directory before the file is first written. The environment is read at every call.
#pragma once

#include <string>

namespace orvel::platform {

inline constexpr char kSettingsFileName[] = "orvel.INI";

// The path of the program's INI file, chosen as above from the environment.
std::string settings_file_path();

// The same choice from given values; a null pointer stands for an unset variable. POSIX
// systems only.
std::string settings_file_path(const char* orvel_ini, const char* xdg_config_home,
                               const char* home);

// Creates the directory that holds path, with its missing parents (on POSIX systems with the
// permissions the user's umask leaves of 0777, as for any directory the user makes). Returns 0 when
// it exists afterwards; kPathNotFound when a part of the path is a file, kAccessDenied,
// kSystemWriteProtect, or kSystemIoError.
int create_settings_directory(const std::string& path);

}  // namespace orvel::platform
