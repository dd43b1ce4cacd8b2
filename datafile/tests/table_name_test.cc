#include "datafile/table_name.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

// Answers is_directory from a fixed set; nothing is ever opened.
class DirectoryList : public platform::FileSystem {
 public:
  explicit DirectoryList(std::set<std::string> directories)
      : directories_(std::move(directories)) {}
  int open(const std::string&, int, platform::Disposition,
           std::unique_ptr<platform::File>*) override {
    return kFileNotFound;
  }
  int remove(const std::string&) override { return kFileNotFound; }
  bool is_directory(const std::string& path) override { return directories_.count(path) != 0; }

 private:
  std::set<std::string> directories_;
};

TEST(TableNameTest, SplitsAtTheFirstSeparatorAfterAFile) {
  DirectoryList fs({"C:\\DATA", "/srv"});
  struct Case {
    std::string given;
    std::string file;
    std::string table;
  };
  const Case cases[] = {
      {"C:\\DATA\\PASS.HVK\\!archive", "C:\\DATA\\PASS.HVK", "ARCHIVE"},
      {"C:\\DATA\\PASS", "C:\\DATA\\PASS.HVK", "UNNAMED"},
      {"passport.hvk", "passport.hvk", "UNNAMED"},
      {"passport", "passport.HVK", "UNNAMED"},
      {"data/passport\\!Old_1", "data/passport.HVK", "OLD_1"},
      {"pass.hvk\\!", "pass.hvk", "UNNAMED"},
      // Only Latin letters change case; the name keeps everything after the separator.
      {"pass\\!a\xE0z\\!b", "pass.HVK", "A\xE0Z\\!B"},
      // After an existing directory "\\!" is a path separator and a name starting with "!".
      {"C:\\DATA\\!old\\pass\\!t", "C:\\DATA\\!old\\pass.HVK", "T"},
      {"/srv\\!x", "/srv\\!x.HVK", "UNNAMED"},
      // A dot in a directory is no extension of the file.
      {"/srv/v1.2/pass", "/srv/v1.2/pass.HVK", "UNNAMED"},
  };
  for (const Case& c : cases) {
    TableName name = split_table_name(c.given, fs);
    EXPECT_EQ(name.file_name, c.file) << c.given;
    EXPECT_EQ(name.table_name, c.table) << c.given;
  }
}

}  // namespace
}  // namespace orvel::datafile
