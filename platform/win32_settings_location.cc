// The place of the INI file on Windows, and making its directory with CreateDirectoryA.
#include <windows.h>

#include <cstdlib>

#include "platform/error_codes.h"
#include "platform/settings_location.h"

namespace orvel::platform {
namespace {

int create_error(DWORD err) {
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
      return kPathNotFound;
    case ERROR_ACCESS_DENIED:
      return kAccessDenied;
    case ERROR_WRITE_PROTECT:
      return kSystemWriteProtect;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return kSystemDiskFull;
    default:
      return kSystemIoError;
  }
}

bool is_separator(char c) {
  return c == '/' || c == '\\';
}

}  // namespace

std::string settings_file_path() {
  const char* orvel_ini = std::getenv("ORVEL_INI");
  if (orvel_ini != nullptr && orvel_ini[0] != '\0') return orvel_ini;
  char windows[MAX_PATH + 1];
  UINT n = ::GetWindowsDirectoryA(windows, sizeof windows);
  if (n == 0 || n >= sizeof windows) return kSettingsFileName;
  std::string path(windows, n);
  if (!is_separator(path.back())) path += '\\';
  return path + kSettingsFileName;
}

int create_settings_directory(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos || slash == 0) return kNoError;
  const std::string directory = path.substr(0, slash);
  // Each prefix that ends before a separator in turn, then the directory itself; a drive
  // ("C:") or the start of a network name ("\\server") is there already.
  // Access denied may mean an existing directory of the system; only the end tells.
  bool denied = false;
  for (size_t pos = 1; pos <= directory.size(); ++pos) {
    if (pos < directory.size() && !is_separator(directory[pos])) continue;
    const std::string part = directory.substr(0, pos);
    if (part.back() == ':' || is_separator(part.back())) continue;
    if (!::CreateDirectoryA(part.c_str(), nullptr)) {
      DWORD err = ::GetLastError();
      denied = err == ERROR_ACCESS_DENIED;
      if (err != ERROR_ALREADY_EXISTS && !denied) return create_error(err);
    }
  }
  DWORD attributes = ::GetFileAttributesA(directory.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return denied ? kAccessDenied : create_error(::GetLastError());
  }
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kNoError : kPathNotFound;
}

}  // namespace orvel::platform
