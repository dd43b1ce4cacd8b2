#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/error_codes.h"
#include "platform/file.h"
#include "platform/tests/temp_dir.h"

namespace orvel::platform {
namespace {

using namespace open_mode;

class SystemFileTest : public ::testing::Test {
 protected:
  std::unique_ptr<File> open_ok(const std::string& name, int mode,
                                Disposition d = Disposition::kOpenOrCreate) {
    std::unique_ptr<File> f;
    EXPECT_EQ(fs_.open(path(name), mode, d, &f), kNoError);
    return f;
  }
  int open_rc(const std::string& name, int mode, Disposition d = Disposition::kOpenExisting) {
    std::unique_ptr<File> f;
    return fs_.open(path(name), mode, d, &f);
  }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  FileSystem& fs_ = system_file_system();
  testing::TempDir temp_{"orvel-file"};
  const std::string dir_ = temp_.path();
};

TEST_F(SystemFileTest, PositionedWritesAndReads) {
  auto f = open_ok("a", kReadWrite | kDenyNone);
  size_t n = 0;
  ASSERT_EQ(f->write_at(100, "hello", 5, &n), kNoError);
  EXPECT_EQ(n, 5u);
  uint64_t size = 0;
  ASSERT_EQ(f->size(&size), kNoError);
  EXPECT_EQ(size, 105u);
  char buf[16] = {};
  ASSERT_EQ(f->read_at(100, buf, sizeof buf, &n), kNoError);
  EXPECT_EQ(n, 5u) << "a read past the end returns what there is";
  EXPECT_EQ(std::string(buf, 5), "hello");
  ASSERT_EQ(f->truncate(102), kNoError);
  ASSERT_EQ(f->size(&size), kNoError);
  EXPECT_EQ(size, 102u);
  EXPECT_EQ(f->flush(), kNoError);
}

TEST_F(SystemFileTest, ErrorsOfOpen) {
  EXPECT_EQ(open_rc("missing", kReadWrite), kFileNotFound);
  EXPECT_EQ(open_rc("no-such-dir/file", kReadWrite, Disposition::kOpenOrCreate), kPathNotFound);
  std::unique_ptr<File> f;
  EXPECT_EQ(fs_.open("", kReadWrite, Disposition::kOpenOrCreate, &f), kInvalidFilename);
  EXPECT_EQ(open_rc(".", kReadWrite), kAccessDenied) << "a directory is not a file";
}

TEST_F(SystemFileTest, CreateTruncateEmptiesAnExistingFile) {
  {
    auto f = open_ok("t", kReadWrite);
    size_t n;
    f->write_at(0, "abc", 3, &n);
  }
  auto f = open_ok("t", kReadWrite, Disposition::kCreateTruncate);
  uint64_t size = 1;
  f->size(&size);
  EXPECT_EQ(size, 0u);
}

TEST_F(SystemFileTest, AccessOfTheModeIsEnforced) {
  open_ok("r", kReadWrite);
  auto f = open_ok("r", kReadOnly | kDenyNone, Disposition::kOpenExisting);
  size_t n;
  EXPECT_EQ(f->write_at(0, "x", 1, &n), kAccessDenied);
  EXPECT_EQ(f->truncate(0), kAccessDenied);
}

TEST_F(SystemFileTest, LocksOfTwoOpensInOneProcessConflict) {
  auto a = open_ok("l", kReadWrite | kDenyNone);
  auto b = open_ok("l", kReadWrite | kDenyNone, Disposition::kOpenExisting);
  const uint64_t base = 0x80000000ULL;
  ASSERT_EQ(a->lock(base + 5, 1), kNoError);
  EXPECT_EQ(b->lock(base + 5, 1), kSystemLockViolation);
  EXPECT_EQ(b->lock(base, 1023), kSystemLockViolation) << "a range overlapping a held byte";
  EXPECT_EQ(b->lock(base + 6, 1), kNoError);
  ASSERT_EQ(a->unlock(base + 5, 1), kNoError);
  EXPECT_EQ(b->lock(base + 5, 1), kNoError);
  EXPECT_EQ(a->lock(base + 0x100000000ULL, 1), kNoError) << "offsets above 4 GiB";
}

TEST_F(SystemFileTest, ClosingReleasesLocks) {
  auto a = open_ok("c", kReadWrite | kDenyNone);
  ASSERT_EQ(a->lock(0x80000400ULL, 1), kNoError);
  a.reset();
  auto b = open_ok("c", kReadWrite | kDenyNone, Disposition::kOpenExisting);
  EXPECT_EQ(b->lock(0x80000400ULL, 1), kNoError);
}

// Sharing of a first open against the access and sharing of a second one.
TEST_F(SystemFileTest, SharingOfOpenModes) {
  struct Case {
    int first;
    int second;
    int expected;
  } cases[] = {
      {kReadWrite | kDenyNone, kReadWrite | kDenyNone, kNoError},
      {kReadWrite | kDenyAll, kReadOnly | kDenyNone, kAccessDenied},
      {kReadWrite | kDenyWrite, kReadOnly | kDenyNone, kNoError},
      {kReadWrite | kDenyWrite, kReadWrite | kDenyNone, kAccessDenied},
      {kReadWrite | kDenyRead, kReadOnly | kDenyNone, kAccessDenied},
      {kReadOnly | kDenyNone, kReadWrite | kDenyWrite, kNoError},
      {kReadWrite | kDenyNone, kReadWrite | kDenyWrite, kAccessDenied},
      {kReadWrite | kDenyNone, kReadOnly | kDenyAll, kAccessDenied},
      {kReadWrite, kReadWrite, kNoError},  // below 0x10 counts as deny none
  };
  for (const Case& c : cases) {
    std::string name = "s" + std::to_string(c.first) + "_" + std::to_string(c.second);
    open_ok(name, kReadWrite);
    auto first = open_ok(name, c.first, Disposition::kOpenExisting);
    EXPECT_EQ(open_rc(name, c.second), c.expected) << std::hex << c.first << " then " << c.second;
  }
}

TEST_F(SystemFileTest, RefusedCreateTruncateLeavesTheFileIntact) {
  auto holder = open_ok("keep", kReadWrite | kDenyAll);
  size_t n;
  holder->write_at(0, "data", 4, &n);
  EXPECT_EQ(open_rc("keep", kReadWrite | kDenyAll, Disposition::kCreateTruncate), kAccessDenied);
  uint64_t size = 0;
  holder->size(&size);
  EXPECT_EQ(size, 4u);
}

TEST_F(SystemFileTest, SharingEndsWithTheOpen) {
  auto first = open_ok("e", kReadWrite | kDenyAll);
  EXPECT_EQ(open_rc("e", kReadWrite | kDenyNone), kAccessDenied);
  first.reset();
  EXPECT_EQ(open_rc("e", kReadWrite | kDenyNone), kNoError);
}

}  // namespace
}  // namespace orvel::platform
