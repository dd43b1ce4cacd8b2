// Key values as bytes: the encoding that makes plain unsigned byte order the order of a key.
//
// A key entry is a record of the record tree:
//   offset  width  content
//   0       4      table number, big-endian
//   4       1      key number (the record kind byte, 0 to 0xEF)
//   5       n      encoded key value: the encoded components in declaration order
//   5 + n   4      record number, big-endian
// Its record key is all 9 + n bytes for a key that allows duplicates (equal values then
// follow one another by record number) and the first 5 + n bytes otherwise (the record
// number is then the entry's data). n, the sum of the components' sizes, is fixed per key.
//
// Numbers are encoded big-endian with the sign bit inverted (floating point: negative values
// complemented), text is folded and weighted through the table's locale tables, and a
// descending component is complemented. The functions here are pure and thread-safe.
#pragma once

#include <cstdint>
#include <vector>

#include "datafile/declaration.h"
#include "datafile/locale_tables.h"
#include "datafile/record.h"

namespace orvel::datafile {

struct KeyComponentDescriptor {
  FieldType type;
  uint16_t offset;  // in the record image
  uint16_t size;
  bool descending;
};

// A key of an open table, as the engine uses it.
struct KeyDescriptor {
  uint8_t number = 0;      // 0-based position in the declaration; the entries' kind byte
  uint8_t attributes = 0;  // key_attr bits
  std::vector<KeyComponentDescriptor> components;
  uint16_t value_length = 0;  // n: the sum of the components' sizes

  bool dup() const { return (attributes & key_attr::kDup) != 0; }
  bool opt() const { return (attributes & key_attr::kOpt) != 0; }
  bool nocase() const { return (attributes & key_attr::kNoCase) != 0; }
  bool is_index() const { return (attributes & key_attr::kIndex) != 0; }
  bool is_dynamic_index() const {
    return is_index() && (attributes & key_attr::kIndexWithoutComponents) != 0;
  }
  bool is_static_index() const { return is_index() && !is_dynamic_index(); }
  size_t entry_length() const { return 9 + size_t(value_length); }
  uint16_t entry_key_length() const {
    return uint16_t(dup() ? 9 + value_length : 5 + value_length);
  }
};

// The descriptor of key number key_number of a declaration whose limits have been checked.
KeyDescriptor make_key_descriptor(const TableDecl& table, int key_number);
// The same with the attributes and components given: a dynamic index at its build.
KeyDescriptor make_key_descriptor(const TableDecl& table, int key_number, uint8_t attributes,
                                  const std::vector<KeyComponent>& components);

// How text components are transformed: the table's locale tables, and whether its text is
// stored in the OEM code page.
struct TextCollation {
  const LocaleTables* tables;
  bool oem = false;
};

// Writes the key's value_length encoded bytes for a record image into out.
void encode_key_value(const KeyDescriptor& key, const uint8_t* image, const TextCollation& text,
                      uint8_t* out);

// True when every component is empty: text all blanks, CSTRING and PSTRING with a zero
// first byte, any other type all zero bytes. Such a record has no entry in an OPT key.
bool is_empty_for_opt(const KeyDescriptor& key, const uint8_t* image);

// The key entry of a record. Without an image the value bytes are zero, for the caller to
// fill (positioning).
Record make_key_entry(uint32_t table_number, const KeyDescriptor& key, const uint8_t* image,
                      const TextCollation& text, uint32_t record_number);

// The record number in the last four bytes of a key entry.
uint32_t key_entry_record_number(const Record& entry);

}  // namespace orvel::datafile
