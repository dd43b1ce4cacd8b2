// Replacing a file as a whole: the new contents are written to a temporary file beside it,
// flushed, and then moved over it, so that a crash leaves the old file or the new one, never
// a mixture. The temporary is made with Disposition::kCreateNew, so it is nobody else's to
// read while it is written and never an existing file or link. One implementation per system
// (posix_file_replacement.cc, win32_file_replacement.cc).
#pragma once

#include <string>

namespace orvel::platform {

// The file that a replacement of path really replaces: on POSIX systems a symbolic link is
// followed, so that the link keeps pointing at the file.
std::string replacement_target(const std::string& target);

// A name beside target that no other process or call of this process uses at the same time;
// each call gives a new one.
std::string temporary_name_beside(const std::string& target);

// Moves the complete, flushed file temp over target and makes the move itself survive a crash
// where the system allows it. On POSIX systems the file gets target's permissions when target
// exists, else those the user's umask gives a new file; on Windows those of its directory. Errors:
// kPathNotFound, kAccessDenied, kSystemDiskFull, kSystemWriteProtect, kSystemIoError.
int move_over(const std::string& temp, const std::string& target);

}  // namespace orvel::platform
