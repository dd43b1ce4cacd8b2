#include "platform/browse/field_values.h"

#include <algorithm>
#include <cstring>

#include "datafile/byte_order.h"
#include "datafile/locale_tables.h"

namespace orvel::browse {

using datafile::FieldType;

bool is_text(const datafile::FieldDecl& field) {
  return field.type == FieldType::kString;
}

std::string_view field_bytes(const datafile::FieldDecl& field, const uint8_t* image) {
  return {reinterpret_cast<const char*>(image) + field.offset, field.size};
}

std::optional<int64_t> integer_value(const datafile::FieldDecl& field, const uint8_t* image) {
  const uint8_t* p = image + field.offset;
  switch (field.type) {
    case FieldType::kByte:
      return p[0];
    case FieldType::kShort:
      return static_cast<int16_t>(datafile::load_u16_le(p));
    case FieldType::kUShort:
      return datafile::load_u16_le(p);
    case FieldType::kLong:
      return static_cast<int32_t>(datafile::load_u32_le(p));
    case FieldType::kULong:
    case FieldType::kDate:
    case FieldType::kTime:
      return datafile::load_u32_le(p);
    default:
      return std::nullopt;
  }
}

std::string upper_case(std::string_view text) {
  const datafile::LocaleTables& tables = datafile::program_locale();
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(tables.to_upper(static_cast<uint8_t>(c)));
  return upper;
}

std::string_view trim_blanks(std::string_view text) {
  size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

void set_first_in_order(const datafile::FieldDecl& field, bool descending, uint8_t* image) {
  uint8_t* p = image + field.offset;
  std::memset(p, descending ? 0xFF : 0x00, field.size);
  // A signed integer starts at its most negative value, or ends at its most positive one.
  const bool is_signed = field.type == FieldType::kShort || field.type == FieldType::kLong;
  if (is_signed && field.size > 0) p[field.size - 1] = descending ? 0x7F : 0x80;
}

void set_integer(const datafile::FieldDecl& field, int64_t value, uint8_t* image) {
  uint8_t* p = image + field.offset;
  for (size_t i = 0; i < field.size; ++i) {
    p[i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
  }
}

void set_text(const datafile::FieldDecl& field, std::string_view text, uint8_t* image) {
  uint8_t* p = image + field.offset;
  const size_t n = std::min<size_t>(text.size(), field.size);
  std::memcpy(p, text.data(), n);
  std::memset(p + n, ' ', field.size - n);
}

}  // namespace orvel::browse
