// The permissions of what the platform creates on POSIX systems: files and directories get
// what the user's umask leaves of 0666 and 0777, temporary files are their owner's alone and
// nameless, and a replaced INI file keeps the permissions of the file it replaces.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/error_codes.h"
#include "platform/file.h"
#include "platform/file_replacement.h"
#include "platform/private_profile.h"
#include "platform/settings_location.h"
#include "platform/temp_file.h"
#include "platform/tests/scoped_umask.h"
#include "platform/tests/temp_dir.h"

namespace orvel::platform {
namespace {

using testing::permissions_of;
using testing::ScopedUmask;

class PosixFileModesTest : public ::testing::Test {
 protected:
  int create(const std::string& name, Disposition disposition) {
    std::unique_ptr<File> file;
    return system_file_system().open(dir_.path(name), open_mode::kReadWrite | open_mode::kDenyNone,
                                     disposition, &file);
  }
  std::vector<std::string> names_in(const std::string& dir) const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  testing::TempDir dir_{"orvel-modes"};
};

TEST_F(PosixFileModesTest, NewFilesAndDirectoriesTakeTheUmask) {
  struct Case {
    mode_t umask;
    int file;
    int directory;
  };
  for (const Case& c : {Case{077, 0600, 0700}, Case{022, 0644, 0755}, Case{002, 0664, 0775}}) {
    SCOPED_TRACE(c.umask);
    ScopedUmask mask(c.umask);
    const std::string tag = std::to_string(c.umask);
    EXPECT_EQ(create("open-" + tag, Disposition::kOpenOrCreate), kNoError);
    EXPECT_EQ(permissions_of(dir_.path("open-" + tag)), c.file);
    EXPECT_EQ(create("created-" + tag, Disposition::kCreateTruncate), kNoError);
    EXPECT_EQ(permissions_of(dir_.path("created-" + tag)), c.file);

    ASSERT_EQ(write_profile_string(dir_.path("ini-" + tag), "Main", "XPos", "1"), kNoError);
    EXPECT_EQ(permissions_of(dir_.path("ini-" + tag)), c.file);

    const std::string top = dir_.path("settings-" + tag);
    ASSERT_EQ(create_settings_directory(top + "/orvel/orvel.INI"), kNoError);
    EXPECT_EQ(permissions_of(top), c.directory);
    EXPECT_EQ(permissions_of(top + "/orvel"), c.directory);
  }
}

TEST_F(PosixFileModesTest, TemporaryFilesAreTheOwnersAloneWhateverTheUmask) {
  ScopedUmask mask(0);
  EXPECT_EQ(create("new", Disposition::kCreateNew), kNoError);
  EXPECT_EQ(permissions_of(dir_.path("new")), 0600);

  const std::string previous = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
  ::setenv("TMPDIR", dir_.path().c_str(), 1);
  TempFile temp = open_private_temp_file();
  if (previous.empty()) {
    ::unsetenv("TMPDIR");
  } else {
    ::setenv("TMPDIR", previous.c_str(), 1);
  }
  ASSERT_NE(temp, nullptr);
  struct stat st;
  ASSERT_EQ(::fstat(::fileno(temp.get()), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(st.st_nlink, 0u) << "a crash leaves no name behind";
  EXPECT_EQ(::fcntl(::fileno(temp.get()), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
  EXPECT_EQ(names_in(dir_.path()), std::vector<std::string>{"new"});
}

TEST_F(PosixFileModesTest, CreatingANewFileNeverOpensAnExistingOneOrALink) {
  testing::write_file(dir_.path("kept"), "contents");
  ASSERT_EQ(::symlink(dir_.path("kept").c_str(), dir_.path("link").c_str()), 0);
  ASSERT_EQ(::symlink(dir_.path("nowhere").c_str(), dir_.path("dangling").c_str()), 0);
  EXPECT_EQ(create("kept", Disposition::kCreateNew), kAccessDenied);
  EXPECT_EQ(create("link", Disposition::kCreateNew), kAccessDenied);
  EXPECT_EQ(create("dangling", Disposition::kCreateNew), kAccessDenied);
  EXPECT_EQ(testing::read_file(dir_.path("kept")), "contents");
  EXPECT_FALSE(std::filesystem::exists(dir_.path("nowhere")));
}

TEST_F(PosixFileModesTest, AReplacedIniFileKeepsItsPermissions) {
  struct Case {
    mode_t umask;
    int before;
  };
  // Stricter and looser than the umask: the permissions are the user's choice for this file.
  for (const Case& c : {Case{022, 0600}, Case{022, 0640}, Case{077, 0644}}) {
    SCOPED_TRACE(c.before);
    ScopedUmask mask(c.umask);
    const std::string ini = dir_.path("orvel.INI");
    testing::write_file(ini, "[Main]\n");
    ASSERT_EQ(::chmod(ini.c_str(), c.before), 0);
    ASSERT_EQ(write_profile_string(ini, "Main", "XPos", std::to_string(c.before)), kNoError);
    EXPECT_EQ(permissions_of(ini), c.before);
    EXPECT_EQ(testing::read_file(ini), "[Main]\nXPos=" + std::to_string(c.before) + "\n");
  }
}

TEST_F(PosixFileModesTest, AFileInTheWayOfTheReplacementIsPassedOver) {
  const std::string ini = dir_.path("orvel.INI");
  testing::write_file(dir_.path("victim"), "untouched");
  // The name the next replacement would take first, held by a link another program made.
  const std::string taken = temporary_name_beside(ini);  // NAME.~PID-COUNTER
  const size_t counter = taken.rfind('-') + 1;
  const std::string next =
      taken.substr(0, counter) + std::to_string(std::stoul(taken.substr(counter)) + 1);
  ASSERT_EQ(::symlink(dir_.path("victim").c_str(), next.c_str()), 0);
  ASSERT_EQ(write_profile_string(ini, "Main", "XPos", "7"), kNoError);
  EXPECT_EQ(testing::read_file(ini), "[Main]\r\nXPos=7\r\n");
  EXPECT_EQ(testing::read_file(dir_.path("victim")), "untouched");
  EXPECT_TRUE(std::filesystem::is_symlink(next)) << "the other program's link is left alone";
  EXPECT_EQ(names_in(dir_.path()).size(), 3u) << "no temporary file left";
}

}  // namespace
}  // namespace orvel::platform
