#include "platform/ini_manager.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/error_codes.h"
#include "platform/private_profile.h"
#include "platform/settings_location.h"
#include "platform/tests/temp_dir.h"

namespace orvel::platform {
namespace {

using namespace std::string_literals;
using testing::read_file;
using testing::write_file;

class IniManagerTest : public ::testing::Test {
 protected:
  // The entries of a section as "key=value" lines, to compare whole sections at once.
  std::string section(std::string_view name) const {
    ProfileText text;
    EXPECT_EQ(load_profile(ini_, &text), kNoError);
    std::string out;
    for (const auto& entry : text.entries(name)) out += entry.key + "=" + entry.value + "\n";
    return out;
  }

  std::vector<SectorItem> read_list() const {
    IniManager manager(ini_);
    EXPECT_EQ(manager.start(), kNoError);
    return manager.sectors();
  }

  testing::TempDir dir_;
  const std::string ini_ = dir_.path("config/orvel.INI");
};

TEST_F(IniManagerTest, StartAndExitWithNothingLeavesACountOfZero) {
  IniManager manager(ini_);
  ASSERT_EQ(manager.start(), kNoError) << "a missing file is an empty list";
  EXPECT_TRUE(manager.sectors().empty());
  ASSERT_EQ(manager.shutdown(), kNoError) << "the missing directory is created";
  EXPECT_EQ(read_file(ini_), "[__Dont_Touch_Me__]\r\nSectors=0\r\n");
}

TEST_F(IniManagerTest, ListRoundTrip) {
  const std::vector<SectorItem> items = {
      {"1", "two", "three"},
      {"", "", ""},
      {"\xCE\xF0", "b", "c,d,e"},
  };
  {
    IniManager manager(ini_);
    ASSERT_EQ(manager.start(), kNoError);
    ASSERT_EQ(manager.set_sectors(items), kNoError);
    ASSERT_EQ(manager.shutdown(), kNoError);
  }
  EXPECT_EQ(section("__Dont_Touch_Me__"),
            "Sectors=3\nSectors_1=1,two,three\nSectors_2=,,\nSectors_3=\xCE\xF0,b,c,d,e\n");
  EXPECT_EQ(read_list(), items);
}

TEST_F(IniManagerTest, ShutdownRemovesStaleItemsAndKeepsEverythingElse) {
  ASSERT_EQ(create_settings_directory(ini_), kNoError);
  write_file(ini_,
             "[Main]\r\nMaximize=No\r\n"
             "[__Dont_Touch_Me__]\r\n"
             "; ours\r\nsectors=4\r\nSectors_1=a,b,c\r\nSECTORS_2=d,e,f\r\nOther=kept\r\n"
             "Sectors_3=g,h,i\r\nSectors_4=j,k,l\r\nSectors_99999999999999999999999=x\r\n"
             "Sectors_0=zero\r\nSectors_x=not numbered\r\n"
             "[List Format Manager]\r\nbrowse_x=3\r\n");
  IniManager manager(ini_);
  ASSERT_EQ(manager.start(), kNoError);
  ASSERT_EQ(manager.sectors().size(), 4u);
  EXPECT_EQ(manager.sectors()[1], (SectorItem{"d", "e", "f"}));
  ASSERT_EQ(manager.set_sectors({{"n", "e", "w"}}), kNoError);
  ASSERT_EQ(manager.shutdown(), kNoError);
  EXPECT_EQ(read_file(ini_),
            "[Main]\r\nMaximize=No\r\n"
            "[__Dont_Touch_Me__]\r\n"
            "; ours\r\nsectors=1\r\nSectors_1=n,e,w\r\nOther=kept\r\n"
            "Sectors_x=not numbered\r\n"
            "[List Format Manager]\r\nbrowse_x=3\r\n");
}

TEST_F(IniManagerTest, MalformedListsReadAsWhatIsThere) {
  ASSERT_EQ(create_settings_directory(ini_), kNoError);
  struct Case {
    std::string body;
    std::vector<SectorItem> expected;
  };
  const Case cases[] = {
      {"Sectors=many\nSectors_1=a,b,c\n", {}},
      {"Sectors=-1\nSectors_1=a,b,c\n", {}},
      {"Sectors_1=a,b,c\n", {}},
      {"Sectors=3\nSectors_1=a,b,c\nSectors_3=g\n", {{"a", "b", "c"}, {"g", "", ""}}},
      {"Sectors=2147483647\nSectors_1=a,b\n", {{"a", "b", ""}}},
      {"Sectors=1\nSectors_1=\n", {{"", "", ""}}},
  };
  for (const Case& c : cases) {
    write_file(ini_, "[__Dont_Touch_Me__]\n" + c.body);
    EXPECT_EQ(read_list(), c.expected) << c.body;
  }

  // Garbage, a header without "]", and bytes that are no text.
  write_file(ini_, "\0\xFF\n[__Dont_Touch_Me__\nSectors=1\nSectors_1=\0,\xFF\n"s);
  EXPECT_EQ(read_list(), (std::vector<SectorItem>{{std::string(1, '\0'), "\xFF", ""}}));
}

TEST_F(IniManagerTest, ItemsThatWouldNotReadBackAreRefused) {
  IniManager manager(ini_);
  ASSERT_EQ(manager.set_sectors({{"a", "b", "c"}}), kNoError);
  EXPECT_EQ(manager.set_sectors({{"a,", "b", "c"}}), kSystemInvalidName);
  EXPECT_EQ(manager.set_sectors({{"a", "b,", "c"}}), kSystemInvalidName);
  EXPECT_EQ(manager.set_sectors({{"a", "b", "c\n"}}), kSystemInvalidName);
  EXPECT_EQ(manager.set_sectors({{" a", "b", "c"}}), kSystemInvalidName);
  EXPECT_EQ(manager.sectors(), (std::vector<SectorItem>{{"a", "b", "c"}}));
}

TEST_F(IniManagerTest, AnUnreadableFileIsReportedAndKept) {
  ASSERT_TRUE(std::filesystem::create_directory(dir_.path("config")));
  ASSERT_TRUE(std::filesystem::create_directory(ini_));
  IniManager manager(ini_);
  EXPECT_NE(manager.start(), kNoError);
  EXPECT_NE(manager.shutdown(), kNoError);
  EXPECT_NE(manager.save_window_position("Main", {}), kNoError);
  EXPECT_FALSE(manager.load_window_position("Main", true));
}

TEST_F(IniManagerTest, SavedWindowPositions) {
  // Every entry is there beforehand, in another letter case: existing entries keep their
  // spelling and place, deleted ones go, new ones follow the last entry of the section.
  const std::string before = "maximize=?\nXPOS=0\nypos=0\nwidth=0\nHEIGHT=0\nOther=1\n";
  struct Case {
    WindowState state;
    std::string after;
  };
  const Case cases[] = {
      {{.maximized = true, .x = 1, .y = 2, .width = 3, .height = 4, .resizable = true},
       "maximize=Yes\nOther=1\nMinimize=No\n"},
      {{.minimized = true, .x = 1, .y = 2, .width = 3, .height = 4, .resizable = true},
       "maximize=No\nOther=1\nMinimize=Yes\n"},
      {{.x = -10, .y = 20, .width = 300, .height = 400, .resizable = true},
       "maximize=No\nXPOS=-10\nypos=20\nwidth=300\nHEIGHT=400\nOther=1\nMinimize=No\n"},
      {{.x = 5, .y = 6, .width = 300, .height = 400, .resizable = false},
       "maximize=No\nXPOS=5\nypos=6\nOther=1\nMinimize=No\n"},
  };
  ASSERT_EQ(create_settings_directory(ini_), kNoError);
  for (const Case& c : cases) {
    write_file(ini_, "[main]\n" + before + "[ViewPSP]\nXPos=9\n");
    ASSERT_EQ(IniManager(ini_).save_window_position("Main", c.state), kNoError);
    EXPECT_EQ(read_file(ini_), "[main]\n" + c.after + "[ViewPSP]\nXPos=9\n");
  }
}

TEST_F(IniManagerTest, StoredPositionsToApply) {
  ASSERT_EQ(create_settings_directory(ini_), kNoError);
  auto load = [&](const std::string& body, bool resizable) {
    write_file(ini_, "[Main]\n" + body);
    return IniManager(ini_).load_window_position("Main", resizable);
  };
  const std::string all = "XPos=10\nYPos=-20\nWidth=300\nHeight=200\n";
  for (const char* value : {"maybe", "yes", "NO", "", "Yes please"}) {
    EXPECT_FALSE(load(std::string("Maximize=") + value + "\n" + all, true)) << value;
  }
  EXPECT_FALSE(load(all, true)) << "no \"Maximize\" entry";

  auto yes = load("Maximize=Yes\n" + all, true);
  ASSERT_TRUE(yes);
  EXPECT_TRUE(yes->maximized);
  EXPECT_EQ(yes->position, (std::array<int, 2>{10, -20}));
  EXPECT_EQ(yes->size, (std::array<int, 2>{300, 200}));

  auto fixed = load("Maximize=No\n" + all, false);
  ASSERT_TRUE(fixed);
  EXPECT_FALSE(fixed->maximized);
  EXPECT_EQ(fixed->position, (std::array<int, 2>{10, -20}));
  EXPECT_FALSE(fixed->size) << "a window of fixed size keeps its size";

  // Written while minimised: nothing but the flags is stored.
  auto bare = load("Maximize=No\nMinimize=Yes\n", true);
  ASSERT_TRUE(bare);
  EXPECT_FALSE(bare->position);
  EXPECT_FALSE(bare->size);

  auto broken = load("Maximize=No\nXPos=left\nYPos=1\nWidth=0\nHeight=10\n", true);
  ASSERT_TRUE(broken);
  EXPECT_FALSE(broken->position) << "a position is applied only as a whole";
  EXPECT_FALSE(broken->size) << "an empty size would hide the window";
}

TEST_F(IniManagerTest, PositionsSurviveASaveAndLoad) {
  IniManager manager(ini_);
  WindowState state{.x = 40, .y = 50, .width = 640, .height = 480, .resizable = true};
  ASSERT_EQ(manager.save_window_position("ViewPSP", state), kNoError);
  auto placement = manager.load_window_position("viewpsp", true);
  ASSERT_TRUE(placement);
  EXPECT_EQ(placement->position, (std::array<int, 2>{40, 50}));
  EXPECT_EQ(placement->size, (std::array<int, 2>{640, 480}));
}

}  // namespace
}  // namespace orvel::platform
