// Private temporary files on POSIX systems: mkstemp, then the name is removed at once.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/temp_file.h"

namespace orvel::platform {

TempFile open_private_temp_file() {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/orvel-sort-XXXXXX";
  int fd = ::mkstemp(pattern.data());  // created readable and writable by its owner only
  if (fd < 0) return nullptr;
  ::unlink(pattern.c_str());
  std::FILE* file = ::fdopen(fd, "w+b");
  if (file == nullptr) ::close(fd);
  return TempFile(file);
}

}  // namespace orvel::platform
