#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "platform/error_codes.h"
#include "textfile/record_layout.h"
#include "textfile/record_reader.h"
#include "textfile/record_writer.h"
#include "textfile/tests/test_support.h"

namespace orvel::textfile {
namespace {

using testing::import_layout;
using testing::padded;
using testing::read_all;
using testing::ReadAll;
using testing::ReadRecord;
using testing::semicolon_format;

// The windows every reading test is repeated with: byte by byte, sizes that split the
// two-byte end of record, and a window that holds everything.
constexpr size_t kWindows[] = {1, 2, 3, 7, 1 << 16};

// "99 99", "000001", the holder's name, reason with quotes, in code page 1251.
const std::string kName =
    "\xCE\xC1\xD0\xC0\xC7\xD6\xCE\xC2 \xCE\xC1\xD0\xC0\xC7\xC5\xD6 "
    "\xCE\xC1\xD0\xC0\xC7\xD6\xCE\xC2\xC8\xD7";
const std::string kReason =
    "\xD3\xF2\xF0\xE0\xF7\xE5\xED (\xF1\xEF\xF0\xE0\xE2\xEA\xE0 \"\xC0-1\")";
const std::string kReasonDoubled =
    "\xD3\xF2\xF0\xE0\xF7\xE5\xED (\xF1\xEF\xF0\xE0\xE2\xEA\xE0 \"\"\xC0-1\"\")";

std::vector<uint8_t> import_record(const std::vector<std::string>& values) {
  RecordLayout layout = import_layout();
  std::vector<uint8_t> record(layout.size());
  for (size_t i = 0; i < values.size(); ++i) layout.set_text(record, i, values[i]);
  return record;
}

TEST(RecordWriterTest, ImportLineWithDoubledQuotesIsReadBackByteForByte) {
  RecordLayout layout = import_layout();
  std::vector<std::string> values = {"99 99", "000001", kName, "2001-05-17", kReason, "2006-03-01"};
  std::string line;
  write_record(layout, semicolon_format(), import_record(values), &line);
  const std::string expected = "\"99 99\";\"000001\";\"" + kName + "\";\"2001-05-17\";\"" +
                               kReasonDoubled + "\";\"2006-03-01\"\r\n";
  EXPECT_EQ(line, expected);

  for (size_t window : kWindows) {
    ReadAll got = read_all(line, layout, semicolon_format(), window);
    ASSERT_EQ(got.records.size(), 1u) << "window " << window;
    EXPECT_EQ(got.records[0].length, line.size());
    for (size_t i = 0; i < values.size(); ++i) {
      EXPECT_EQ(got.records[0].fields[i], padded(values[i], layout.fields()[i].width));
    }
    EXPECT_EQ(got.end_code, kRecordNotAvailable);
  }
}

TEST(RecordWriterTest, TextForms) {
  RecordLayout layout;
  layout.add_text("A", 6).add_text("B", 6);
  TextFormat quoted = semicolon_format();
  TextFormat bare = semicolon_format();
  bare.always_quote = false;
  TextFormat tabs = bare;
  tabs.field_delimiter = "\t";
  struct Case {
    std::string a, b;
    const TextFormat* format;
    std::string expected;
  } cases[] = {
      {"", "", &quoted, "\"\";\"\"\r\n"},
      {"  x  ", "", &quoted, "\"  x\";\"\"\r\n"},
      {std::string("ab\0cd", 5), "", &quoted, "\"ab\";\"\"\r\n"},
      {std::string("ab \0 ", 5), "", &quoted, "\"ab \";\"\"\r\n"},  // NUL, then blanks kept
      {"a b", "q\"x", &tabs, "a b\t\"q\"\"x\"\r\n"},
      {"t\tz", "a;b", &tabs, "\"t\tz\"\ta;b\r\n"},
      {"a;b", "c", &bare, "\"a;b\";c\r\n"},
      // Left bare, the line break would end the record early when read back.
      {"a\r\nb", "a\nb", &bare, "\"a\r\nb\";a\nb\r\n"},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> record(layout.size());
    layout.set_text(record, 0, c.a);
    layout.set_text(record, 1, c.b);
    std::string line;
    write_record(layout, *c.format, record, &line);
    EXPECT_EQ(line, c.expected);
  }
}

TEST(RecordWriterTest, AllBlankImportRecord) {
  std::string line;
  write_record(import_layout(), semicolon_format(), import_record({}), &line);
  EXPECT_EQ(line, "\"\";\"\";\"\";\"\";\"\";\"\"\r\n");
}

TEST(RecordWriterTest, NumberFieldsAreBareDecimalsAndReadBack) {
  RecordLayout layout;
  layout.add_text("T", 4).add_number("N").add_number("M").add_number("X");
  std::vector<uint8_t> record(layout.size());
  layout.set_text(record, 0, "x");
  layout.set_number(record, 1, 42);
  layout.set_number(record, 2, -7);
  layout.set_number(record, 3, INT32_MIN);
  std::string line;
  write_record(layout, semicolon_format(), record, &line);
  EXPECT_EQ(line, "\"x\";42;-7;-2147483648\r\n");

  RecordReader reader(semicolon_format());
  for (const auto& [text, n, m, x] : std::vector<std::tuple<std::string, int, int, int>>{
           {line, 42, -7, INT32_MIN},
           {"x; \"12\" ;abc;99999999999\r\n", 12, 0, INT32_MAX},
           {"x;;7x\r\n", 0, 7, 0}}) {
    testing::MemorySource source(text, 3);
    uint64_t length = 0;
    ASSERT_EQ(reader.read(source, 0, layout, record, &length), kNoError);
    EXPECT_EQ(layout.number(record, 1), n) << text;
    EXPECT_EQ(layout.number(record, 2), m) << text;
    EXPECT_EQ(layout.number(record, 3), x) << text;
  }
}

// Three text fields of width 8 with the semicolon as delimiter.
RecordLayout small_layout() {
  RecordLayout layout;
  layout.add_text("A", 8).add_text("B", 8).add_text("C", 8);
  return layout;
}

struct ReadCase {
  const char* what;
  std::string input;
  std::vector<ReadRecord> records;  // fields without padding
  int end_code = kRecordNotAvailable;
};

std::vector<ReadRecord> pad(std::vector<ReadRecord> records) {
  for (auto& r : records) {
    r.fields.resize(3);
    for (auto& f : r.fields) f = padded(f, 8);
  }
  return records;
}

void expect_reads(const std::vector<ReadCase>& cases, const TextFormat& format) {
  for (const auto& c : cases) {
    for (size_t window : kWindows) {
      ReadAll got = read_all(c.input, small_layout(), format, window);
      EXPECT_EQ(got, (ReadAll{pad(c.records), c.end_code})) << c.what << ", window " << window;
    }
  }
}

TEST(RecordReaderTest, SemicolonRecords) {
  const std::string z = "\x1A";
  expect_reads(
      {
          {"empty line is a blank record of 2 bytes", "\r\n", {{{}, 2}}},
          {"carriage returns before the end are skipped", "\r\r\n", {{{}, 3}}},
          {"fewer fields leave the rest blank", "x\r\ny;z\r\n", {{{"x"}, 3}, {{"y", "z"}, 5}}},
          {"fields beyond the last are skipped, quotes or not",
           "a;b;c;d;\"e;\r\n\";f\r\n",
           {{{"a", "b", "c"}, 13}, {{";f\r\n"}, 5}}},
          {"unquoted values lose leading blanks",
           "  99 99;\t000001\r\n",
           {{{"99 99", "000001"}, 17}}},
          {"white space of every kind before a value",
           std::string("\t\0\r x;y\r\n", 9),
           {{{"x", "y"}, 9}}},
          {"quoted delimiters and line breaks are data",
           "\"a;b\";\"c\r\nd\";x\r\n",
           {{{"a;b", "c\r\nd", "x"}, 16}}},
          {"LF alone is data", "ab\ncd;x\r\n", {{{"ab\ncd", "x"}, 9}}},
          {"CR alone inside a value is data", "a\rb;c\r\n", {{{"a\rb", "c"}, 7}}},
          {"NUL inside a value is data",
           std::string("a\0b;c\r\n", 7),
           {{{std::string("a\0b", 3), "c"}, 7}}},
          {"doubled quotes", "\"a\"\"b\";\"\"\"\"\r\n", {{{"a\"b", "\""}, 13}}},
          {"quote inside an unquoted value", "ab\"c;d\r\n", {{{"ab\"c", "d"}, 8}}},
          {"bytes after the closing quote are skipped", "\"ab\"xyz;c\r\n", {{{"ab", "c"}, 11}}},
          {"empty fields", ";;c\r\n", {{{"", "", "c"}, 5}}},
          {"quoted value cut at the width",
           "\"123456789AB\";next\r\n",
           {{{"12345678", "next"}, 20}}},
          {"unquoted value cut at the width", "123456789AB;next\r\n", {{{"12345678", "next"}, 18}}},
          {"a cut quoted value runs to its closing quote",
           "\"12345678;9\";next\r\n",
           {{{"12345678", "next"}, 19}}},
          {"cut exactly at the closing quote", "\"12345678\";b\r\n", {{{"12345678", "b"}, 14}}},
          {"Ctrl-Z ends a record and belongs to it",
           "a;b" + z + "c\r\n",
           {{{"a", "b"}, 4}, {{"c"}, 3}}},
          {"Ctrl-Z ends a quoted value",
           "\"ab" + z + "cd\";x\r\n",
           {{{"ab"}, 4}, {{"cd\"", "x"}, 7}}},
          {"Ctrl-Z where a record begins ends the file", "a\r\n" + z + "b\r\n", {{{"a"}, 3}}},
          {"Ctrl-Z in the skip after the last field",
           "a;b;c;d" + z + "e\r\n",
           {{{"a", "b", "c"}, 8}, {{"e"}, 3}}},
          {"the end of the file ends the record uncounted", "a;b", {{{"a", "b"}, 3}}},
          {"an unterminated quote runs to the end", "\"abc;d", {{{"abc;d"}, 6}}},
          {"a quote as the last byte", "\"", {{{}, 1}}},
          {"blanks alone", "   ", {{{}, 3}}},
          {"nothing at all", "", {}},
      },
      semicolon_format());
}

TEST(RecordReaderTest, OtherFormats) {
  TextFormat no_eor_in_quote = semicolon_format();
  no_eor_in_quote.end_of_record_in_quote = false;
  expect_reads({{"a line break ends a quoted value and the record",
                 "\"ab\r\ncd\";x\r\n",
                 {{{"ab"}, 5}, {{"cd\"", "x"}, 7}}},
                {"a lone CR stays data", "\"a\rb\";x\r\n", {{{"a\rb", "x"}, 9}}}},
               no_eor_in_quote);

  TextFormat ctrl_z_data = semicolon_format();
  ctrl_z_data.ctrl_z_is_eof = false;
  expect_reads({{"Ctrl-Z is data",
                 "\x1A"
                 "a;\"\x1A\"\r\n",
                 {{{"\x1A"
                    "a",
                    "\x1A"},
                   8}}}},
               ctrl_z_data);

  TextFormat multi;
  multi.field_delimiter = "||";
  multi.end_of_record = "$$";
  expect_reads({{"sequences of two bytes",
                 "a||b|c$x$$\"d$$\"||e$",
                 {{{"a", "b|c$x"}, 10}, {{"d$$", "e$"}, 9}}}},
               multi);

  TextFormat spaces = semicolon_format();
  spaces.field_delimiter = " ";
  expect_reads({{"a blank as delimiter separates fields, two of them leave one empty",
                 "a b  c\r\n",
                 {{{"a", "b", ""}, 8}}}},
               spaces);
}

TEST(RecordReaderTest, LongValueIsReadToItsEndThroughManyWindows) {
  RecordLayout layout = import_layout();
  std::string big(100000, 'x');
  big[50000] = ';';
  std::string input = "\"" + big + "\";\"000002\"\r\n\"99 99\"\r\n";
  for (size_t window : {size_t{1660}, size_t{1 << 20}}) {
    ReadAll got = read_all(input, layout, semicolon_format(), window);
    ASSERT_EQ(got.records.size(), 2u);
    EXPECT_EQ(got.records[0].fields[0], std::string(20, 'x'));
    EXPECT_EQ(got.records[0].fields[1], padded("000002", 20));
    EXPECT_EQ(got.records[0].length, big.size() + 13);
    EXPECT_EQ(got.records[1].fields[0], padded("99 99", 20));
  }
}

// A source that fails beyond a point, as a disk that cannot be read there.
class FailingSource : public testing::MemorySource {
 public:
  FailingSource(std::string bytes, uint64_t fail_at)
      : MemorySource(std::move(bytes), 4), fail_at_(fail_at) {}
  int window(uint64_t offset, size_t min_len, const uint8_t** data, size_t* len) override {
    if (offset + min_len > fail_at_) {
      *len = 0;
      return kSystemIoError;
    }
    return MemorySource::window(offset, min_len, data, len);
  }

 private:
  uint64_t fail_at_;
};

TEST(RecordReaderTest, ReadErrorOfTheSourceIsReturned) {
  RecordLayout layout = small_layout();
  RecordReader reader(semicolon_format());
  std::vector<uint8_t> record(layout.size());
  for (uint64_t fail_at : {0, 1, 5, 9}) {
    FailingSource source("\"abc\";\"def\"\r\n", fail_at);
    uint64_t length = 99;
    EXPECT_EQ(reader.read(source, 0, layout, record, &length), kSystemIoError) << fail_at;
    EXPECT_EQ(length, 0u);
  }
}

// Hands out one byte at a time and has nothing more when asked for two, as a file that
// another program cuts while it is read.
class ShrinkingSource : public testing::MemorySource {
 public:
  using MemorySource::MemorySource;
  int window(uint64_t offset, size_t min_len, const uint8_t** data, size_t* len) override {
    int rc = MemorySource::window(offset, 1, data, len);
    if (min_len > 1) *len = 0;
    return rc;
  }
};

TEST(RecordReaderTest, FileCutUnderTheReaderEndsTheRecordWhereTheBytesEnd) {
  RecordLayout layout = small_layout();
  RecordReader reader(semicolon_format());
  std::vector<uint8_t> record(layout.size());
  ShrinkingSource source("ab;cd\r\nef\r\n", 1);
  uint64_t length = 0;
  ASSERT_EQ(reader.read(source, 0, layout, record, &length), kNoError);
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(layout.text(record, 0), padded("ab", 8));
  EXPECT_EQ(layout.text(record, 1), padded("cd", 8));
}

// Hostile bytes: every window size must give the same records, every record must take at
// least one byte, and the reading must end.
TEST(RecordReaderTest, GarbageReadsTheSameThroughEveryWindow) {
  const char alphabet[] = {'"', ';', '\r', '\n', '\x1A', ' ', '\t', '\0', 'a', 'b', '|', '$'};
  TextFormat formats[4] = {semicolon_format(), semicolon_format(), semicolon_format(), {}};
  formats[1].end_of_record_in_quote = false;
  formats[2].ctrl_z_is_eof = false;
  formats[3].field_delimiter = "||";
  formats[3].end_of_record = "$\r\n";
  unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  for (int round = 0; round < 200; ++round) {
    std::string input(rng() % 300, '\0');
    for (char& c : input) c = alphabet[rng() % sizeof alphabet];
    const TextFormat& format = formats[round % 4];
    ReadAll whole = read_all(input, small_layout(), format, 1 << 16);
    uint64_t total = 0;
    for (const auto& r : whole.records) {
      EXPECT_GE(r.length, 1u);
      total += r.length;
    }
    EXPECT_LE(total, input.size());
    for (size_t window : {1, 2, 3}) {
      EXPECT_EQ(read_all(input, small_layout(), format, window), whole);
    }
  }
}

TEST(RecordReaderTest, RandomRecordsSurviveWritingAndReading) {
  unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  RecordLayout layout = small_layout();
  TextFormat bare = semicolon_format();
  bare.always_quote = false;
  for (const TextFormat& format : {semicolon_format(), bare}) {
    std::string file;
    std::vector<std::vector<std::string>> written;
    for (int n = 0; n < 300; ++n) {
      std::vector<uint8_t> record(layout.size());
      std::vector<std::string> values;
      for (size_t i = 0; i < 3; ++i) {
        std::string v(rng() % 9, 'a');
        // Any byte but NUL and Ctrl-Z; bare values must not begin with white space.
        for (char& c : v) {
          do {
            c = static_cast<char>(rng() % 256);
          } while (c == '\0' || c == '\x1A');
        }
        if (!format.always_quote && !v.empty() && (v[0] == ' ' || v[0] == '\t' || v[0] == '\r'))
          v[0] = 'x';
        layout.set_text(record, i, v);
        values.emplace_back(layout.text(record, i));
      }
      write_record(layout, format, record, &file);
      written.push_back(values);
    }
    ReadAll got = read_all(file, layout, format, 5);
    ASSERT_EQ(got.records.size(), written.size());
    for (size_t n = 0; n < written.size(); ++n) EXPECT_EQ(got.records[n].fields, written[n]);
  }
}

}  // namespace
}  // namespace orvel::textfile
