// The hvk tool run as a program on files made by the engine.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "datafile/byte_order.h"
#include "datafile/data_file.h"
#include "datafile/key_encoding.h"
#include "datafile/record_keys.h"
#include "datafile/table.h"
#include "datafile/tests/child_process.h"
#include "datafile/tests/passport_declaration.h"
#include "platform/error_codes.h"
#include "platform/tests/temp_dir.h"

namespace orvel {
namespace {

using namespace datafile;
namespace om = platform::open_mode;

struct ToolRun {
  int status;
  std::string out;
};

ToolRun run(const std::vector<std::string>& arguments) {
  std::vector<std::string> args{HVK_PATH};
  args.insert(args.end(), arguments.begin(), arguments.end());
  orvel::testing::ChildProcess tool(args, /*merge_errors=*/true);
  ToolRun result{0, tool.read_all()};
  result.status = tool.wait();
  return result;
}

class HvkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    decl_ = passport_declaration();
    decl_.file_name = dir_ + "/passport.hvk";
    ASSERT_EQ(Table(decl_).create(), kNoError);
    Table t(decl_);
    ASSERT_EQ(t.open(om::kReadWrite | om::kDenyNone), kNoError);
    for (int i = 0; i < 30; ++i) {
      std::memset(t.record(), ' ', 798);
      std::string num = std::to_string(1000 + i);
      std::memcpy(t.record(), "45 01", 5);
      std::memcpy(t.record() + 20, num.data(), num.size());
      std::memcpy(t.record() + 40, "\xC8\xC2\xC0\xCD\xCE\xC2", 6);  // Cyrillic in 1251
      store_u32_le(t.record() + 290, 74883);
      store_u32_le(t.record() + 294, 0);
      ASSERT_EQ(t.add(), kNoError);
    }
  }
  std::string file() const { return dir_ + "/passport.hvk"; }

  platform::testing::TempDir temp_{"orvel-hvk"};
  const std::string dir_ = temp_.path();
  TableDecl decl_;
};

TEST_F(HvkTest, SoundFileChecksOk) {
  ToolRun r = run({"check", file()});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "ok\n");
}

TEST_F(HvkTest, InfoShowsTheTable) {
  ToolRun r = run({"info", file()});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("table UNNAMED  number 1  records 30"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("PSP:KL_DATEIMP_NUM_SER DUP NOCASE"), std::string::npos) << r.out;
}

TEST_F(HvkTest, DumpListsRecordsInUtf8) {
  ToolRun r = run({"dump", file()});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(
      r.out.find("\t45 01\t1000\t\xD0\x98\xD0\x92\xD0\x90\xD0\x9D\xD0\x9E\xD0\x92\t74883\t0\t\n"),
      std::string::npos)
      << r.out;
}

TEST_F(HvkTest, MissingKeyEntryIsAProblem) {
  {
    std::unique_ptr<platform::File> f;
    ASSERT_EQ(platform::system_file_system().open(file(), om::kReadWrite | om::kDenyNone,
                                                  platform::Disposition::kOpenExisting, &f),
              kNoError);
    std::unique_ptr<DataFile> data;
    ASSERT_EQ(DataFile::open(std::move(f), om::kReadWrite | om::kDenyNone, {}, &data), kNoError);
    // The first entry of key 2 (FIO) goes.
    Bytes prefix = table_kind_prefix(1, 2);
    const Record* entry = data->tree().find_first_above(KeyView(prefix.data(), prefix.size()));
    ASSERT_NE(entry, nullptr);
    Bytes key(entry->key().begin(), entry->key().end());
    data->tree().erase(KeyView(key.data(), key.size()));
    ASSERT_EQ(data->close(), kNoError);
  }
  ToolRun r = run({"check", file()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("has no entry in key 2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("key 2 counts 30 entries, holds 29"), std::string::npos) << r.out;
}

TEST_F(HvkTest, DamagedOrMissingFiles) {
  EXPECT_EQ(run({"check", dir_ + "/none.hvk"}).status, 2);
  {
    std::ofstream junk(dir_ + "/junk.hvk", std::ios::binary);
    junk << std::string(300, 'x');
  }
  ToolRun r = run({"check", dir_ + "/junk.hvk"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("error 36 Invalid Data File"), std::string::npos) << r.out;
  // Garbage over the pages after the header: a structural problem, never a crash.
  {
    std::fstream f(file(), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(0x200 + 20);
    f << std::string(200, '\x5A');
  }
  r = run({"check", file()});
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_FALSE(r.out.empty());
  EXPECT_EQ(run({"bogus"}).status, 2);
}

}  // namespace
}  // namespace orvel
