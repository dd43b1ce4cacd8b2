// Names that lead to something other than a plain file on POSIX systems: a pipe, a device or a
// directory is refused at once with kAccessDenied, in every access and disposition, without
// waiting for the other end of a pipe and without touching what the name leads to.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "platform/error_codes.h"
#include "platform/file.h"
#include "platform/tests/temp_dir.h"

namespace orvel::platform {
namespace {

using namespace open_mode;

TEST(PosixSpecialFilesTest, OnlyPlainFilesAreOpened) {
  testing::TempDir dir("orvel-special");
  const std::string fifo = dir.path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Readable only: an open for reading alone would wait for a writer that never comes.
  const std::string read_only_fifo = dir.path("read-only-fifo");
  ASSERT_EQ(::mkfifo(read_only_fifo.c_str(), 0400), 0);
  struct Case {
    std::string path;
    int mode;
    Disposition disposition;
  };
  const Case cases[] = {
      {fifo, kReadWrite | kDenyNone, Disposition::kOpenExisting},
      {fifo, kReadOnly | kDenyNone, Disposition::kOpenExisting},
      {fifo, kWriteOnly | kDenyAll, Disposition::kOpenOrCreate},
      {fifo, kReadWrite | kDenyAll, Disposition::kCreateTruncate},
      {read_only_fifo, kReadOnly | kDenyNone, Disposition::kOpenExisting},
      {"/dev/null", kReadOnly | kDenyNone, Disposition::kOpenExisting},
      {"/dev/zero", kReadWrite | kDenyNone, Disposition::kOpenOrCreate},
      {"/dev/tty", kReadWrite | kDenyNone, Disposition::kOpenExisting},
      {dir.path(), kReadOnly | kDenyNone, Disposition::kOpenExisting},
  };
  for (const Case& c : cases) {
    std::unique_ptr<File> file;
    const int rc = system_file_system().open(c.path, c.mode, c.disposition, &file);
    // A machine without a terminal has no /dev/tty to open at all.
    if (c.path == "/dev/tty" && rc != kAccessDenied) {
      EXPECT_NE(rc, kNoError);
      continue;
    }
    EXPECT_EQ(rc, kAccessDenied) << c.path << " mode " << c.mode;
    EXPECT_EQ(file, nullptr);
  }
  struct stat st;
  ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the pipe is left as it was";
}

}  // namespace
}  // namespace orvel::platform
