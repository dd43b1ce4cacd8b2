// Private temporary files on Windows: a fresh name in the user's temporary directory, opened
// without sharing, so no other program can open it, and deleted by the system on close.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/temp_file.h"

namespace orvel::platform {
namespace {

std::string temp_directory() {
  const char* dir = std::getenv("TMPDIR");
  if (dir && *dir) return dir;
  char path[MAX_PATH + 1];
  DWORD n = ::GetTempPathA(sizeof path, path);
  return n > 0 && n < sizeof path ? std::string(path, n) : std::string(".");
}

}  // namespace

TempFile open_private_temp_file() {
  char name[MAX_PATH];
  if (::GetTempFileNameA(temp_directory().c_str(), "orv", 0, name) == 0) return nullptr;
  HANDLE handle = ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    ::DeleteFileA(name);
    return nullptr;
  }
  int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = ::_fdopen(fd, "w+b");
  if (file == nullptr) ::_close(fd);
  return TempFile(file);
}

}  // namespace orvel::platform
