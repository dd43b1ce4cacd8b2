#include "platform/temp_file.h"

#include <cstdlib>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace orvel::platform {

TempFile open_private_temp_file() {
#ifdef _WIN32
  return TempFile(std::tmpfile());
#else
  const char* dir = std::getenv("TMPDIR");
  std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/orvel-sort-XXXXXX";
  int fd = ::mkstemp(pattern.data());  // created readable and writable by its owner only
  if (fd < 0) return nullptr;
  ::unlink(pattern.c_str());
  std::FILE* file = ::fdopen(fd, "w+b");
  if (file == nullptr) ::close(fd);
  return TempFile(file);
#endif
}

}  // namespace orvel::platform
