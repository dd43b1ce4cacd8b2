// Private temporary files on POSIX systems: mkostemp, then the name is removed at once. The
// descriptor is closed on exec, so no program started later inherits the data.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/temp_file.h"

namespace orvel::platform {

TempFile open_private_temp_file() {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/orvel-sort-XXXXXX";
  // Created readable and writable by its owner only, whatever the umask.
  int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return nullptr;
  ::unlink(pattern.c_str());
  std::FILE* file = ::fdopen(fd, "w+b");
  if (file == nullptr) ::close(fd);
  return TempFile(file);
}

}  // namespace orvel::platform
