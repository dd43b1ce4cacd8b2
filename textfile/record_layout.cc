#include "textfile/record_layout.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace orvel::textfile {

RecordLayout& RecordLayout::add_text(std::string label, size_t width) {
  fields_.push_back({std::move(label), FieldType::kText, size_, width});
  size_ += width;
  return *this;
}

RecordLayout& RecordLayout::add_number(std::string label) {
  fields_.push_back({std::move(label), FieldType::kNumber, size_, kNumberWidth});
  size_ += kNumberWidth;
  return *this;
}

size_t RecordLayout::largest_text_form() const {
  size_t total = 0;
  for (const auto& f : fields_) total += f.type == FieldType::kText ? f.width : kNumberTextWidth;
  return total;
}

void RecordLayout::blank(std::span<uint8_t> record) const {
  assert(record.size() >= size_);
  for (const auto& f : fields_) {
    std::memset(record.data() + f.offset, f.type == FieldType::kText ? ' ' : 0, f.width);
  }
}

std::string_view RecordLayout::text(std::span<const uint8_t> record, size_t i) const {
  const auto& f = fields_.at(i);
  assert(f.type == FieldType::kText && record.size() >= size_);
  return {reinterpret_cast<const char*>(record.data() + f.offset), f.width};
}

void RecordLayout::set_text(std::span<uint8_t> record, size_t i, std::string_view text) const {
  const auto& f = fields_.at(i);
  assert(f.type == FieldType::kText && record.size() >= size_);
  size_t n = std::min(text.size(), f.width);
  if (n != 0) std::memcpy(record.data() + f.offset, text.data(), n);
  std::memset(record.data() + f.offset + n, ' ', f.width - n);
}

int32_t RecordLayout::number(std::span<const uint8_t> record, size_t i) const {
  const auto& f = fields_.at(i);
  assert(f.type == FieldType::kNumber && record.size() >= size_);
  const uint8_t* p = record.data() + f.offset;
  uint32_t v = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
  return static_cast<int32_t>(v);
}

void RecordLayout::set_number(std::span<uint8_t> record, size_t i, int32_t value) const {
  const auto& f = fields_.at(i);
  assert(f.type == FieldType::kNumber && record.size() >= size_);
  auto v = static_cast<uint32_t>(value);
  uint8_t* p = record.data() + f.offset;
  for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
}

}  // namespace orvel::textfile
