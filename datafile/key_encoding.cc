#include "datafile/key_encoding.h"

#include <algorithm>
#include <cstring>

#include "datafile/byte_order.h"
#include "platform/oem_codepage.h"

namespace orvel::datafile {
namespace {

// The replacement pair of an expansion entry for c, or nullptr.
const uint8_t* find_expansion(const LocaleTables& tables, uint8_t c) {
  for (size_t e = 0; e < tables.expansions.size(); e += 4) {
    if (tables.expansions[e] == 0) break;
    if (tables.expansions[e] == c) return &tables.expansions[e + 1];
  }
  return nullptr;
}

void transform_text(uint8_t* value, size_t size, bool nocase, const TextCollation& text) {
  const LocaleTables& tables = *text.tables;
  if (nocase) {
    for (size_t i = 0; i < size; ++i) {
      if (tables.is_upper(value[i])) value[i] = tables.case_map[value[i]];
    }
  }
  if (!text.oem && !tables.has_expansions()) {
    for (size_t i = 0; i < size; ++i) value[i] = tables.weights[value[i]];
    return;
  }
  // Expansions push the tail of the value out: the result is cut at the component's size.
  std::vector<uint8_t> out;
  out.reserve(size + 1);
  auto weigh = [&](uint8_t c) { return text.oem ? c : tables.weights[c]; };
  for (size_t i = 0; i < size && out.size() < size; ++i) {
    if (const uint8_t* pair = find_expansion(tables, value[i])) {
      out.push_back(weigh(pair[0]));
      out.push_back(weigh(pair[1]));
    } else {
      out.push_back(weigh(value[i]));
    }
  }
  out.resize(size);
  if (text.oem) {
    platform::ansi_to_oem(out.data(), size);
    for (uint8_t& c : out) c = tables.oem_weights[c];
  }
  std::memcpy(value, out.data(), size);
}

void encode_component(const KeyComponentDescriptor& component, bool nocase, const uint8_t* image,
                      const TextCollation& text, uint8_t* out) {
  const size_t size = component.size;
  if (size == 0) return;
  const uint8_t* field = image + component.offset;
  bool complement = component.descending;
  switch (component.type) {
    case FieldType::kShort:
    case FieldType::kLong:
      std::reverse_copy(field, field + size, out);
      out[0] ^= 0x80;
      break;
    case FieldType::kUShort:
    case FieldType::kDate:
    case FieldType::kTime:
    case FieldType::kULong:
      std::reverse_copy(field, field + size, out);
      break;
    case FieldType::kSReal:
    case FieldType::kReal:
      std::reverse_copy(field, field + size, out);
      if (out[0] & 0x80) {
        complement = !complement;
      } else {
        out[0] |= 0x80;
      }
      break;
    case FieldType::kDecimal:
      std::memcpy(out, field, size);
      if (out[0] & 0xF0) {
        out[0] &= 0x0F;
        complement = !complement;
      }
      out[0] ^= 0x80;
      break;
    case FieldType::kString:
    case FieldType::kGroup:
      std::memcpy(out, field, size);
      transform_text(out, size, nocase, text);
      break;
    case FieldType::kCString: {
      const uint8_t* end = static_cast<const uint8_t*>(std::memchr(field, 0, size));
      size_t length = end ? size_t(end - field) : size;
      std::memcpy(out, field, length);
      std::memset(out + length, 0, size - length);
      transform_text(out, size, nocase, text);
      break;
    }
    case FieldType::kPString: {
      size_t length = std::min<size_t>(field[0], size - 1);
      std::memcpy(out, field + 1, length);
      std::memset(out + length, 0, size - length);
      transform_text(out, size, nocase, text);
      break;
    }
    default:
      std::memcpy(out, field, size);
      break;
  }
  if (complement) {
    for (size_t i = 0; i < size; ++i) out[i] = uint8_t(255 - out[i]);
  }
}

bool component_is_empty(const KeyComponentDescriptor& component, const uint8_t* image) {
  const uint8_t* field = image + component.offset;
  switch (component.type) {
    case FieldType::kString:
    case FieldType::kGroup:
      return std::all_of(field, field + component.size, [](uint8_t c) { return c == ' '; });
    case FieldType::kCString:
    case FieldType::kPString:
      return component.size == 0 || field[0] == 0;
    default:
      return std::all_of(field, field + component.size, [](uint8_t c) { return c == 0; });
  }
}

}  // namespace

KeyDescriptor make_key_descriptor(const TableDecl& table, int key_number) {
  const KeyDecl& decl = table.keys[key_number];
  return make_key_descriptor(table, key_number, decl.attributes, decl.components);
}

KeyDescriptor make_key_descriptor(const TableDecl& table, int key_number, uint8_t attributes,
                                  const std::vector<KeyComponent>& components) {
  KeyDescriptor key;
  key.number = uint8_t(key_number);
  key.attributes = attributes;
  for (const KeyComponent& c : components) {
    const FieldDecl& field = table.fields[c.field];
    key.components.push_back({field.type, field.offset, field.size, c.descending});
    key.value_length = uint16_t(key.value_length + field.size);
  }
  return key;
}

void encode_key_value(const KeyDescriptor& key, const uint8_t* image, const TextCollation& text,
                      uint8_t* out) {
  for (const KeyComponentDescriptor& component : key.components) {
    encode_component(component, key.nocase(), image, text, out);
    out += component.size;
  }
}

bool is_empty_for_opt(const KeyDescriptor& key, const uint8_t* image) {
  return std::all_of(key.components.begin(), key.components.end(),
                     [&](const KeyComponentDescriptor& c) { return component_is_empty(c, image); });
}

Record make_key_entry(uint32_t table_number, const KeyDescriptor& key, const uint8_t* image,
                      const TextCollation& text, uint32_t record_number) {
  Record entry;
  entry.bytes.assign(key.entry_length(), 0);
  entry.key_length = key.entry_key_length();
  store_u32_be(entry.bytes.data(), table_number);
  entry.bytes[4] = key.number;
  if (image != nullptr) encode_key_value(key, image, text, entry.bytes.data() + 5);
  store_u32_be(entry.bytes.data() + 5 + key.value_length, record_number);
  return entry;
}

uint32_t key_entry_record_number(const Record& entry) {
  return load_u32_be(entry.bytes.data() + entry.bytes.size() - 4);
}

}  // namespace orvel::datafile
