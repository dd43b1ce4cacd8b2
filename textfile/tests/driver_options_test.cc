#include <gtest/gtest.h>

#include "textfile/driver_options.h"
#include "textfile/tests/test_support.h"

namespace orvel::textfile {
namespace {

constexpr int kNoSharing = 22;  // read/write, deny all, as the program opens
constexpr int kShared = 0x42;   // read/write, deny none

TEST(DriverOptionsTest, DefaultsDependOnTheSharingOfTheMode) {
  RecordLayout tiny;
  tiny.add_text("A", 10);
  DriverSettings s = driver_settings("", kNoSharing, tiny);
  EXPECT_EQ(s.format.field_delimiter, ",");
  EXPECT_EQ(s.format.quote, '"');
  EXPECT_TRUE(s.format.always_quote);
  EXPECT_EQ(s.format.end_of_record, "\r\n");
  EXPECT_TRUE(s.format.ctrl_z_is_eof);
  EXPECT_TRUE(s.format.end_of_record_in_quote);
  EXPECT_TRUE(s.file_buffer);
  EXPECT_EQ(s.buffer_size, 1024u);

  for (int mode : {0x02, 0x42, 0x40}) {
    s = driver_settings("", mode, tiny);
    EXPECT_FALSE(s.file_buffer) << mode;
    EXPECT_EQ(s.buffer_size, 512u) << mode;
  }
  for (int mode : {0x10, 0x20, 0x30}) EXPECT_TRUE(driver_settings("", mode, tiny).file_buffer);

  // Twice the largest text form of the import record.
  EXPECT_EQ(driver_settings("/COMMA=59", kNoSharing, testing::import_layout()).buffer_size, 1660u);
}

TEST(DriverOptionsTest, OptionStrings) {
  RecordLayout layout = testing::import_layout();
  struct Case {
    const char* options;
    int mode;
    TextFormat format;
    bool file_buffer;
    size_t buffer_size;
  };
  auto fmt = [](auto change) {
    TextFormat f;
    change(f);
    return f;
  };
  auto semicolon = fmt([](TextFormat& f) { f.field_delimiter = ";"; });
  const Case cases[] = {
      {"/COMMA=59", kNoSharing, semicolon, true, 1660},
      {"/comma = 59", kNoSharing, semicolon, true, 1660},
      {" \t/ Co mMa=5 9 ", kNoSharing, semicolon, true, 1660},
      {"/COMMA=9/ALWAYSQUOTE=OFF", kNoSharing, fmt([](TextFormat& f) {
         f.field_delimiter = "\t";
         f.always_quote = false;
       }),
       true, 1660},
      {"/ENDOFRECORDINQUOTE=OFF", kNoSharing,
       fmt([](TextFormat& f) { f.end_of_record_in_quote = false; }), true, 1660},
      {"/ENDOFRECORDINQUOTE=MAYBE", kNoSharing, {}, true, 1660},
      {"/ENDOFRECORD=1,10", kNoSharing, fmt([](TextFormat& f) { f.end_of_record = "\n"; }), true,
       1660},
      {"/FIELDDELIMITER=2,124,124/ENDOFRECORD=3,36,13,10", kNoSharing, fmt([](TextFormat& f) {
         f.field_delimiter = "||";
         f.end_of_record = "$\r\n";
       }),
       true, 1660},
      {"/FIELDDELIMITER=3,1,2", kNoSharing, {}, true, 1660},  // a code missing
      {"/ENDOFRECORD=0", kNoSharing, {}, true, 1660},         // nothing would end a record
      {"/QUOTE=39/CTRLZISEOF=OFF", kNoSharing, fmt([](TextFormat& f) {
         f.quote = '\'';
         f.ctrl_z_is_eof = false;
       }),
       true, 1660},
      {"/CTRLZISEOF=NO", kNoSharing, {}, true, 1660},
      {"/ALWAYSQUOTE=NO", kNoSharing, {}, true, 1660},
      {"/QUICKSCAN=OFF", kNoSharing, {}, false, 1660},
      {"/QUICKSCAN=ON", kShared, {}, true, 1660},
      {"/QUICKSCAN=YES", kShared, {}, false, 1660},
      {"/FILEBUFFERS=8", kNoSharing, {}, true, 4096},
      {"/FILEBUFFERS=1", kNoSharing, {}, true, 830},  // at least the record
      {"/FILEBUFFERS=999999999", kNoSharing, {}, true, kMaxFileBufferSize},
      {"/COMMA", kNoSharing, {}, true, 1660},             // no value: unchanged
      {"/COMMAS=59", kNoSharing, semicolon, true, 1660},  // known by its first letters
      {"/NOSUCH=1/COMMA=59", kNoSharing, semicolon, true, 1660},
      {"COMMA=59", kNoSharing, {}, true, 1660},  // no "/"
      {"/COMMA=59/COMMA=44", kNoSharing, {}, true, 1660},
  };
  for (const auto& c : cases) {
    DriverSettings s = driver_settings(c.options, c.mode, layout);
    EXPECT_EQ(s.format.field_delimiter, c.format.field_delimiter) << c.options;
    EXPECT_EQ(s.format.quote, c.format.quote) << c.options;
    EXPECT_EQ(s.format.always_quote, c.format.always_quote) << c.options;
    EXPECT_EQ(s.format.end_of_record, c.format.end_of_record) << c.options;
    EXPECT_EQ(s.format.ctrl_z_is_eof, c.format.ctrl_z_is_eof) << c.options;
    EXPECT_EQ(s.format.end_of_record_in_quote, c.format.end_of_record_in_quote) << c.options;
    EXPECT_EQ(s.file_buffer, c.file_buffer) << c.options;
    EXPECT_EQ(s.buffer_size, c.buffer_size) << c.options;
  }
}

}  // namespace
}  // namespace orvel::textfile
