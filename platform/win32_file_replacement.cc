// Replacing a file on Windows: MoveFileExA over it, written through before it returns. The
// new file inherits the permissions of its directory, as every new file there does.
#include <windows.h>

#include <atomic>

#include "platform/error_codes.h"
#include "platform/file_replacement.h"

namespace orvel::platform {
namespace {

int move_error(DWORD err) {
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return kPathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
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

}  // namespace

std::string replacement_target(const std::string& path) {
  return path;
}

std::string temporary_name_beside(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  return target + ".~" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter++);
}

int move_over(const std::string& temp, const std::string& target) {
  if (::MoveFileExA(temp.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return kNoError;
  }
  return move_error(::GetLastError());
}

}  // namespace orvel::platform
