#include "tools/cli.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/tests/temp_dir.h"
#include "tools/cli_args.h"

namespace orvel::tools {
namespace {

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    setenv("ORVEL_TODAY", "2006-03-15", 1);
  }
  void TearDown() override {
    unsetenv("ORVEL_TODAY");
    std::filesystem::current_path(previous_);
  }

  // Runs orvel-cli -C DIR args...; out and err hold what it printed.
  int run(std::vector<std::string> args) {
    args.insert(args.begin(), {"-C", dir_.string()});
    std::ostringstream out_stream, err_stream;
    int status = run_cli(args, out_stream, err_stream, false);
    out = out_stream.str();
    err = err_stream.str();
    return status;
  }

  std::string write_file(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return (dir_ / name).string();
  }
  std::string read_file(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  platform::testing::TempDir temp_{"orvel-cli"};
  std::filesystem::path previous_, dir_ = temp_.path();
  std::string out, err;
};

// Two Cyrillic names in code page 1251 (ИВАНОВ, ПЕТРОВА) and a reason with a tab in it.
const std::string kUpdate =
    "\"45 01\";\"123456\";\"\xC8\xC2\xC0\xCD\xCE\xC2\";\"2001-05-17\";\"lost\";\"2006-03-01\"\r\n"
    "\"45 02\";\"123999\";\"\xCF\xC5\xD2\xD0\xCE\xC2\xC0\";\"\";\"a\tb\\c\";\"\"\r\n"
    "\r\n";

TEST_F(CliTest, CountOfAMissingFileCreatesIt) {
  EXPECT_EQ(run({"count"}), kExitOk) << err;
  EXPECT_EQ(out, "0\n");
  EXPECT_TRUE(std::filesystem::exists(dir_ / "passport.hvk"));
}

TEST_F(CliTest, ImportPrintsItsCountersThenSearchFindsTheRows) {
  const std::string file = write_file("update.txt", kUpdate);
  ASSERT_EQ(run({"import", file}), kExitOk) << err;
  EXPECT_EQ(out,
            "records_read=3\nadded=2\nchanged=0\nskipped=1\npassports=2\n"
            "progress_total=" +
                std::to_string(kUpdate.size()) + "\nfile_size=" + std::to_string(kUpdate.size()) +
                "\nfailed=0\n");

  EXPECT_EQ(run({"search", "number", "12 3", "--tsv"}), kExitOk) << err;
  EXPECT_EQ(out,
            "45 01\t123456\tИВАНОВ\t2001-05-17\t2006-03-01\tlost\n"
            "45 02\t123999\tПЕТРОВА\t\t2006-03-15\ta\\tb\\\\c\n");

  EXPECT_EQ(run({"search", "name", "ПЕТ", "--tsv"}), kExitOk) << err;
  EXPECT_EQ(out.substr(0, 13), "45 02\t123999\t");

  EXPECT_EQ(run({"search", "series", "4503"}), kExitNotFound);
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "Данные не найдены.\n");

  EXPECT_EQ(run({"search", "series", "  "}), kExitOk);
  EXPECT_EQ(out + err, "");

  EXPECT_EQ(run({"count"}), kExitOk);
  EXPECT_EQ(out, "2\n");
}

TEST_F(CliTest, ShowBrowseAndExport) {
  run({"import", write_file("update.txt", kUpdate)});

  EXPECT_EQ(run({"show", "45 01", "123456"}), kExitOk) << err;
  EXPECT_NE(out.find("ИВАНОВ"), std::string::npos);
  EXPECT_NE(out.find("17-05-2001"), std::string::npos);  // the screen's picture
  EXPECT_EQ(run({"show", "45 01", "1"}), kExitNotFound);
  EXPECT_NE(err.find("Record Not Found"), std::string::npos);

  EXPECT_EQ(run({"browse", "name", "--from", "П", "--tsv"}), kExitOk) << err;
  EXPECT_EQ(out.substr(0, 6), "45 02\t");
  EXPECT_EQ(run({"browse", "number", "--limit", "1", "--tsv"}), kExitOk);
  EXPECT_EQ(out.substr(0, 6), "45 01\t");
  EXPECT_EQ(run({"browse", "number", "--from", "9"}), kExitOk);
  EXPECT_EQ(out, "");

  EXPECT_EQ(run({"export", (dir_ / "out.txt").string()}), kExitOk) << err;
  EXPECT_EQ(out, "exported=2\nfailed=0\npassports=2\n");
  EXPECT_EQ(read_file("out.txt"),
            kUpdate.substr(0, kUpdate.find("\"\"\r\n\r\n")) + "\"2006-03-15\"\r\n");
}

TEST_F(CliTest, ErrorsExitWithTwo) {
  EXPECT_EQ(run({"import", (dir_ / "missing.txt").string()}), kExitError);
  EXPECT_NE(err.find("File Not Found"), std::string::npos);
  EXPECT_EQ(out, "");
  EXPECT_EQ(run({"export", (dir_ / "no" / "out.txt").string()}), kExitError);
  EXPECT_NE(err.find("Path Not Found"), std::string::npos);
  EXPECT_EQ(run({"import", std::string(251, 'x')}), kExitError);

  // Not a passport file.
  write_file("passport.hvk", std::string(700, 'x'));
  EXPECT_EQ(run({"count"}), kExitError);
  EXPECT_NE(err.find("File Access Error"), std::string::npos);
  EXPECT_NE(err.find("  Press OK to end this application"), std::string::npos);
}

TEST(CliArgsTest, UsageAndBadArguments) {
  std::ostringstream out, err;
  EXPECT_EQ(run_cli({"--help"}, out, err, false), kExitOk);
  EXPECT_EQ(out.str(), kUsage);
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"frobnicate"},
      {"count", "extra"},
      {"search", "number"},
      {"search", "date", "1"},
      {"browse", "series"},
      {"browse", "name", "--limit", "-1"},
      {"browse", "name", "--limit", "x"},
      {"show", "45 01"},
      {"import"},
      {"import", ""},
      {"import", "--batch", "0", "f"},
      {"import", "--batch", "x", "f"},
      {"import", "f", "--batch"},
      {"export", "--batch", "2", "f"},
      {"count", "--tsv"},
      {"-C"},
  };
  for (const auto& args : bad) {
    std::ostringstream o, e;
    EXPECT_EQ(run_cli(args, o, e, false), kExitError) << ::testing::PrintToString(args);
    EXPECT_NE(e.str().find("usage:"), std::string::npos);
  }
  ParseResult parsed = parse_cli_args({"browse", "name", "--tsv", "--from", "a", "--limit", "7"});
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.command.from, "a");
  EXPECT_EQ(parsed.command.limit, 7u);
  EXPECT_TRUE(parsed.command.tsv);
  parsed = parse_cli_args({"import", "--batch", "500", "update.txt"});
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.command.batch, 500u);
  EXPECT_EQ(parsed.command.text, "update.txt");
  EXPECT_EQ(parse_cli_args({"import", "update.txt"}).command.batch, 1u);
}

}  // namespace
}  // namespace orvel::tools
