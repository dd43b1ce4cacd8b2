#include "app/passport_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/dates.h"
#include "app/passport_export.h"
#include "app/tests/passport_fixture.h"

namespace orvel::app {
namespace {

using testing::Entry;
using testing::ScopedToday;

// "99 99";"000001";"ОБРАЗЦОВ ОБРАЗЕЦ ОБРАЗЦОВИЧ";"2001-05-17";"Утрачен";"2006-03-01"
const std::string kExampleLine =
    "\"99 99\";\"000001\";"
    "\"\xCE\xC1\xD0\xC0\xC7\xD6\xCE\xC2 \xCE\xC1\xD0\xC0\xC7\xC5\xD6 "
    "\xCE\xC1\xD0\xC0\xC7\xD6\xCE\xC2\xC8\xD7\";"
    "\"2001-05-17\";\"\xD3\xF2\xF0\xE0\xF7\xE5\xED\";\"2006-03-01\"\r\n";

class PassportImportTest : public testing::PassportFixture {
 protected:
  ImportResult run_import(const std::string& bytes, uint64_t batch = 1) {
    write_text(bytes);
    chooser.answer = kTextName;
    return import_updates(table(), text_file, name, ui(), {batch});
  }
  ExportResult run_export() {
    chooser.answer = kTextName;
    return export_passports(table(), text_file, name, ui());
  }
};

TEST_F(PassportImportTest, ExampleLineRoundTrips) {
  ImportResult first = run_import(kExampleLine);
  EXPECT_EQ(first.records_read, 1u);
  EXPECT_EQ(first.added, 1u);
  EXPECT_EQ(first.passports, 1u);
  std::vector<PSP> stored = records();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(trimmed(stored[0].SER), "99 99");
  EXPECT_EQ(trimmed(stored[0].NUM), "000001");
  EXPECT_EQ(stored[0].DATE_PAS.get(), day_number(2001, 5, 17));
  EXPECT_EQ(stored[0].DATE_IMP.get(), day_number(2006, 3, 1));
  EXPECT_EQ(trimmed(stored[0].COMMENT), "\xD3\xF2\xF0\xE0\xF7\xE5\xED");

  ExportResult exported = run_export();
  EXPECT_EQ(exported.exported, 1u);
  EXPECT_EQ(exported.failures.count, 0u);
  EXPECT_EQ(read_text(), kExampleLine);

  ImportResult again = run_import(read_text());
  EXPECT_EQ(again.added, 0u);
  EXPECT_EQ(again.changed, 1u);
  std::vector<PSP> after = records();
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(std::memcmp(&after[0], &stored[0], sizeof(PSP)), 0);
}

TEST_F(PassportImportTest, DuplicatesChangeTheLowestRecordAndKeepTheStoredSeries) {
  add({"ab 12", "555", "OLD ONE", 0, 0, "a"});
  add({"AB 12", "555", "OLD TWO", 0, 0, "b"});
  ImportResult result = run_import(
      "\"AB 12\";\"555\";\"new\";\"2005-12-31\";\"first\";\"2006-01-05\"\r\n"
      "\"7\";\"8\";\"added\";\"\";\"\";\"\"\r\n"
      "\"7\";\"8\";\"added again\";\"\";\"second\";\"\"\r\n");
  EXPECT_EQ(result.added, 1u);
  EXPECT_EQ(result.changed, 2u);
  std::vector<PSP> stored = records();
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(trimmed(stored[0].SER), "ab 12");  // stored case kept
  EXPECT_EQ(trimmed(stored[0].FIO), "NEW");
  EXPECT_EQ(stored[0].DATE_PAS.get(), day_number(2005, 12, 31));
  EXPECT_EQ(trimmed(stored[0].COMMENT), "first");
  EXPECT_EQ(trimmed(stored[1].FIO), "OLD TWO");  // the later duplicate is left alone
  EXPECT_EQ(trimmed(stored[2].FIO), "ADDED AGAIN");
  EXPECT_EQ(trimmed(stored[2].COMMENT), "second");
}

TEST_F(PassportImportTest, BlankKeyLinesAreSkippedButCountedAndAHeaderIsAnEntry) {
  const std::string bytes =
      "SER;NUM;FIO;DATE_PAS;COMMENT;DATE_IMP\r\n"
      "\r\n"
      "\"\";\"  \";\"NO KEY\";\"\";\"\";\"\"\r\n"
      ";;;;;\r\n"
      "\"1\";\"\";\"only series\";\"\";\"\";\"\"\r\n";
  ImportResult result = run_import(bytes);
  EXPECT_EQ(result.records_read, 5u);
  EXPECT_EQ(result.skipped, 3u);
  EXPECT_EQ(result.added, 2u);
  EXPECT_EQ(result.file_size, static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(result.progress_total, static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(progress.upper_bound, static_cast<int64_t>(bytes.size()));
  ASSERT_EQ(progress.values.size(), 5u);  // the bar moves on every line, skipped ones too
  EXPECT_EQ(progress.values.back(), static_cast<int64_t>(bytes.size()));
  std::vector<PSP> stored = records();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(trimmed(stored[0].SER), "SER");
  EXPECT_EQ(trimmed(stored[0].FIO), "FIO");
  EXPECT_EQ(stored[0].DATE_PAS.get(), kNoDate);  // "DATE_PAS" holds no digit
}

TEST_F(PassportImportTest, FieldsOfTheLine) {
  ScopedToday today("2006-03-15");
  run_import(
      "\"1\";\"1\";\"ivanov \xE8\xE2\xE0\xED\";\"31.12.2005\";\"\";\"\"\r\n"
      "\"2\";\"2\";\"x\";\"2006-13-45\";\"\";\"1800-01-01\"\r\n"
      "\"3\";\"3\";\"x\";\"\";\"\";\"   \"\r\n");
  std::vector<PSP> stored = records();
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(trimmed(stored[0].FIO), "IVANOV \xE8\xE2\xE0\xED");  // Cyrillic unchanged
  EXPECT_EQ(stored[0].DATE_PAS.get(), day_number(1931, 12, 20));
  EXPECT_EQ(stored[0].DATE_IMP.get(), day_number(2006, 3, 15));  // blank: today
  EXPECT_EQ(stored[1].DATE_PAS.get(), day_number(2007, 2, 14));  // month and day carry on
  EXPECT_EQ(stored[1].DATE_IMP.get(), kInvalidDate);
  EXPECT_EQ(stored[2].DATE_PAS.get(), kNoDate);
  EXPECT_EQ(stored[2].DATE_IMP.get(), day_number(2006, 3, 15));
}

TEST_F(PassportImportTest, ProgressOfAFileWithoutTheLastLineEnd) {
  const std::string bytes = "\"1\";\"1\"\r\n\"2\";\"2\"";
  ImportResult result = run_import(bytes);
  EXPECT_EQ(result.added, 2u);
  EXPECT_EQ(result.progress_total, static_cast<int64_t>(bytes.size()));
}

TEST_F(PassportImportTest, EmptyFileImportsNothing) {
  ImportResult result = run_import("");
  EXPECT_TRUE(result.file_chosen);
  EXPECT_EQ(result.records_read, 0u);
  EXPECT_EQ(progress.upper_bound, 0);
  EXPECT_TRUE(records().empty());
}

TEST_F(PassportImportTest, CancelBlanksTheNameAndStillRefreshesTheCount) {
  add({"1", "1", ""});
  name.assign("/data/last.txt");
  chooser.answer.reset();
  ImportResult result = import_updates(table(), text_file, name, ui());
  EXPECT_EQ(chooser.title, kImportDialogTitle);
  EXPECT_EQ(chooser.initial, "/data/last.txt");
  EXPECT_FALSE(result.file_chosen);
  EXPECT_EQ(name.text(), std::string(250, ' '));
  EXPECT_EQ(progress.events, (std::vector<std::string>{"show", "hide"}));
  EXPECT_EQ(progress.count, 1);
  EXPECT_FALSE(cursor.waiting);
  EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(PassportImportTest, OpenFailureShowsTheErrorText) {
  chooser.answer = "/data/missing.txt";
  ImportResult result = import_updates(table(), text_file, name, ui());
  EXPECT_EQ(result.open_error, kFileNotFound);
  EXPECT_EQ(boxes.texts, (std::vector<std::string>{"File Not Found"}));
  EXPECT_EQ(progress.events, (std::vector<std::string>{"show", "hide"}));
  EXPECT_EQ(progress.count, 0);
  EXPECT_FALSE(cursor.waiting);
}

// A refused add or change must not pass for success: every such line is counted.
TEST_F(PassportImportTest, RefusedWritesAreCounted) {
  add({"1", "1", "STORED"});
  passports.release();
  std::unique_ptr<platform::File> holder;  // another program keeps write access to itself
  ASSERT_EQ(fs.open(table().name(), 0x22, platform::Disposition::kOpenExisting, &holder), kNoError);
  ASSERT_TRUE(passports.use(reporter));
  ASSERT_EQ(passports.mode(), 0x40);

  ImportResult result = run_import("\"1\";\"1\";\"x\"\r\n\"2\";\"2\";\"y\"\r\n;\r\n");
  EXPECT_EQ(result.records_read, 3u);
  EXPECT_EQ(result.added + result.changed, 0u);
  EXPECT_EQ(result.skipped, 1u);
  EXPECT_EQ(result.failures.count, 2u);
  EXPECT_NE(result.failures.first_error, 0);
  EXPECT_EQ(result.passports, 1u);
  EXPECT_EQ(
      failure_summary(result.failures, Operation::kImport),
      "2 lines could not be imported.  Error: " + error_text(result.failures.first_error) + ".");
  EXPECT_EQ(trimmed(records()[0].FIO), "STORED");
}

// Lines that add, change what an earlier line of the same file added, and change a stored
// entry: a batch must see its own earlier lines as the line-by-line import does.
const std::string kMixedLines =
    "\"AB 12\";\"555\";\"new\";\"2005-12-31\";\"first\";\"2006-01-05\"\r\n"
    "\"7\";\"8\";\"added\";\"\";\"\";\"2006-01-05\"\r\n"
    ";;;;;\r\n"
    "\"7\";\"8\";\"added again\";\"\";\"second\";\"2006-01-05\"\r\n"
    "\"9\";\"1\";\"third\";\"\";\"\";\"2006-01-05\"\r\n";

TEST_F(PassportImportTest, BatchesGiveTheDirectoryOfTheLineByLineImport) {
  add({"ab 12", "555", "OLD ONE", 0, 0, "a"});
  add({"AB 12", "555", "OLD TWO", 0, 0, "b"});
  ImportResult single = run_import(kMixedLines);
  const std::vector<PSP> expected = records();
  ASSERT_EQ(expected.size(), 4u);

  for (uint64_t batch : {2u, 3u, 4u, 100u}) {
    SCOPED_TRACE(batch);
    ASSERT_EQ(table().empty(), kNoError);
    add({"ab 12", "555", "OLD ONE", 0, 0, "a"});
    add({"AB 12", "555", "OLD TWO", 0, 0, "b"});
    ImportResult batched = run_import(kMixedLines, batch);
    EXPECT_EQ(batched.added, single.added);
    EXPECT_EQ(batched.changed, single.changed);
    EXPECT_EQ(batched.skipped, single.skipped);
    EXPECT_EQ(batched.failures.count, 0u);
    EXPECT_EQ(batched.passports, single.passports);
    std::vector<PSP> stored = records();
    ASSERT_EQ(stored.size(), expected.size());
    for (size_t i = 0; i < stored.size(); ++i) {
      EXPECT_EQ(std::memcmp(&stored[i], &expected[i], sizeof(PSP)), 0) << i;
    }
  }
}

// A batch is one commit: four lines in batches of two cost two commits' flushes, not four
// (the update file's own flush at its close comes on top of both).
TEST_F(PassportImportTest, ABatchCommitsOnce) {
  add({"1", "1", "STORED"});
  const std::string lines =
      "\"1\";\"1\";\"a\"\r\n\"2\";\"2\";\"b\"\r\n\"3\";\"3\";\"c\"\r\n\"1\";\"1\";\"d\"\r\n";
  uint64_t before = fs.call_count(platform::FileCall::kFlush);
  run_import(lines, 1);
  const uint64_t per_line = fs.call_count(platform::FileCall::kFlush) - before;
  before = fs.call_count(platform::FileCall::kFlush);
  ImportResult result = run_import(lines, 2);
  const uint64_t batched = fs.call_count(platform::FileCall::kFlush) - before;
  EXPECT_EQ(result.added + result.changed, 4u);
  EXPECT_EQ(per_line - batched, 2 * 4u);
}

// Power fails at every moment of a batched import: the file then holds the entries of whole
// batches only, and importing the file again gives the directory of an uninterrupted run.
TEST_F(PassportImportTest, AnInterruptedBatchedImportLosesAtMostTheCurrentBatch) {
  const std::string lines =
      "\"1\";\"1\";\"a\";\"\";\"\";\"2006-01-05\"\r\n"
      "\"2\";\"2\";\"b\";\"\";\"\";\"2006-01-05\"\r\n"
      "\"3\";\"3\";\"c\";\"\";\"\";\"2006-01-05\"\r\n"
      "\"1\";\"1\";\"d\";\"\";\"\";\"2006-01-05\"\r\n"
      "\"5\";\"5\";\"e\";\"\";\"\";\"2006-01-05\"\r\n";
  add({"0", "0", "STORED"});
  run_import(lines, 2);
  const std::vector<PSP> complete = records();
  ASSERT_EQ(complete.size(), 5u);
  // The FIO of entry "1 1" after each whole batch: a, d (second batch), d.
  const std::vector<std::vector<std::string>> whole_batches = {
      {"STORED"}, {"STORED", "A", "B"}, {"STORED", "D", "B", "C"}, {"STORED", "D", "B", "C", "E"}};

  for (uint64_t cut = 1;; ++cut) {
    SCOPED_TRACE(cut);
    ASSERT_EQ(table().empty(), kNoError);
    add({"0", "0", "STORED"});
    fs.cut_power_after(cut);
    run_import(lines, 2);
    const bool finished = !fs.power_is_cut();
    passports.release();
    fs.power_loss(cut);
    ASSERT_TRUE(passports.use(reporter)) << messages_text();
    std::vector<std::string> names;
    for (const PSP& p : records()) names.emplace_back(trimmed(p.FIO));
    EXPECT_NE(std::find(whole_batches.begin(), whole_batches.end(), names), whole_batches.end())
        << ::testing::PrintToString(names);
    run_import(lines, 2);
    std::vector<PSP> again = records();
    ASSERT_EQ(again.size(), complete.size());
    for (size_t i = 0; i < again.size(); ++i) {
      EXPECT_EQ(std::string_view(again[i].FIO, 250), std::string_view(complete[i].FIO, 250));
    }
    if (finished) break;
  }
}

}  // namespace
}  // namespace orvel::app
