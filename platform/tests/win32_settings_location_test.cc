// The INI file's place on Windows.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <windows.h>

#include "platform/settings_location.h"

namespace orvel::platform {
namespace {

TEST(Win32SettingsLocationTest, TheWindowsDirectoryUnlessTheEnvironmentNamesAFile) {
  ASSERT_EQ(_putenv_s("ORVEL_INI", "C:\\t\\my.INI"), 0);
  EXPECT_EQ(settings_file_path(), "C:\\t\\my.INI");
  ASSERT_EQ(_putenv_s("ORVEL_INI", ""), 0);
  char windows[MAX_PATH + 1];
  UINT n = ::GetWindowsDirectoryA(windows, sizeof windows);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(settings_file_path(), std::string(windows, n) + "\\orvel.INI");
}

}  // namespace
}  // namespace orvel::platform
