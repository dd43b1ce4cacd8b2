#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/error_codes.h"
#include "platform/file.h"
#include "platform/tests/temp_dir.h"
#include "textfile/tests/test_support.h"
#include "textfile/text_file.h"

namespace orvel::textfile {
namespace {

using testing::import_layout;
using testing::padded;

constexpr int kNoSharing = 22;  // read/write, deny all: how import and export open
constexpr int kShared = 0x42;   // read/write, deny none
constexpr int kSharedReadOnly = 0x40;

class TextFileTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  void write_file(const std::string& name, const std::string& bytes) {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  std::string read_file(const std::string& name) {
    std::ifstream in(path(name), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  // The program's declaration of the import file, its name read from name_.
  TextFileDecl import_decl(std::string options = "/COMMA=59", bool create = true) {
    return TextFileDecl{import_layout(), [this] { return std::string_view(name_); },
                        std::move(options), create};
  }

  // Reads every record from the start: each record's text fields and BYTES after it.
  std::vector<testing::ReadRecord> read_through(TextFile& file) {
    std::vector<testing::ReadRecord> out;
    EXPECT_EQ(file.set(), kNoError);
    while (file.next() == kNoError) {
      testing::ReadRecord r{{}, 0};
      for (size_t i = 0; i < file.layout().fields().size(); ++i) {
        r.fields.emplace_back(file.layout().text(file.record(), i));
      }
      EXPECT_EQ(file.bytes(&r.length), kNoError);
      out.push_back(std::move(r));
    }
    EXPECT_EQ(file.last_error(), kRecordNotAvailable);
    return out;
  }

  platform::testing::TempDir temp_{"orvel-textfile"};
  const std::string dir_ = temp_.path();
  std::string name_;  // the caller's name text
};

TEST_F(TextFileTest, ReadsRecordsWithTheirByteCounts) {
  const std::string content =
      "\"99 99\";\"000001\";\"A\";\"2001-05-17\";\"R\";\"2006-03-01\"\r\n"
      "\r\n"
      "12 34;567890\r\n";
  write_file("upd.txt", content);
  name_ = padded(path("upd.txt"), 250);
  TextFile file(import_decl());
  ASSERT_EQ(file.open(kNoSharing), kNoError);
  EXPECT_EQ(file.resolved_name(), path("upd.txt"));
  uint64_t n = 0;
  ASSERT_EQ(file.bytes(&n), kNoError);
  EXPECT_EQ(n, content.size()) << "after open: the file size";

  EXPECT_EQ(file.next(), kRecordNotAvailable) << "no SET yet";
  ASSERT_EQ(file.set(), kNoError);
  ASSERT_EQ(file.next(), kNoError);
  EXPECT_EQ(file.layout().text(file.record(), 0), padded("99 99", 20));
  EXPECT_EQ(file.layout().text(file.record(), 4), padded("R", 500));
  ASSERT_EQ(file.bytes(&n), kNoError);
  EXPECT_EQ(n, 52u);
  ASSERT_EQ(file.next(), kNoError);
  EXPECT_EQ(file.layout().text(file.record(), 0), padded("", 20)) << "blank line";
  ASSERT_EQ(file.bytes(&n), kNoError);
  EXPECT_EQ(n, 2u);
  ASSERT_EQ(file.next(), kNoError);
  EXPECT_EQ(file.layout().text(file.record(), 1), padded("567890", 20));
  ASSERT_EQ(file.bytes(&n), kNoError);
  EXPECT_EQ(n, 14u);

  EXPECT_EQ(file.next(), kRecordNotAvailable);
  EXPECT_EQ(file.last_error(), kRecordNotAvailable);
  ASSERT_EQ(file.bytes(&n), kNoError);
  EXPECT_EQ(n, content.size()) << "after the failing NEXT: the file size again";
  EXPECT_EQ(file.next(), kRecordNotAvailable) << "no NEXT after a failed one";
  ASSERT_EQ(file.set(), kNoError);
  EXPECT_EQ(file.next(), kNoError) << "SET starts over";
  EXPECT_EQ(file.close(), kNoError);
}

TEST_F(TextFileTest, EmptyFileOpensAndHasNoRecord) {
  write_file("empty", "");
  name_ = path("empty");
  TextFile file(import_decl());
  ASSERT_EQ(file.open(kNoSharing), kNoError);
  uint64_t n = 99;
  ASSERT_EQ(file.bytes(&n), kNoError);
  EXPECT_EQ(n, 0u);
  ASSERT_EQ(file.set(), kNoError);
  EXPECT_EQ(file.next(), kRecordNotAvailable);
}

TEST_F(TextFileTest, ExportWritesLinesThatImportReadsBack) {
  for (const char* options : {"/COMMA=59", "/COMMA=59/QUICKSCAN=OFF"}) {
    SCOPED_TRACE(options);
    write_file("out.txt", "old contents");
    name_ = path("out.txt");
    TextFile file(import_decl(options));
    ASSERT_EQ(file.create(), kNoError);
    EXPECT_EQ(read_file("out.txt"), "") << "CREATE cuts an existing file";
    ASSERT_EQ(file.open(kNoSharing), kNoError);
    uint64_t n = 99;
    ASSERT_EQ(file.bytes(&n), kNoError);
    EXPECT_EQ(n, 0u);
    std::string expected;
    for (int i = 0; i < 100; ++i) {
      file.layout().set_text(file.record(), 0, "99 " + std::to_string(i));
      file.layout().set_text(file.record(), 1, std::to_string(100000 + i));
      file.layout().set_text(file.record(), 4, i % 2 ? "a \"b\"" : "");
      ASSERT_EQ(file.append(), kNoError);
      expected += "\"99 " + std::to_string(i) + "\";\"" + std::to_string(100000 + i) +
                  "\";\"\";\"\";\"" + (i % 2 ? "a \"\"b\"\"" : "") + "\";\"\"\r\n";
    }
    ASSERT_EQ(file.bytes(&n), kNoError);
    EXPECT_EQ(n, expected.size()) << "appends grow the size";
    // Reading after appending sees every record written so far.
    auto records = read_through(file);
    ASSERT_EQ(records.size(), 100u);
    EXPECT_EQ(records[99].fields[4], padded("a \"b\"", 500));
    ASSERT_EQ(file.close(), kNoError);
    EXPECT_EQ(read_file("out.txt"), expected);
  }
}

TEST_F(TextFileTest, ReadingIsTheSameWithAndWithoutTheBuffer) {
  unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  const char alphabet[] = "ab \";\r\n";
  for (int round = 0; round < 4; ++round) {
    std::string content;
    for (int line = 0; line < 200; ++line) {
      int fields = static_cast<int>(rng() % 8);
      for (int f = 0; f < fields; ++f) {
        if (f) content += ';';
        size_t len = rng() % 12 == 0 ? 3000 + rng() % 3000 : rng() % 30;
        std::string v(len, 'x');
        for (char& c : v) c = rng() % 4 ? 'a' + static_cast<char>(rng() % 26) : alphabet[rng() % 7];
        content += rng() % 2 ? "\"" + v + "\"" : v;
      }
      content += "\r\n";
    }
    if (round % 2) content.resize(content.size() - 2);  // no line end at the end
    content.insert(content.size() / 2, "x\x1Ay");       // a Ctrl-Z inside a record ends it
    write_file("gen.txt", content);
    name_ = path("gen.txt");
    std::vector<std::vector<testing::ReadRecord>> results;
    for (const char* options : {"/COMMA=59", "/COMMA=59/QUICKSCAN=OFF", "/COMMA=59/FILEBUFFERS=1",
                                "/COMMA=59/FILEBUFFERS=64"}) {
      TextFile file(import_decl(options));
      ASSERT_EQ(file.open(kNoSharing), kNoError);
      results.push_back(read_through(file));
    }
    ASSERT_FALSE(results[0].empty());
    for (size_t i = 1; i < results.size(); ++i) EXPECT_EQ(results[i], results[0]) << i;
    testing::ReadAll memory =
        testing::read_all(content, import_layout(), testing::semicolon_format(), 1 << 20);
    EXPECT_EQ(memory.records, results[0]);
  }
}

TEST_F(TextFileTest, LineLongerThanTheBufferIsReadToItsEnd) {
  std::string big(100 * 1024, 'N');
  write_file("long.txt", "\"99 99\";\"" + big + "\";\"Z\"\r\n\"12 12\"\r\n");
  name_ = path("long.txt");
  TextFile file(import_decl());
  ASSERT_EQ(file.open(kNoSharing), kNoError);
  EXPECT_EQ(file.buffer_size(), 1660u);
  auto records = read_through(file);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].fields[1], std::string(20, 'N'));
  EXPECT_EQ(records[0].fields[2], padded("Z", 250));
  EXPECT_EQ(records[0].length, big.size() + 16);
  EXPECT_EQ(records[1].fields[0], padded("12 12", 20));
}

TEST_F(TextFileTest, EveryOpenRecomputesTheSettingsForItsMode) {
  write_file("f", "a\r\n");
  name_ = path("f");
  TextFile file(import_decl());
  ASSERT_EQ(file.open(kNoSharing), kNoError);
  EXPECT_TRUE(file.settings().file_buffer);
  EXPECT_EQ(file.settings().format.field_delimiter, ";");
  ASSERT_EQ(file.close(), kNoError);
  ASSERT_EQ(file.open(kShared), kNoError);
  EXPECT_FALSE(file.settings().file_buffer);
  EXPECT_EQ(file.buffer_size(), 0u);
  EXPECT_EQ(file.settings().format.field_delimiter, ";");
}

TEST_F(TextFileTest, StateAndDeclarationErrors) {
  write_file("f", "a\r\n");
  name_ = path("f");
  TextFile file(import_decl());
  uint64_t n = 0;
  EXPECT_EQ(file.set(), kFileNotOpen);
  EXPECT_EQ(file.next(), kFileNotOpen);
  EXPECT_EQ(file.bytes(&n), kFileNotOpen);
  EXPECT_EQ(file.append(), kFileNotOpen);
  EXPECT_EQ(file.close(), kFileNotOpen);
  EXPECT_EQ(file.last_error(), kFileNotOpen);
  EXPECT_EQ(file.records(&n), kUnsupportedFunction);
  EXPECT_EQ(file.unsupported(), kUnsupportedFunction);

  ASSERT_EQ(file.open(kNoSharing), kNoError);
  EXPECT_EQ(file.open(kNoSharing), kFileAlreadyOpen);
  EXPECT_EQ(file.create(), kFileAlreadyOpen);
  EXPECT_TRUE(file.is_open()) << "the failed OPEN leaves the file open";
  EXPECT_EQ(file.records(&n), kUnsupportedFunction);
  ASSERT_EQ(file.close(), kNoError);
  EXPECT_FALSE(file.is_open());

  TextFile no_create(import_decl("/COMMA=59", false));
  EXPECT_EQ(no_create.create(), kNoCreateAttribute);
  EXPECT_EQ(read_file("f"), "a\r\n");
}

TEST_F(TextFileTest, NamesAndSystemErrors) {
  TextFile file(import_decl());
  struct Case {
    std::string name;
    int open_code;
  } cases[] = {
      {"", kInvalidFilename},
      {std::string(250, ' '), kInvalidFilename},
      {path("missing"), kFileNotFound},
      {path("no-dir/file"), kPathNotFound},
      {std::string("a\0b", 3), kInvalidFilename},
      {dir_ + "/" + std::string(300, 'x'), kInvalidFilename},
  };
  for (const auto& c : cases) {
    name_ = c.name;
    EXPECT_EQ(file.open(kNoSharing), c.open_code) << c.name;
    EXPECT_FALSE(file.is_open());
  }
  name_ = "";
  EXPECT_EQ(file.create(), kInvalidFilename);

  // 260 characters are too many however short the path really is; 259 are not.
  write_file("f", "");
  std::string dots;
  while (dots.size() + 2 + dir_.size() + 2 < 260) dots += "./";
  name_ = dir_ + "/" + dots + std::string(259 - dir_.size() - 1 - dots.size(), 'f');
  ASSERT_EQ(name_.size(), 259u);
  EXPECT_NE(file.open(kNoSharing), kInvalidFilename);
  file.close();
  name_ += "f";
  EXPECT_EQ(file.open(kNoSharing), kInvalidFilename);
}

TEST_F(TextFileTest, RelativeNamesAreTakenFromTheCurrentDirectory) {
  write_file("data.txt", "x\r\n");
  std::vector<char> old_dir(4096);
  ASSERT_NE(getcwd(old_dir.data(), old_dir.size()), nullptr);
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  name_ = padded("data.txt", 250);
  TextFile file(import_decl());
  int rc = file.open(kNoSharing);
  std::string resolved = file.resolved_name();
  file.close();
  name_ = "data";  // no extension is added
  int without_extension = file.open(kNoSharing);
  ASSERT_EQ(chdir(old_dir.data()), 0);
  EXPECT_EQ(rc, kNoError);
  EXPECT_TRUE(std::filesystem::path(resolved).is_absolute()) << resolved;
  EXPECT_TRUE(std::filesystem::equivalent(resolved, path("data.txt"))) << resolved;
  EXPECT_EQ(without_extension, kFileNotFound);
}

TEST_F(TextFileTest, SharingOfTheOpenMode) {
  write_file("f", "a\r\n");
  name_ = path("f");
  TextFile first(import_decl());
  TextFile second(import_decl());
  ASSERT_EQ(first.open(kNoSharing), kNoError);
  EXPECT_EQ(second.open(kNoSharing), kAccessDenied);
  EXPECT_EQ(second.last_error(), kAccessDenied);
  EXPECT_EQ(second.open(kSharedReadOnly), kAccessDenied);
  EXPECT_EQ(second.create(), kAccessDenied) << "a held file is not cut";
  ASSERT_EQ(first.close(), kNoError);
  EXPECT_EQ(second.open(kNoSharing), kNoError);
  ASSERT_EQ(second.close(), kNoError);  // on Windows nobody else may read it while open
  EXPECT_EQ(read_file("f"), "a\r\n");
}

TEST_F(TextFileTest, AppendToReadOnlyIsDenied) {
  write_file("f", "a\r\n");
  name_ = path("f");
  TextFile file(import_decl());
  ASSERT_EQ(file.open(kSharedReadOnly), kNoError);
  EXPECT_EQ(file.append(), kAccessDenied);
  ASSERT_EQ(file.close(), kNoError);
  EXPECT_EQ(read_file("f"), "a\r\n");
}

TEST_F(TextFileTest, SharedAppendsLockByteZeroAndFollowEachOther) {
  write_file("f", "");
  name_ = path("f");
  TextFile a(import_decl());
  TextFile b(import_decl());
  ASSERT_EQ(a.open(kShared), kNoError);
  ASSERT_EQ(b.open(kShared), kNoError);
  for (auto [file, value] :
       std::vector<std::pair<TextFile*, const char*>>{{&a, "1"}, {&b, "2"}, {&a, "3"}}) {
    file->layout().set_text(file->record(), 0, value);
    ASSERT_EQ(file->append(), kNoError);
  }
  std::string line = ";\"\";\"\";\"\";\"\";\"\"\r\n";
  EXPECT_EQ(read_file("f"), "\"1\"" + line + "\"2\"" + line + "\"3\"" + line)
      << "without the buffer each append finds the end anew";

  std::unique_ptr<platform::File> holder;
  ASSERT_EQ(platform::system_file_system().open(path("f"), kShared,
                                                platform::Disposition::kOpenExisting, &holder),
            kNoError);
  ASSERT_EQ(holder->lock(0, 1), kNoError);
  EXPECT_EQ(a.append(), kAccessDenied);
  ASSERT_EQ(holder->unlock(0, 1), kNoError);
  EXPECT_EQ(a.append(), kNoError);
}

// Files whose writes stop short after a number of bytes, as on a full disk.
class ShortWriteFileSystem : public platform::FileSystem {
 public:
  explicit ShortWriteFileSystem(size_t budget) : budget_(budget) {}
  int open(const std::string& path, int mode, platform::Disposition d,
           std::unique_ptr<platform::File>* file) override {
    std::unique_ptr<platform::File> real;
    int rc = platform::system_file_system().open(path, mode, d, &real);
    if (rc == kNoError) *file = std::make_unique<ShortFile>(std::move(real), &budget_);
    return rc;
  }
  int remove(const std::string& path) override {
    return platform::system_file_system().remove(path);
  }
  bool is_directory(const std::string& path) override {
    return platform::system_file_system().is_directory(path);
  }

 private:
  class ShortFile : public platform::File {
   public:
    ShortFile(std::unique_ptr<platform::File> real, size_t* budget)
        : real_(std::move(real)), budget_(budget) {}
    int read_at(uint64_t o, void* b, size_t l, size_t* g) override {
      return real_->read_at(o, b, l, g);
    }
    int write_at(uint64_t o, const void* b, size_t l, size_t* w) override {
      size_t n = std::min(l, *budget_);
      *budget_ -= n;
      int rc = real_->write_at(o, b, n, w);
      if (rc != kNoError) return rc;
      return n < l ? int{kSystemDiskFull} : int{kNoError};
    }
    int flush() override { return real_->flush(); }
    int truncate(uint64_t s) override { return real_->truncate(s); }
    int size(uint64_t* s) override { return real_->size(s); }
    int lock(uint64_t o, uint64_t l) override { return real_->lock(o, l); }
    int unlock(uint64_t o, uint64_t l) override { return real_->unlock(o, l); }

   private:
    std::unique_ptr<platform::File> real_;
    size_t* budget_;
  };
  size_t budget_;
};

TEST_F(TextFileTest, ShortWritesAreAccessDenied) {
  const size_t line = 20;  // the blank import record with one letter
  for (const char* options : {"/COMMA=59/QUICKSCAN=OFF", "/COMMA=59"}) {
    SCOPED_TRACE(options);
    write_file("f", "");
    name_ = path("f");
    ShortWriteFileSystem fs(line + 10);
    TextFile file(import_decl(options), fs);
    ASSERT_EQ(file.open(kNoSharing), kNoError);
    file.layout().set_text(file.record(), 0, "1");
    ASSERT_EQ(file.append(), kNoError);
    uint64_t n = 0;
    if (!file.settings().file_buffer) {
      EXPECT_EQ(file.append(), kAccessDenied);
      ASSERT_EQ(file.bytes(&n), kNoError);
      EXPECT_EQ(n, line) << "a failed append does not grow the file";
      EXPECT_EQ(file.close(), kNoError);
    } else {
      ASSERT_EQ(file.append(), kNoError) << "collected in the buffer";
      EXPECT_EQ(file.close(), kAccessDenied) << "the buffer could not be written out";
      EXPECT_FALSE(file.is_open());
    }
  }
}

}  // namespace
}  // namespace orvel::textfile
