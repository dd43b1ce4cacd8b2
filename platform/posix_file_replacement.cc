// Replacing a file on POSIX systems: rename(2) over it, then fsync of the directory.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "platform/error_codes.h"
#include "platform/file_replacement.h"

namespace orvel::platform {
namespace {

int rename_error(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return kPathNotFound;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EISDIR:
      return kAccessDenied;
    case EROFS:
      return kSystemWriteProtect;
    case ENOSPC:
    case EDQUOT:
      return kSystemDiskFull;
    default:
      return kSystemIoError;
  }
}

std::string directory_of(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == path.npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The process's umask, read without changing it where /proc tells it; elsewhere it is set and
// put back, briefly to the strictest value so that a file made meanwhile is not exposed.
mode_t current_umask() {
  if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr) {
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    }
    std::fclose(status);
    if (found) return static_cast<mode_t>(mask);
  }
  const mode_t mask = ::umask(0777);
  ::umask(mask);
  return mask;
}

// A failure here leaves a complete file either way.
void sync_directory(const std::string& directory) {
  int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::string replacement_target(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string temporary_name_beside(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  return target + ".~" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

int move_over(const std::string& temp, const std::string& target) {
  struct stat st;
  const mode_t permissions =
      ::stat(target.c_str(), &st) == 0 ? st.st_mode & 07777 : 0666 & ~current_umask();
  // Should this fail, the file stays its owner's alone, which loses nothing.
  ::chmod(temp.c_str(), permissions);
  if (::rename(temp.c_str(), target.c_str()) != 0) return rename_error(errno);
  sync_directory(directory_of(target));
  return kNoError;
}

}  // namespace orvel::platform
