// Private-profile functions: named values in sections of an INI file, read and written as
// text (ProfileText describes how the file is read and what a change keeps).
//
// A path is used as given (relative to the current directory when it has no "/");
// settings_location.h says where the program's own INI file lives. Names and values are
// bytes of code page 1251, never converted; section and key names match with ASCII letters
// folded.
//
// Every change reads the whole file, changes it in memory and writes it to a temporary file
// beside it, which is flushed and then renamed over the file: a crash leaves the old file
// or the new one, never a mixture (and at worst a stray "NAME.~PID-N" beside it, which
// nothing reads). A file that cannot be read is never replaced. Two
// processes that change one file at the same moment may lose one of the two changes.
// Thread-compatible: calls on different files may run in parallel.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/profile_text.h"

namespace orvel::platform {

// The largest INI file read; larger ones are treated as unreadable.
inline constexpr size_t kMaxProfileSize = 16 << 20;

// Reads the whole file into *text. A missing file (or directory) gives an empty text and 0.
// Errors: kAccessDenied (permissions, a directory, or a file over kMaxProfileSize),
// kSystemIoError, other system errors as the file layer reports them.
int load_profile(const std::string& path, ProfileText* text);

// Replaces the file with text as described above. Errors: kPathNotFound (the directory is
// missing), kAccessDenied, kSystemDiskFull, kSystemWriteProtect, kSystemIoError.
int save_profile(const std::string& path, const ProfileText& text);

// The value of the entry, or default_value when the entry, the section or the file is
// missing or the file cannot be read.
std::string get_profile_string(const std::string& path, std::string_view section,
                               std::string_view key, std::string_view default_value);

// The value of the entry read as a decimal integer: an optional sign and digits, anything
// after them ignored ("12px" is 12). default_value when there is no entry, when the value
// does not begin with digits, or when it lies outside the int range.
int get_profile_int(const std::string& path, std::string_view section, std::string_view key,
                    int default_value);

// Sets the entry to value, creating the file, the section and the entry as needed.
// kSystemInvalidName when the names or the value cannot be stored so that they read back
// as given (ProfileText::is_storable_name / is_storable_value); else as save_profile.
int write_profile_string(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view value);

// Removes the entry. Nothing to remove, or no file, is success and leaves the file as it is.
int delete_profile_key(const std::string& path, std::string_view section, std::string_view key);

// Removes the section with all its lines. Nothing to remove is success.
int delete_profile_section(const std::string& path, std::string_view section);

// The integer reading of get_profile_int applied to a value text; nothing where
// get_profile_int would give its default.
std::optional<int> profile_int_value(std::string_view value);

}  // namespace orvel::platform
