// The layouts of lists in the list-formats file: their text form, saving, listing, renaming
// and deleting through the file, and where the file lives.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/list_formats_record.h"
#include "platform/browse/list_format_store.h"
#include "platform/browse/list_formats_location.h"
#include "platform/browse/list_layout.h"
#include "platform/error_codes.h"
#include "platform/mem_file_system.h"
#include "platform/tests/temp_dir.h"

namespace orvel::browse {
namespace {

TEST(ListLayout, TextRoundTripsAndMalformedTextIsRefused) {
  const ListLayout layout{{{2, 120}, {0, 30}, {5, 1020}}};
  EXPECT_EQ(layout_text(layout), "2:120,0:30,5:1020");
  EXPECT_EQ(parse_layout("2:120,0:30,5:1020"), layout);
  EXPECT_EQ(parse_layout("  2:120,0:30,5:1020   "), layout);  // as a blank-padded field
  EXPECT_EQ(parse_layout(""), ListLayout{});
  for (const char* bad :
       {"2", "2:", ":5", "2:x", "2:120,", "2:120,2:30", "-1:5", "1:99999", "1:5;2:6"}) {
    EXPECT_FALSE(parse_layout(bad).has_value()) << bad;
  }
}

class ListFormatsFile : public ::testing::Test {
 protected:
  ListFormatsFile() { fs.add_directory("/cfg"); }

  std::unique_ptr<ListFormatStore> store(const char* app = "orvel", const char* proc = "Main",
                                         int control = 1) {
    auto s = std::make_unique<ListFormatStore>(decl, app, proc, control, fs);
    EXPECT_EQ(s->open(), kNoError);
    return s;
  }

  static std::vector<std::pair<int, std::string>> names(ListFormatStore& s) {
    std::vector<SavedLayout> layouts;
    EXPECT_EQ(s.list(&layouts), kNoError);
    std::vector<std::pair<int, std::string>> out;
    for (const SavedLayout& l : layouts) out.emplace_back(l.number, l.name);
    return out;
  }

  platform::MemFileSystem fs;
  datafile::TableDecl decl = app::list_formats_table("/cfg/Formats.FDB");
};

TEST_F(ListFormatsFile, SaveRenameDeleteRoundTripThroughTheFile) {
  {
    auto s = store();
    EXPECT_TRUE(fs.exists("/cfg/Formats.FDB"));  // created on first use
    ASSERT_EQ(s->save({3,
                       "\xd1\xee\xf0\xf2\xe8\xf0\xee\xe2\xea\xe0"
                       "2",
                       "2:120,0:30"}),
              kNoError);
    ASSERT_EQ(s->save({2,
                       "\xd1\xee\xf0\xf2\xe8\xf0\xee\xe2\xea\xe0"
                       "1",
                       "1:30,0:30"}),
              kNoError);
    ASSERT_EQ(s->save({100, "wide", "5:1020"}), kNoError);
    ASSERT_EQ(s->save({2,
                       "\xd1\xee\xf0\xf2\xe8\xf0\xee\xe2\xea\xe0"
                       "1",
                       "1:44"}),
              kNoError);
    ASSERT_EQ(s->rename(100, "narrow"), kNoError);
  }
  auto s = store();
  EXPECT_EQ(names(*s),
            (std::vector<std::pair<int, std::string>>{{2,
                                                       "\xd1\xee\xf0\xf2\xe8\xf0\xee\xe2\xea\xe0"
                                                       "1"},
                                                      {3,
                                                       "\xd1\xee\xf0\xf2\xe8\xf0\xee\xe2\xea\xe0"
                                                       "2"},
                                                      {100, "narrow"}}));
  SavedLayout found;
  ASSERT_EQ(s->find(2, &found), kNoError);
  EXPECT_EQ(found.format, "1:44");  // saved again under its number: replaced

  ASSERT_EQ(s->remove(3), kNoError);
  EXPECT_EQ(s->find(3, &found), kRecordNotFound);
  EXPECT_EQ(s->remove(3), kRecordNotFound);
  EXPECT_EQ(s->rename(3, "x"), kRecordNotFound);
  int free = 0;
  ASSERT_EQ(s->free_number(100, &free), kNoError);
  EXPECT_EQ(free, 101);
  ASSERT_EQ(s->free_number(3, &free), kNoError);
  EXPECT_EQ(free, 3);
}

TEST_F(ListFormatsFile, ListsOfOtherWindowsAndProgramsStayApart) {
  auto main_list = store("orvel", "Main", 1);
  auto other_list = store("orvel", "Main", 2);
  auto other_window = store("orvel", "ViewPSP", 1);
  auto other_program = store("other", "Main", 1);
  ASSERT_EQ(main_list->save({2, "mine", "0:30"}), kNoError);
  ASSERT_EQ(other_list->save({2, "list 2", "0:31"}), kNoError);
  ASSERT_EQ(other_window->save({1, "view", "0:32"}), kNoError);
  ASSERT_EQ(other_program->save({2, "theirs", "0:33"}), kNoError);
  EXPECT_EQ(names(*main_list), (std::vector<std::pair<int, std::string>>{{2, "mine"}}));
  EXPECT_EQ(names(*other_program), (std::vector<std::pair<int, std::string>>{{2, "theirs"}}));
  // The key ignores letter case: "ORVEL" and "main" name the same list.
  auto same = store("ORVEL", "main", 1);
  EXPECT_EQ(names(*same), (std::vector<std::pair<int, std::string>>{{2, "mine"}}));
}

TEST_F(ListFormatsFile, ADeclarationOfAnotherShapeIsRefused) {
  datafile::TableDecl wrong = decl;
  wrong.fields.resize(5);
  ListFormatStore s(wrong, "orvel", "Main", 1, fs);
  EXPECT_EQ(s.open(), kInvalidRecordDeclaration);
  std::vector<SavedLayout> layouts;
  EXPECT_EQ(s.list(&layouts), kFileNotOpen);
}

TEST(ListFormatsLocation, APerUserPathChosenFromTheEnvironment) {
  EXPECT_EQ(list_formats_file_path("/tmp/f.FDB", "/x", "/home/u"), "/tmp/f.FDB");
  EXPECT_EQ(list_formats_file_path("", "/x", "/home/u"), "/x/orvel/Formats.FDB");
  EXPECT_EQ(list_formats_file_path(nullptr, "relative", "/home/u"),
            "/home/u/.config/orvel/Formats.FDB");
  EXPECT_EQ(list_formats_file_path(nullptr, nullptr, nullptr), "orvel/Formats.FDB");
}

TEST(ListFormatsLocation, MissingDirectoriesAreMadeAndAFileInTheWayFails) {
  platform::testing::TempDir temp("orvel-formats-test");
  const std::filesystem::path dir = temp.path();
  EXPECT_EQ(create_list_formats_directory((dir / "a/b/Formats.FDB").string()), kNoError);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b"));
  std::ofstream(dir / "file") << "x";
  EXPECT_NE(create_list_formats_directory((dir / "file/sub/Formats.FDB").string()), kNoError);
}

}  // namespace
}  // namespace orvel::browse
