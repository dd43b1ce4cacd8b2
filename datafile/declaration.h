// The declaration of a table as a program gives it to the engine: its file, driver options,
// fields, memos, keys and attributes.
//
// A declaration is plain data, built once by the program (for the passport file in
// app/passport_record.h) and read by the engine when a table is opened or created; the
// engine never changes it. Field numbers in key components are 0-based positions in
// `fields`, GROUP fields included.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvel::datafile {

// Field type codes as the definition stream stores them.
enum class FieldType : uint8_t {
  kByte = 1,
  kShort = 2,
  kUShort = 3,
  kDate = 4,
  kTime = 5,
  kLong = 6,
  kULong = 7,
  kSReal = 8,
  kReal = 9,
  kDecimal = 10,
  kPDecimal = 11,
  kString = 18,
  kCString = 19,
  kPString = 20,
  kGroup = 22,
};

struct FieldDecl {
  std::string label;          // as the program names it, "PSP:SER"
  std::string external_name;  // stored instead of the label when not empty
  FieldType type;
  uint16_t offset;        // in the record image
  uint16_t size;          // total bytes: element size x elements
  uint16_t elements = 1;  // product of the dimensions; 1 for a plain field
  bool over = false;      // lies over earlier fields (itself or through its GROUP)
  uint8_t places = 0;     // decimal places of DECIMAL and PDECIMAL fields
  std::string picture;    // display picture of text fields, may be empty
};

// Key attribute bits as the definition stream stores them.
namespace key_attr {
constexpr uint8_t kDup = 0x01;
constexpr uint8_t kOpt = 0x02;
constexpr uint8_t kNoCase = 0x04;
constexpr uint8_t kPassedOn = 0x08;  // carried from the declaration, no effect
constexpr uint8_t kPrimary = 0x10;
constexpr uint8_t kIndex = 0x20;
constexpr uint8_t kIndexWithoutComponents = 0x40;
}  // namespace key_attr

struct KeyComponent {
  uint16_t field;  // 0-based field number
  bool descending = false;
};

struct KeyDecl {
  std::string label;          // "PSP:KL_SER_NUM"
  std::string external_name;  // may be empty
  std::string description;    // how messages name the key, "ser+num"; not stored
  uint8_t attributes = 0;     // key_attr bits
  std::vector<KeyComponent> components;
};

// Memo flag bits.
namespace memo_flag {
constexpr uint16_t kBinary = 0x02;
constexpr uint16_t kBlob = 0x04;
}  // namespace memo_flag

struct MemoDecl {
  std::string label;
  std::string external_name;
  uint16_t size = 0;  // maximum size in bytes
  uint16_t flags = 0;
};

// File attribute bits.
namespace file_attr {
constexpr unsigned kCreate = 0x01;
constexpr unsigned kOem = 0x02;
constexpr unsigned kThread = 0x04;
constexpr unsigned kEncrypt = 0x08;
constexpr unsigned kReclaim = 0x10;
}  // namespace file_attr

struct TableDecl {
  std::string label;           // the table's label, "passport"
  std::string file_name;       // may carry a table name after "\!"
  std::string driver_options;  // option words, each after "/"
  uint16_t record_length = 0;
  std::vector<FieldDecl> fields;
  std::vector<MemoDecl> memos;
  std::vector<KeyDecl> keys;
  unsigned attributes = 0;  // file_attr bits
};

}  // namespace orvel::datafile
