#include "datafile/data_record.h"

#include <algorithm>
#include <cstring>

#include "datafile/record_keys.h"
#include "platform/oem_codepage.h"

namespace orvel::datafile {
namespace {

void convert(CodePageDirection direction, uint8_t* text, size_t length) {
  if (direction == CodePageDirection::kAnsiToOem) {
    platform::ansi_to_oem(text, length);
  } else {
    platform::oem_to_ansi(text, length);
  }
}

// The bytes of one element that hold text.
size_t text_length(FieldType type, const uint8_t* element, size_t size) {
  switch (type) {
    case FieldType::kCString: {
      const void* zero = std::memchr(element, 0, size);
      return zero ? size_t(static_cast<const uint8_t*>(zero) - element) : size;
    }
    case FieldType::kPString:
      return size == 0 ? 0 : std::min<size_t>(element[0], size - 1);
    default:
      return size;
  }
}

}  // namespace

void convert_text_fields(const TableDecl& decl, CodePageDirection direction, uint8_t* image,
                         size_t length) {
  for (const FieldDecl& field : decl.fields) {
    if (field.over) continue;
    if (field.type != FieldType::kString && field.type != FieldType::kCString &&
        field.type != FieldType::kPString) {
      continue;
    }
    if (field.offset >= length) continue;
    size_t end = std::min(length, size_t(field.offset) + field.size);
    size_t elements = field.elements == 0 ? 1 : field.elements;
    size_t element_size = field.size / elements;
    if (element_size == 0) continue;
    for (size_t at = field.offset; at < end; at += element_size) {
      size_t size = std::min(element_size, end - at);
      uint8_t* element = image + at;
      if (field.type == FieldType::kPString) {
        convert(direction, element + 1, text_length(field.type, element, size));
      } else {
        convert(direction, element, text_length(field.type, element, size));
      }
    }
  }
}

Record make_data_record(uint32_t table, uint32_t record_number, const TableDecl& decl, bool oem,
                        const uint8_t* image, size_t length) {
  Bytes key = data_key(table, record_number);
  Record record = make_record(KeyView(key.data(), key.size()), KeyView(image, length));
  if (oem) {
    convert_text_fields(decl, CodePageDirection::kAnsiToOem, record.bytes.data() + kDataKeyLength,
                        length);
  }
  return record;
}

void read_data_record(const Record& record, const TableDecl& decl, bool oem, uint8_t* buffer,
                      size_t length) {
  KeyView data = record.data();
  size_t copied = std::min(data.size(), length);
  if (copied != 0) std::memcpy(buffer, data.data(), copied);
  if (length > copied) std::memset(buffer + copied, 0, length - copied);
  if (oem) convert_text_fields(decl, CodePageDirection::kOemToAnsi, buffer, copied);
}

}  // namespace orvel::datafile
