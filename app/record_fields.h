// The building blocks of the program's fixed-layout records: integers stored little-endian
// at any offset, text fields of a fixed width, and the field declarations that describe a
// record to the keyed data file engine.
//
// A record is a plain struct of byte-sized members only, so it has no padding, its size is
// its record length and it can be copied byte for byte as the record image. Integers are
// held in the wrapper types below, which load and store through the byte order helpers, so
// no member is ever read at an unaligned address.
//
// Text fields are char arrays of the field's width holding code page 1251 text padded on the
// right with blanks. Assigning a longer value truncates it, a shorter one is blank-padded; a
// trimmed value has the trailing blanks removed; comparisons ignore trailing blanks.
//
// Everything here is stateless and thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/byte_order.h"
#include "datafile/declaration.h"

namespace orvel::app {

// A signed 32-bit integer field, little-endian.
class Int32Field {
 public:
  int32_t get() const { return static_cast<int32_t>(datafile::load_u32_le(bytes_)); }
  void set(int32_t value) { datafile::store_u32_le(bytes_, static_cast<uint32_t>(value)); }

 private:
  uint8_t bytes_[4];
};

// A signed 16-bit integer field, little-endian.
class Int16Field {
 public:
  int16_t get() const { return static_cast<int16_t>(datafile::load_u16_le(bytes_)); }
  void set(int16_t value) { datafile::store_u16_le(bytes_, static_cast<uint16_t>(value)); }

 private:
  uint8_t bytes_[2];
};

static_assert(sizeof(Int32Field) == 4 && alignof(Int32Field) == 1);
static_assert(sizeof(Int16Field) == 2 && alignof(Int16Field) == 1);

// Text fields through a pointer and a width.
void assign_text(char* field, size_t width, std::string_view value);
// The field's value without its trailing blanks.
std::string_view trimmed_text(const char* field, size_t width);
// Negative, zero or positive as a sorts before, equal to or after b, comparing unsigned
// bytes with the shorter text extended by blanks; so trailing blanks never matter.
int compare_text(std::string_view a, std::string_view b);

// The same for a text field of a record, `field` being the member itself: assign(psp.SER,
// "45 04"). Only for fields: a string literal is an array too and would carry its NUL.
template <size_t N>
void assign(char (&field)[N], std::string_view value) {
  assign_text(field, N, value);
}
template <size_t N>
std::string_view trimmed(const char (&field)[N]) {
  return trimmed_text(field, N);
}
template <size_t N>
std::string trimmed_string(const char (&field)[N]) {
  return std::string(trimmed_text(field, N));
}
// The full width of a field, blanks included.
template <size_t N>
std::string_view text_of(const char (&field)[N]) {
  return std::string_view(field, N);
}
template <size_t N>
int compare(const char (&field)[N], std::string_view value) {
  return compare_text(std::string_view(field, N), value);
}
template <size_t N>
bool equals(const char (&field)[N], std::string_view value) {
  return compare(field, value) == 0;
}

// Clears the record image of the given length described by fields: every STRING field to
// blanks, everything else (integers, bytes) to 0. Fields that lie over others are skipped.
void clear_image(void* image, size_t length, const std::vector<datafile::FieldDecl>& fields);

// Field declarations. A text field is a STRING with the picture "@s" and its width.
datafile::FieldDecl text_field(std::string label, size_t offset, size_t width);
datafile::FieldDecl integer_field(std::string label, datafile::FieldType type, size_t offset,
                                  size_t size);
// A key without external name whose components, all ascending, are the given field numbers.
datafile::KeyDecl key(std::string label, std::string description, uint8_t attributes,
                      std::initializer_list<uint16_t> fields);

}  // namespace orvel::app
