// The files the program makes on POSIX systems, each through the code that makes it in a run:
// the passport file, an export file and the list-formats file with its directory all get
// what the user's umask leaves of read and write (and search, for directories) for everyone.
#include <gtest/gtest.h>

#include <string>

#include "app/error_reporter.h"
#include "app/import_file.h"
#include "app/list_formats_record.h"
#include "app/passport_file.h"
#include "platform/browse/list_format_store.h"
#include "platform/browse/list_formats_location.h"
#include "platform/error_codes.h"
#include "platform/tests/scoped_umask.h"
#include "platform/tests/temp_dir.h"
#include "textfile/text_file.h"

namespace orvel::app {
namespace {

using platform::testing::permissions_of;

TEST(PosixCreatedFilesTest, EveryKindOfFileTakesTheUmask) {
  struct Case {
    mode_t umask;
    int file;
    int directory;
  };
  for (const Case& c : {Case{077, 0600, 0700}, Case{022, 0644, 0755}}) {
    SCOPED_TRACE(c.umask);
    platform::testing::ScopedUmask mask(c.umask);
    platform::testing::TempDir dir("orvel-created");
    {
      platform::testing::InDirectory inside(dir.path());
      PassportFile passports;
      CollectingReporter reporter;
      ASSERT_TRUE(passports.use(reporter));
      EXPECT_EQ(passports.release(), kNoError);
    }
    EXPECT_EQ(permissions_of(dir.path("passport.hvk")), c.file);

    ImportFileName name;
    name.assign(dir.path("export.txt"));
    textfile::TextFile exported(import_text_file(name));
    ASSERT_EQ(exported.create(), kNoError);
    EXPECT_EQ(permissions_of(dir.path("export.txt")), c.file);

    const std::string formats = dir.path("config/orvel/Formats.FDB");
    ASSERT_EQ(browse::create_list_formats_directory(formats), kNoError);
    const datafile::TableDecl formats_table = list_formats_table(formats);
    browse::ListFormatStore store(formats_table, "orvel", "Main", 1);
    ASSERT_EQ(store.open(), kNoError);
    EXPECT_EQ(permissions_of(formats), c.file);
    EXPECT_EQ(permissions_of(dir.path("config/orvel")), c.directory);
  }
}

}  // namespace
}  // namespace orvel::app
