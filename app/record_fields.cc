#include "app/record_fields.h"

#include <algorithm>
#include <cstring>

namespace orvel::app {

void assign_text(char* field, size_t width, std::string_view value) {
  const size_t n = std::min(width, value.size());
  if (n != 0) std::memcpy(field, value.data(), n);
  std::memset(field + n, ' ', width - n);
}

std::string_view trimmed_text(const char* field, size_t width) {
  while (width > 0 && field[width - 1] == ' ') --width;
  return std::string_view(field, width);
}

int compare_text(std::string_view a, std::string_view b) {
  const size_t length = std::max(a.size(), b.size());
  for (size_t i = 0; i < length; ++i) {
    const unsigned ca = i < a.size() ? static_cast<unsigned char>(a[i]) : ' ';
    const unsigned cb = i < b.size() ? static_cast<unsigned char>(b[i]) : ' ';
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return 0;
}

void clear_image(void* image, size_t length, const std::vector<datafile::FieldDecl>& fields) {
  auto* bytes = static_cast<uint8_t*>(image);
  std::memset(bytes, 0, length);
  for (const datafile::FieldDecl& field : fields) {
    if (field.type == datafile::FieldType::kString && !field.over) {
      std::memset(bytes + field.offset, ' ', field.size);
    }
  }
}

datafile::FieldDecl text_field(std::string label, size_t offset, size_t width) {
  datafile::FieldDecl field =
      integer_field(std::move(label), datafile::FieldType::kString, offset, width);
  field.picture = "@s" + std::to_string(width);
  return field;
}

datafile::FieldDecl integer_field(std::string label, datafile::FieldType type, size_t offset,
                                  size_t size) {
  datafile::FieldDecl field;
  field.label = std::move(label);
  field.type = type;
  field.offset = static_cast<uint16_t>(offset);
  field.size = static_cast<uint16_t>(size);
  return field;
}

datafile::KeyDecl key(std::string label, std::string description, uint8_t attributes,
                      std::initializer_list<uint16_t> fields) {
  datafile::KeyDecl key;
  key.label = std::move(label);
  key.description = std::move(description);
  key.attributes = attributes;
  for (uint16_t field : fields) key.components.push_back({field});
  return key;
}

}  // namespace orvel::app
