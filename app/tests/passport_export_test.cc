#include "app/passport_export.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/dates.h"
#include "app/passport_import.h"
#include "app/tests/passport_fixture.h"

namespace orvel::app {
namespace {

using testing::Entry;

class PassportExportTest : public testing::PassportFixture {
 protected:
  ExportResult run_export() {
    chooser.answer = kTextName;
    return export_passports(table(), text_file, name, ui());
  }
};

TEST_F(PassportExportTest, EmptyDirectoryGivesAnEmptyFile) {
  write_text("old contents\r\n");
  ExportResult result = run_export();
  EXPECT_EQ(chooser.title, kExportDialogTitle);
  EXPECT_EQ(result.exported, 0u);
  EXPECT_EQ(result.failures.count, 0u);
  EXPECT_TRUE(fs.exists(kTextName));
  EXPECT_EQ(read_text(), "");
  EXPECT_EQ(progress.upper_bound, 0);
  EXPECT_EQ(progress.events, (std::vector<std::string>{"show", "hide"}));
  EXPECT_FALSE(cursor.waiting);
}

TEST_F(PassportExportTest, LinesInRecordNumberOrderWithDatesAsStored) {
  add({"9", "9", "last in key order", day_number(2006, 1, 5), 0, "a"});
  add({"1", "1", "no dates", 0, 0, ""});
  add({"5", "5", "Invalid", kInvalidDate, kInvalidDate, "c"});
  ExportResult result = run_export();
  EXPECT_EQ(result.exported, 3u);
  EXPECT_EQ(result.passports, 3u);
  EXPECT_EQ(read_text(),
            "\"9\";\"9\";\"LAST IN KEY ORDER\";\"2006-01-05\";\"a\";\"\"\r\n"
            "\"1\";\"1\";\"NO DATES\";\"\";\"\";\"\"\r\n"
            "\"5\";\"5\";\"INVALID\";\"    -  -\";\"c\";\"    -  -\"\r\n");

  // An unreadable date goes back in as no date.
  write_text(read_text());
  chooser.answer = kTextName;
  textfile::TextFile reader(import_text_file(name), fs);
  ImportResult again = import_updates(table(), reader, name, ui());
  EXPECT_EQ(again.changed, 3u);
  EXPECT_EQ(records()[2].DATE_PAS.get(), kNoDate);
}

TEST_F(PassportExportTest, ProgressIsRedisplayedEveryHundredEntries) {
  for (int i = 0; i < 250; ++i) add({"S", std::to_string(i), ""});
  ExportResult result = run_export();
  EXPECT_EQ(result.exported, 250u);
  EXPECT_EQ(progress.upper_bound, 250);
  EXPECT_EQ(progress.values, (std::vector<int64_t>{100, 200}));
}

TEST_F(PassportExportTest, CreateFailureShowsTheErrorText) {
  add({"1", "1", ""});
  chooser.answer = "/nowhere/out.txt";
  ExportResult result = export_passports(table(), text_file, name, ui());
  EXPECT_EQ(result.open_error, kPathNotFound);
  EXPECT_EQ(boxes.texts, (std::vector<std::string>{"Path Not Found"}));
  EXPECT_EQ(progress.count, 1);
  EXPECT_EQ(progress.events, (std::vector<std::string>{"show", "hide"}));
}

TEST_F(PassportExportTest, CancelTouchesNoFile) {
  name.assign(kTextName);
  chooser.answer.reset();
  ExportResult result = export_passports(table(), text_file, name, ui());
  EXPECT_FALSE(result.file_chosen);
  EXPECT_FALSE(fs.exists(kTextName));
  EXPECT_TRUE(name.trimmed().empty());
}

// A full disk must not pass for a complete export.
TEST_F(PassportExportTest, FailedWritesAreCounted) {
  for (int i = 0; i < 3; ++i) add({"S", std::to_string(i), "X"});
  platform::Fault fault;
  fault.call = platform::FileCall::kWrite;
  fault.persistent = true;
  fault.error = kSystemDiskFull;
  fs.inject_fault(fault);
  ExportResult few = run_export();
  // Three short lines wait in the file buffer; writing them out at the close fails.
  EXPECT_GE(few.failures.count, 1u);
  EXPECT_NE(few.failures.first_error, 0);

  fs.clear_faults();
  for (int i = 3; i < 300; ++i) add({"S", std::to_string(i), std::string(200, 'X')});
  fs.inject_fault(fault);
  ExportResult many = run_export();
  EXPECT_GT(many.failures.count, 1u);
  EXPECT_LT(many.exported, 300u);
  EXPECT_FALSE(failure_summary(many.failures, Operation::kExport).empty());
}

}  // namespace
}  // namespace orvel::app
