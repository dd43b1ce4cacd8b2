// Private temporary files on Windows: a fresh name in the user's temporary directory, created
// there only by the open itself and without sharing, so no other program can open it, and
// deleted by the system when its handle closes, which a crash does too.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
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

// A new file under a free name, deleted on close. The name is made with a number of our own,
// so that GetTempFileNameA creates nothing that a crash before the open would leave.
HANDLE create_temp_file() {
  static std::atomic<unsigned> counter{0};
  const std::string directory = temp_directory();
  for (int attempt = 0; attempt < 64; ++attempt) {
    UINT unique =
        (::GetTickCount() ^ (::GetCurrentProcessId() << 4) ^ (counter++ * 7919u)) & 0xFFFF;
    char name[MAX_PATH];
    if (::GetTempFileNameA(directory.c_str(), "orv", unique == 0 ? 1 : unique, name) == 0) break;
    HANDLE handle = ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE) return handle;
    const DWORD err = ::GetLastError();
    if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) break;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

TempFile open_private_temp_file() {
  HANDLE handle = create_temp_file();
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
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
