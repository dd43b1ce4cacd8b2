#include "platform/settings_location.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/error_codes.h"
#include "platform/tests/temp_dir.h"

namespace orvel::platform {
namespace {

TEST(SettingsLocationTest, ChoiceOfTheFile) {
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

TEST(SettingsLocationTest, CreatesTheMissingDirectories) {
  testing::TempDir dir;
  const std::string ini = dir.path("a/b/c/orvel.INI");
  ASSERT_EQ(create_settings_directory(ini), kNoError);
  EXPECT_TRUE(std::filesystem::is_directory(dir.path("a/b/c")));
  struct stat st;
  ASSERT_EQ(::stat(dir.path("a/b").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(create_settings_directory(ini), kNoError) << "existing directories are fine";
  EXPECT_EQ(create_settings_directory("orvel.INI"), kNoError) << "the current directory";

  testing::write_file(dir.path("file"), "x");
  EXPECT_EQ(create_settings_directory(dir.path("file/sub/orvel.INI")), kPathNotFound);
  EXPECT_EQ(create_settings_directory(dir.path("file/orvel.INI")), kPathNotFound);
}

}  // namespace
}  // namespace orvel::platform
