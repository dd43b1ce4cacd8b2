#include "platform/private_profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/error_codes.h"
#include "platform/tests/temp_dir.h"

namespace orvel::platform {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

class PrivateProfileTest : public ::testing::Test {
 protected:
  std::vector<std::string> files_in_dir() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  TempDir dir_;
  const std::string ini_ = dir_.path("orvel.INI");
};

TEST_F(PrivateProfileTest, WritesCreateFileSectionAndEntry) {
  EXPECT_EQ(get_profile_string(ini_, "Main", "XPos", "none"), "none");
  EXPECT_EQ(get_profile_int(ini_, "Main", "XPos", -1), -1);
  ASSERT_EQ(write_profile_string(ini_, "Main", "XPos", "12"), kNoError);
  ASSERT_EQ(write_profile_string(ini_, "Main", "Maximize", "No"), kNoError);
  ASSERT_EQ(write_profile_string(ini_, "main", "xpos", "13"), kNoError);
  EXPECT_EQ(read_file(ini_), "[Main]\r\nXPos=13\r\nMaximize=No\r\n");
  EXPECT_EQ(get_profile_int(ini_, "MAIN", "XPOS", -1), 13);
  EXPECT_EQ(get_profile_string(ini_, "Main", "Missing", "dflt"), "dflt");
  EXPECT_EQ(get_profile_string(ini_, "ViewPSP", "XPos", "dflt"), "dflt");
  EXPECT_EQ(files_in_dir(), std::vector<std::string>{"orvel.INI"}) << "no temporary file left";
}

TEST_F(PrivateProfileTest, ChangesKeepTheRestOfTheFileByteForByte) {
  const std::string original =
      "; kept\n[List Format Manager]\nbrowse_x=5\n\n[Main]\nMaximize=Yes\n\x01\xFF garbage\n";
  write_file(ini_, original);
  ASSERT_EQ(write_profile_string(ini_, "Main", "Maximize", "No"), kNoError);
  ASSERT_EQ(write_profile_string(ini_, "ViewPSP", "Minimize", "Yes"), kNoError);
  EXPECT_EQ(read_file(ini_),
            "; kept\n[List Format Manager]\nbrowse_x=5\n\n[Main]\nMaximize=No\n\x01\xFF garbage\n"
            "[ViewPSP]\nMinimize=Yes\n");
  ASSERT_EQ(delete_profile_key(ini_, "viewpsp", "MINIMIZE"), kNoError);
  ASSERT_EQ(delete_profile_section(ini_, "VIEWPSP"), kNoError);
  ASSERT_EQ(write_profile_string(ini_, "Main", "Maximize", "Yes"), kNoError);
  EXPECT_EQ(read_file(ini_), original);
}

TEST_F(PrivateProfileTest, DeletingWhatIsNotThereChangesNothing) {
  EXPECT_EQ(delete_profile_key(ini_, "Main", "XPos"), kNoError);
  EXPECT_EQ(delete_profile_section(ini_, "Main"), kNoError);
  EXPECT_FALSE(std::filesystem::exists(ini_)) << "no file is created by a deletion";
}

TEST_F(PrivateProfileTest, IntegersAsTheyAreRead) {
  const std::pair<const char*, int> cases[] = {
      {"12", 12},
      {"-3", -3},
      {"+7", 7},
      {"12px", 12},
      {"px", -99},
      {"", -99},
      {"+-1", -99},
      {"- 1", -99},
      {"99999999999", -99},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
  };
  for (const auto& [value, expected] : cases) {
    write_file(ini_, std::string("[S]\nK=") + value + "\n");
    EXPECT_EQ(get_profile_int(ini_, "S", "K", -99), expected) << '"' << value << '"';
  }
}

TEST_F(PrivateProfileTest, NamesAndValuesThatWouldNotReadBackAreRefused) {
  write_file(ini_, "[Main]\nXPos=1\n");
  EXPECT_EQ(write_profile_string(ini_, "Main", "XPos", "1\r\n[Evil]"), kSystemInvalidName);
  EXPECT_EQ(write_profile_string(ini_, "Ma]in", "XPos", "1"), kSystemInvalidName);
  EXPECT_EQ(write_profile_string(ini_, "Main", "X=Pos", "1"), kSystemInvalidName);
  EXPECT_EQ(write_profile_string(ini_, "Main", "", "1"), kSystemInvalidName);
  EXPECT_EQ(read_file(ini_), "[Main]\nXPos=1\n");
}

TEST_F(PrivateProfileTest, AFileThatCannotBeReadIsNeverReplaced) {
  // Too large to be a settings file.
  const std::string big = "[Main]\n" + std::string(kMaxProfileSize, ';') + "\n";
  write_file(ini_, big);
  EXPECT_EQ(get_profile_string(ini_, "Main", "XPos", "d"), "d");
  EXPECT_EQ(write_profile_string(ini_, "Main", "XPos", "1"), kAccessDenied);
  EXPECT_EQ(delete_profile_section(ini_, "Main"), kAccessDenied);
  EXPECT_EQ(std::filesystem::file_size(ini_), big.size());

  // A directory where the file should be.
  const std::string dir_ini = dir_.path("dir.INI");
  ASSERT_TRUE(std::filesystem::create_directory(dir_ini));
  EXPECT_NE(write_profile_string(dir_ini, "Main", "XPos", "1"), kNoError);
  EXPECT_TRUE(std::filesystem::is_directory(dir_ini));
  EXPECT_EQ(files_in_dir().size(), 2u) << "no temporary file left";
}

TEST_F(PrivateProfileTest, MissingDirectoryIsAnError) {
  EXPECT_EQ(write_profile_string(dir_.path("no/such/orvel.INI"), "Main", "XPos", "1"),
            kPathNotFound);
  EXPECT_EQ(get_profile_string(dir_.path("no/such/orvel.INI"), "Main", "XPos", "d"), "d");
}

}  // namespace
}  // namespace orvel::platform
