// Sets the process's umask for the life of the object and puts the one before back, for tests
// of the permissions of the files the program creates. POSIX systems only.
#pragma once

#include <sys/stat.h>

#include <string>

namespace orvel::platform::testing {

class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : previous_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(previous_); }
  ScopedUmask(const ScopedUmask&) = delete;
  ScopedUmask& operator=(const ScopedUmask&) = delete;

 private:
  mode_t previous_;
};

// The permission bits of path, or -1 when it cannot be looked at.
inline int permissions_of(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

}  // namespace orvel::platform::testing
