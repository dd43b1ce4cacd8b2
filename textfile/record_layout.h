// The record layout of a delimited text file: its fields in declaration order, each with an
// offset and a width in the record image, and the record image helpers built on it.
//
// Text fields are fixed-width, padded on the right with blanks and carry no terminator.
// Number fields hold a signed 32-bit integer, little-endian, in 4 bytes; they are written
// as decimal text without quotes. Fields lie one after the other, so the record size is the
// sum of the widths. A layout is plain data; the record images it describes belong to
// whoever holds them (the file object owns the one it reads into and writes from).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvel::textfile {

enum class FieldType { kText, kNumber };

// Bytes of a number field in the record image.
inline constexpr size_t kNumberWidth = 4;
// The longest decimal text of a number field, "-2147483648".
inline constexpr size_t kNumberTextWidth = 11;

struct FieldLayout {
  std::string label;  // as the program names it, "IMP:SER"
  FieldType type;
  size_t offset;  // in the record image
  size_t width;   // bytes in the record image
};

class RecordLayout {
 public:
  RecordLayout& add_text(std::string label, size_t width);
  RecordLayout& add_number(std::string label);

  const std::vector<FieldLayout>& fields() const { return fields_; }
  size_t size() const { return size_; }
  // The longest text the record's fields can have, without quotes and delimiters: the
  // widths of the text fields plus the longest number text of each number field.
  size_t largest_text_form() const;

  // Sets record (size() bytes) to the blank record: text fields all spaces, numbers 0.
  void blank(std::span<uint8_t> record) const;

  // The bytes of text field i, padding included.
  std::string_view text(std::span<const uint8_t> record, size_t i) const;
  // Stores text into text field i, cut to its width and padded with blanks.
  void set_text(std::span<uint8_t> record, size_t i, std::string_view text) const;
  int32_t number(std::span<const uint8_t> record, size_t i) const;
  void set_number(std::span<uint8_t> record, size_t i, int32_t value) const;

 private:
  std::vector<FieldLayout> fields_;
  size_t size_ = 0;
};

}  // namespace orvel::textfile
