#include "app/passport_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/error_reporter.h"
#include "platform/error_codes.h"
#include "platform/mem_file_system.h"
#include "platform/tests/temp_dir.h"

namespace orvel::app {
namespace {

using platform::Disposition;

TEST(ErrorMessageTest, StartUpMessagesFillTheirPlaceholders) {
  struct Case {
    int number;
    ErrorLevel level;
    const char* title;
    const char* text;
  };
  const Case cases[] = {
      {2, ErrorLevel::kNotice, "Access Denied",
       "Could not get write access to passport.hvk so trying read-only."},
      {12, ErrorLevel::kFatal, "File Creation Error",
       "Error: (Access Denied) creating passport.hvk.  Press OK to end this application"},
      {26, ErrorLevel::kFatal, "File Access Error",
       "File passport.hvk could not be opened.  Error: Access Denied.  Press OK to end this "
       "application"},
  };
  for (const Case& c : cases) {
    ErrorMessage m = make_message(c.number, "passport.hvk", "Access Denied");
    EXPECT_EQ(m.number, c.number);
    EXPECT_EQ(m.level, c.level);
    EXPECT_EQ(m.title, c.title);
    EXPECT_EQ(m.text, c.text);
  }
  // A value holding a placeholder is not expanded again.
  EXPECT_EQ(make_message(12, "%ErrorText", "x").text,
            "Error: (x) creating %ErrorText.  Press OK to end this application");
  EXPECT_EQ(make_message(99, "f", "Bad").level, ErrorLevel::kFatal);
}

class PassportFileTest : public ::testing::Test {
 protected:
  PassportFileTest() { fs.add_directory(std::filesystem::current_path().string()); }

  // The path under which the engine keeps the passport file, after a first open.
  std::string created_path() {
    PassportFile file(fs);
    CollectingReporter r;
    EXPECT_TRUE(file.use(r));
    std::string path = file.table().name();
    file.release();
    return path;
  }

  platform::MemFileSystem fs;
  CollectingReporter reporter;
};

TEST_F(PassportFileTest, MissingFileIsCreatedEmpty) {
  PassportFile file(fs);
  EXPECT_EQ(file.message_name(), "passport");
  ASSERT_TRUE(file.use(reporter));
  EXPECT_TRUE(reporter.messages.empty());
  EXPECT_EQ(file.mode(), 0x42);
  EXPECT_EQ(file.passport_count(), 0u);
  EXPECT_TRUE(fs.exists(file.table().name()));
  EXPECT_EQ(file.message_name(), "passport.hvk");
}

TEST_F(PassportFileTest, UseCountOpensOnceAndClosesAtZero) {
  PassportFile file(fs);
  ASSERT_TRUE(file.use(reporter));
  ASSERT_TRUE(file.use(reporter));
  EXPECT_EQ(file.use_count(), 2);
  EXPECT_EQ(file.release(), kNoError);
  EXPECT_TRUE(file.table().is_open());
  EXPECT_EQ(file.release(), kNoError);
  EXPECT_FALSE(file.table().is_open());
  EXPECT_EQ(file.release(), kNoError);  // one release too many changes nothing
  EXPECT_EQ(file.use_count(), 0);
}

TEST_F(PassportFileTest, WriteDeniedFallsBackToReadOnlyWithANotice) {
  const std::string path = created_path();
  std::unique_ptr<platform::File> holder;  // others may read, not write
  ASSERT_EQ(fs.open(path, 0x22, Disposition::kOpenExisting, &holder), kNoError);

  PassportFile file(fs);
  ASSERT_TRUE(file.use(reporter));
  EXPECT_EQ(file.mode(), 0x40);
  ASSERT_EQ(reporter.messages.size(), 1u);
  EXPECT_EQ(reporter.messages[0].number, 2);
  EXPECT_EQ(reporter.messages[0].level, ErrorLevel::kNotice);
  EXPECT_EQ(reporter.messages[0].text,
            "Could not get write access to " + file.message_name() + " so trying read-only.");
  file.release();
}

TEST_F(PassportFileTest, HeldForExclusiveUseIsFatalAfterTheReadOnlyTry) {
  const std::string path = created_path();
  std::unique_ptr<platform::File> holder;
  ASSERT_EQ(fs.open(path, 0x12, Disposition::kOpenExisting, &holder), kNoError);

  PassportFile file(fs);
  EXPECT_FALSE(file.use(reporter));
  EXPECT_EQ(file.use_count(), 0);
  ASSERT_EQ(reporter.messages.size(), 2u);
  EXPECT_EQ(reporter.messages[0].title, "Access Denied");
  EXPECT_EQ(reporter.messages[1].number, 26);
  EXPECT_EQ(reporter.messages[1].level, ErrorLevel::kFatal);
  EXPECT_EQ(reporter.messages[1].title, "File Access Error");
  EXPECT_EQ(reporter.messages[1].text,
            "File " + file.message_name() +
                " could not be opened.  Error: Access Denied.  Press OK to end this application");
}

TEST_F(PassportFileTest, FailedCreationIsFatal) {
  platform::Fault fault;
  fault.call = platform::FileCall::kWrite;
  fault.persistent = true;
  fs.inject_fault(fault);
  PassportFile file(fs);
  EXPECT_FALSE(file.use(reporter));
  ASSERT_EQ(reporter.messages.size(), 1u);
  EXPECT_EQ(reporter.messages[0].number, 12);
  EXPECT_EQ(reporter.messages[0].title, "File Creation Error");
  EXPECT_TRUE(reporter.messages[0].text.starts_with("Error: ("));
  EXPECT_TRUE(
      reporter.messages[0].text.ends_with(") creating passport.hvk.  Press OK to end "
                                          "this application"));
}

TEST_F(PassportFileTest, NotAPassportFileIsFatal) {
  fs.set_contents(created_path(), std::vector<uint8_t>(600, 'x'));
  PassportFile file(fs);
  EXPECT_FALSE(file.use(reporter));
  ASSERT_EQ(reporter.messages.size(), 1u);
  EXPECT_EQ(reporter.messages[0].number, 26);
}

// The same on the machine's file system, held by another open as another program would.
TEST(PassportFileOnDiskTest, ExclusiveHolderOnDisk) {
  platform::testing::TempDir temp("orvel-passport");
  const std::filesystem::path dir = temp.path();
  platform::testing::InDirectory inside(dir);
  {
    CollectingReporter reporter;
    {
      PassportFile first;
      ASSERT_TRUE(first.use(reporter));
      first.release();
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "passport.hvk"));
    std::unique_ptr<platform::File> holder;
    ASSERT_EQ(platform::system_file_system().open("passport.hvk", 0x12, Disposition::kOpenExisting,
                                                  &holder),
              kNoError);
    PassportFile file;
    EXPECT_FALSE(file.use(reporter));
    ASSERT_EQ(reporter.messages.size(), 2u);
    EXPECT_EQ(reporter.messages[0].number, 2);
    EXPECT_EQ(reporter.messages[1].number, 26);
    EXPECT_TRUE(reporter.messages[1].text.ends_with("  Press OK to end this application"));
  }
}

}  // namespace
}  // namespace orvel::app
