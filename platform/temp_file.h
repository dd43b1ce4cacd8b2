// Private temporary files for work that outgrows memory, such as the runs of a large sort.
//
// The file is readable and writable by its owner only, has no name that another program
// could open (removed from its directory at once where the system allows it, else when it
// is closed), and disappears when closed. It lies in the directory of TMPDIR, else the
// system's temporary directory.
#pragma once

#include <cstdio>
#include <memory>

namespace orvel::platform {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using TempFile = std::unique_ptr<std::FILE, FileCloser>;

// A new empty temporary file, or null when none can be made.
TempFile open_private_temp_file();

}  // namespace orvel::platform
