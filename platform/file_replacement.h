// Replacing a file as a whole: the new contents are written to a temporary file beside it,
// flushed, and then moved over it, so that a crash leaves the old file or the new one, never
// a mixture. One implementation per system (posix_file_replacement.cc,
// win32_file_replacement.cc).
#pragma once

#include <string>

namespace orvel::platform {

// The file that a replacement of path really replaces: on POSIX systems a symbolic link is
// followed, so that the link keeps pointing at the file.
std::string replacement_target(const std::string& target);

// A name beside target that no other process or call of this process uses at the same time.
std::string temporary_name_beside(const std::string& target);

// Moves the complete, flushed file temp over target, keeping target's permissions, and makes
// the move itself survive a crash where the system allows it. Errors: kPathNotFound,
// kAccessDenied, kSystemDiskFull, kSystemWriteProtect, kSystemIoError.
int move_over(const std::string& temp, const std::string& target);

}  // namespace orvel::platform
