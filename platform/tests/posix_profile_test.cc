// The INI file's place and replacement where they depend on POSIX: the configuration
// directory of the environment, directory modes, symbolic links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/error_codes.h"
#include "platform/private_profile.h"
#include "platform/settings_location.h"
#include "platform/tests/temp_dir.h"

namespace orvel::platform {
namespace {

TEST(PosixSettingsLocationTest, ChoiceOfTheFile) {
  struct Case {
    const char* orvel_ini;
    const char* xdg;
    const char* home;
    std::string expected;
  };
  const Case cases[] = {
      {"/tmp/t/my.INI", "/xdg", "/home/u", "/tmp/t/my.INI"},
      {"", "/xdg", "/home/u", "/xdg/orvel.INI"},
      {nullptr, "/xdg", "/home/u", "/xdg/orvel.INI"},
      {nullptr, "relative/xdg", "/home/u", "/home/u/.config/orvel.INI"},
      {nullptr, "", "/home/u", "/home/u/.config/orvel.INI"},
      {nullptr, nullptr, "/home/u", "/home/u/.config/orvel.INI"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(settings_file_path(c.orvel_ini, c.xdg, c.home), c.expected)
        << (c.orvel_ini ? c.orvel_ini : "-") << " " << (c.xdg ? c.xdg : "-");
  }
  std::string from_user_database = settings_file_path(nullptr, nullptr, nullptr);
  EXPECT_TRUE(from_user_database.ends_with("orvel.INI")) << from_user_database;
}

TEST(PosixPrivateProfileTest, ReplacementKeepsModeAndSymbolicLink) {
  testing::TempDir dir;
  const std::string ini = dir.path("orvel.INI");
  testing::write_file(ini, "[Main]\n");
  ASSERT_EQ(::chmod(ini.c_str(), 0640), 0);
  const std::string link = dir.path("link.INI");
  ASSERT_EQ(::symlink(ini.c_str(), link.c_str()), 0);
  ASSERT_EQ(write_profile_string(link, "Main", "XPos", "4"), kNoError);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(testing::read_file(ini), "[Main]\nXPos=4\n");
  struct stat st;
  ASSERT_EQ(::stat(ini.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

}  // namespace
}  // namespace orvel::platform
