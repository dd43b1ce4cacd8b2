// Import of hostile update files: byte-order marks, NUL bytes, an unterminated quote, one
// line of 64 MB, random bytes, a file cut short while it is read, and a disk that fills up
// during the import. The import must end normally, and no entry of the directory may be
// lost or damaged: the entries there before keep their bytes, every line counted as added
// is there, the integrity check of `hvk check` passes, and no text of the file became the
// name of a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/passport_import.h"
#include "app/tests/passport_fixture.h"
#include "datafile/corruption.h"
#include "datafile/data_file.h"
#include "datafile/table_check.h"

namespace orvel::app {
namespace {

using testing::Entry;
namespace om = platform::open_mode;

std::string line(const std::string& ser, const std::string& num, const std::string& fio) {
  return "\"" + ser + "\";\"" + num + "\";\"" + fio + "\";\"2001-05-17\";\"\";\"2006-03-01\"\r\n";
}

std::string random_bytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = char(rng());
  return s;
}

class HostileImportTest : public testing::PassportFixture {
 protected:
  void SetUp() override {
    PassportFixture::SetUp();
    for (int i = 1; i <= 5; ++i) {
      add({"KEEP", std::to_string(i), "STORED " + std::to_string(i), 100 + i, 200, "reason"});
    }
    before_ = records();
    // What a test has after an import: these and the update file.
    files_before_ = fs.file_names();
    files_before_.push_back(kTextName);
    std::sort(files_before_.begin(), files_before_.end());
  }

  ImportResult run_import(const std::string& bytes, ProgressDisplay* progress_display = nullptr) {
    write_text(bytes);
    chooser.answer = kTextName;
    OperationUi with{chooser, progress_display ? *progress_display : progress, cursor, boxes};
    return import_updates(table(), text_file, name, with);
  }

  // The entries there before are unchanged, the count is theirs plus the lines added, the
  // file passes the check, and no file appeared.
  void expect_nothing_lost(const ImportResult& result) {
    std::vector<PSP> after = records();
    ASSERT_GE(after.size(), before_.size());
    EXPECT_EQ(after.size(), before_.size() + result.added);
    EXPECT_EQ(result.passports, after.size());
    for (size_t i = 0; i < before_.size(); ++i) {
      EXPECT_EQ(std::memcmp(&after[i], &before_[i], sizeof(PSP)), 0) << "entry " << i;
    }
    for (size_t i = before_.size(); i < after.size(); ++i) {
      EXPECT_FALSE(trimmed(after[i].SER).empty() && trimmed(after[i].NUM).empty())
          << "an entry without series and number was added";
    }
    EXPECT_EQ(check(), std::vector<std::string>{});
    EXPECT_EQ(fs.file_names(), files_before_);
    EXPECT_FALSE(cursor.waiting);
  }

  std::vector<std::string> check() {
    std::unique_ptr<platform::File> handle;
    const int mode = om::kReadOnly | om::kDenyNone;
    EXPECT_EQ(fs.open(table().name(), mode, platform::Disposition::kOpenExisting, &handle),
              kNoError);
    std::unique_ptr<datafile::DataFile> file;
    try {
      EXPECT_EQ(datafile::DataFile::open(std::move(handle), mode, {}, &file), kNoError);
      return file ? datafile::check_file(file.get()) : std::vector<std::string>{"no file"};
    } catch (const datafile::CorruptionError& e) {
      return {"corruption check " + std::to_string(e.check())};
    }
  }

  std::vector<PSP> before_;
  std::vector<std::string> files_before_;
};

struct HostileFile {
  const char* what;
  std::function<std::string()> bytes;
  uint64_t added;  // the lines with a series or a number
};

const HostileFile kHostileFiles[] = {
    {"a UTF-8 byte-order mark", [] { return "\xEF\xBB\xBF" + line("B", "1", "bom"); }, 1},
    {"NUL bytes in fields and between them",
     [] { return std::string("\"N\0L\";\"1\";\"a\0b\"\0;\0\r\n", 20) + line("N", "2", "after"); },
     2},
    {"an unterminated quote at the end",
     [] { return line("Q", "1", "first") + "\"Q\";\"2\";\"never ends"; }, 2},
    {"a single line of 64 MB",
     [] { return "\"L\";\"1\";\"" + std::string(64u << 20, 'x') + "\";\"\";\"\";\"\"\r\n"; }, 1},
    {"64 MB without a line end or delimiter", [] { return std::string(64u << 20, 'z'); }, 1},
    {"random bytes", [] { return random_bytes(1 << 20, 7); }, 0},
    {"names of files and commands",
     [] {
       return line("../../../etc/passwd", "$(touch /tmp/x)", "`rm -rf ~`; /data/update.txt") +
              line("C:\\Temp\\Formats.FDB", "|", "%File %ErrorText");
     },
     2},
};

TEST_F(HostileImportTest, HostileFilesImportWithoutLosingAnEntry) {
  for (const HostileFile& file : kHostileFiles) {
    SCOPED_TRACE(file.what);
    ImportResult result = run_import(file.bytes());
    EXPECT_EQ(result.open_error, kNoError);
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_EQ(result.failures.count, 0u);
    if (file.added > 0) {
      EXPECT_EQ(result.added, file.added);
    }
    expect_nothing_lost(result);
    before_ = records();  // the next file starts from what this one left
  }
}

TEST_F(HostileImportTest, ALongLineIsCutToTheFieldsWidths) {
  ImportResult result = run_import("\"L\";\"1\";\"" + std::string(1u << 20, 'x') + "\"\r\n");
  ASSERT_EQ(result.added, 1u);
  PSP added = records().back();
  EXPECT_EQ(text_of(added.FIO), std::string(250, 'X'));
  EXPECT_EQ(result.progress_total, result.file_size);
}

// The bar's update after every line is where the test cuts the file short, as another
// program might while the import reads it.
class CuttingProgress : public testing::RecordingProgress {
 public:
  std::function<void(int64_t)> on_value;
  void set_value(int64_t value) override {
    RecordingProgress::set_value(value);
    if (on_value) on_value(value);
  }
};

TEST_F(HostileImportTest, AFileCutShortWhileItIsReadEndsTheImport) {
  std::string bytes;
  for (int i = 0; i < 1000; ++i) bytes += line("T", std::to_string(i), "line");
  const size_t line_length = line("T", "0", "line").size();
  for (size_t cut_at : {size_t{0}, 12 * line_length, 12 * line_length + 7}) {
    SCOPED_TRACE(cut_at);
    CuttingProgress cutting;
    int lines_seen = 0;
    cutting.on_value = [&](int64_t) {
      if (++lines_seen == 10) {
        fs.set_contents(kTextName, std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(cut_at)));
      }
    };
    ImportResult result = run_import(bytes, &cutting);
    // Lines still in the file buffer may be read after the cut; nothing after it.
    EXPECT_GE(result.added + result.changed, 10u);
    EXPECT_LT(result.added + result.changed, 1000u);
    EXPECT_TRUE(boxes.texts.empty());
    expect_nothing_lost(result);
    before_ = records();
  }
}

TEST_F(HostileImportTest, ADiskFillingUpDuringTheImportLosesOnlyTheLinesItRefused) {
  // The disk fills up at each write of the import in turn and stays full; then space comes
  // back.
  constexpr int kLines = 10;
  bool filled_past_the_end = false;
  for (int nth = 1; !filled_past_the_end; ++nth) {
    SCOPED_TRACE("full from write " + std::to_string(nth));
    const std::string series = "D" + std::to_string(nth);
    std::string bytes;
    for (int i = 0; i < kLines; ++i) bytes += line(series, std::to_string(i), "line");
    platform::Fault full;
    full.call = platform::FileCall::kWrite;
    full.nth = nth;
    full.persistent = true;
    full.error = kSystemDiskFull;
    fs.inject_fault(full);
    ImportResult result = run_import(bytes);
    fs.clear_faults();
    // A commit whose journal the full disk kept from its place is finished by the next
    // writer; closing the directory, as the program does when it ends, is one.
    passports.release();
    ASSERT_TRUE(passports.use(reporter));
    EXPECT_EQ(result.records_read, uint64_t(kLines));
    EXPECT_EQ(result.added + result.failures.count, uint64_t(kLines));
    if (result.failures.count > 0) {
      EXPECT_EQ(result.failures.first_error, kSystemDiskFull);
    } else {
      filled_past_the_end = true;
    }
    ASSERT_NO_FATAL_FAILURE(expect_nothing_lost(result));
    // Exactly the lines reported added are there, in the order of the file.
    std::vector<PSP> after = records();
    ASSERT_EQ(after.size(), before_.size() + result.added);
    for (uint64_t i = 0; i < result.added; ++i) {
      EXPECT_EQ(trimmed(after[before_.size() + i].SER), series);
      EXPECT_EQ(trimmed(after[before_.size() + i].NUM), std::to_string(i));
    }
    before_ = after;
    if (HasFailure()) break;
  }
}

}  // namespace
}  // namespace orvel::app
