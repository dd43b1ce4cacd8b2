#include "datafile/data_record.h"

#include <gtest/gtest.h>

#include <cstring>

#include "datafile/record_framing.h"
#include "datafile/record_keys.h"
#include "datafile/tests/passport_declaration.h"

namespace orvel::datafile {
namespace {

Bytes passport_image(const char* ser, const char* num, const char* fio) {
  Bytes image(798, ' ');
  std::memcpy(image.data(), ser, std::strlen(ser));
  std::memcpy(image.data() + 20, num, std::strlen(num));
  std::memcpy(image.data() + 40, fio, std::strlen(fio));
  std::memset(image.data() + 290, 0, 8);
  return image;
}

TEST(DataRecordTest, PassportRecordHoldsItsImageUnchanged) {
  TableDecl decl = passport_declaration();
  Bytes image = passport_image("45 01", "123456", "\xC8\xC2\xC0\xCD\xCE\xC2");  // ИВАНОВ
  Record record = make_data_record(2, 1, decl, false, image.data(), image.size());
  EXPECT_EQ(record.total_length(), 807u);
  EXPECT_EQ(record.key_length, 9);
  EXPECT_EQ(Bytes(record.bytes.begin(), record.bytes.begin() + 9),
            (Bytes{0, 0, 0, 2, 0xF3, 0, 0, 0, 1}));
  EXPECT_EQ(Bytes(record.bytes.begin() + 9, record.bytes.end()), image);
  Bytes back(798);
  read_data_record(record, decl, false, back.data(), back.size());
  EXPECT_EQ(back, image);
}

TEST(DataRecordTest, ConsecutiveRecordsShareTheirTablePrefix) {
  TableDecl decl = passport_declaration();
  Bytes a = passport_image("11", "1", "A");
  Bytes b = passport_image("22", "2", "B");
  std::vector<Record> records = {make_data_record(0x0102, 0x0FFF, decl, false, a.data(), a.size()),
                                 make_data_record(0x0102, 0x1000, decl, false, b.data(), b.size())};
  Bytes framed;
  frame_records(records, &framed);
  uint8_t second_flags = framed[5 + 807];
  EXPECT_EQ(second_flags & 0xC0, 0);  // same lengths
  EXPECT_GE(second_flags & 0x3F, 5);
  EXPECT_LE(second_flags & 0x3F, 63);
}

TEST(DataRecordTest, OemTableConvertsItsOwnTextFields) {
  TableDecl decl;
  decl.record_length = 34;
  decl.fields = {
      field_decl("S", FieldType::kString, 0, 4),
      field_decl("C", FieldType::kCString, 4, 6),
      field_decl("P", FieldType::kPString, 10, 5),
      field_decl("L", FieldType::kLong, 15, 4),
      field_decl("O", FieldType::kString, 15, 4, 1, true),  // over L: its bytes are L's
      field_decl("A", FieldType::kCString, 19, 6, 2),       // two elements of 3
      field_decl("G", FieldType::kGroup, 25, 9),
      field_decl("GS", FieldType::kString, 25, 9),
  };
  const uint8_t a = 0xE0, b = 0xE1;               // а б in ANSI; A0 A1 in OEM
  Bytes image = {a, 'x', b, ' ',                  // S
                 a, b,   0, a,   a, a,            // C: text ends at the zero
                 2, a,   b, a,   a,               // P: two bytes of text
                 a, b,   a, b,                    // L, O
                 a, 0,   a, b,   b, 0,            // A: "а" then "бб"
                 a, a,   a, a,   a, a, a, a, a};  // G, GS
  Record record = make_data_record(1, 5, decl, true, image.data(), image.size());
  const uint8_t A = 0xA0, B = 0xA1;
  Bytes expected = {A, 'x', B, ' ', A, B, 0, a, a, a, 2, A, B, a, a, a, b,
                    a, b,   A, 0,   a, B, B, 0, A, A, A, A, A, A, A, A, A};
  EXPECT_EQ(Bytes(record.bytes.begin() + 9, record.bytes.end()), expected);
  Bytes back(image.size());
  read_data_record(record, decl, true, back.data(), back.size());
  EXPECT_EQ(back, image);

  // A stored image shorter than the buffer: fields are clipped, the rest stays zero.
  Record shorter = record;
  shorter.bytes.resize(9 + 12);
  Bytes partial(image.size(), 0xEE);
  read_data_record(shorter, decl, true, partial.data(), partial.size());
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + 6, partial.begin()));
  EXPECT_EQ(partial[12], 0);
  EXPECT_EQ(partial.back(), 0);
}

}  // namespace
}  // namespace orvel::datafile
