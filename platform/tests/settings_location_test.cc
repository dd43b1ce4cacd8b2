#include "platform/settings_location.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/error_codes.h"
#include "platform/tests/temp_dir.h"

namespace orvel::platform {
namespace {

TEST(SettingsLocationTest, CreatesTheMissingDirectories) {
  testing::TempDir dir;
  const std::string ini = dir.path("a/b/c/orvel.INI");
  ASSERT_EQ(create_settings_directory(ini), kNoError);
  EXPECT_TRUE(std::filesystem::is_directory(dir.path("a/b/c")));
  EXPECT_EQ(create_settings_directory(ini), kNoError) << "existing directories are fine";
  EXPECT_EQ(create_settings_directory("orvel.INI"), kNoError) << "the current directory";

  testing::write_file(dir.path("file"), "x");
  EXPECT_EQ(create_settings_directory(dir.path("file/sub/orvel.INI")), kPathNotFound);
  EXPECT_EQ(create_settings_directory(dir.path("file/orvel.INI")), kPathNotFound);
}

}  // namespace
}  // namespace orvel::platform
