#include "datafile/table_definition.h"

#include "datafile/definition_stream.h"

namespace orvel::datafile {
namespace {

constexpr uint16_t kVersionWithoutBlobs = 1;
constexpr uint16_t kVersionWithBlobs = 2;
constexpr size_t kMaxFieldBytes = 15000;
constexpr size_t kMaxStringLength = 15000;
constexpr size_t kMaxCStringLength = 15001;
constexpr size_t kMaxMemoSize = 64000;
constexpr uint8_t kComparedKeyAttributes = uint8_t(~key_attr::kPrimary);

DefinitionResult declaration_error(const char* attribute, std::string text = {}) {
  return {kInvalidRecordDeclaration, attribute, std::move(text)};
}

bool is_decimal(uint8_t type) {
  return type == uint8_t(FieldType::kDecimal) || type == uint8_t(FieldType::kPDecimal);
}

bool is_text(uint8_t type) {
  return type == uint8_t(FieldType::kString) || type == uint8_t(FieldType::kCString) ||
         type == uint8_t(FieldType::kPString);
}

bool is_declarable(FieldType type) {
  uint8_t code = uint8_t(type);
  return (code >= 1 && code <= 10) || (code >= 18 && code <= 20) || type == FieldType::kGroup;
}

uint16_t elements_of(const FieldDecl& field) {
  return field.elements == 0 ? 1 : field.elements;
}
uint16_t element_size(const FieldDecl& field) {
  return field.size / elements_of(field);
}

bool has_blob(const TableDecl& decl) {
  for (const MemoDecl& memo : decl.memos) {
    if (memo.flags & memo_flag::kBlob) return true;
  }
  return false;
}

}  // namespace

std::string message_of(const DefinitionResult& result) {
  if (result.attribute.empty()) return result.text;
  if (result.text.empty()) return "[" + result.attribute + "]";
  return "[" + result.attribute + "] " + result.text;
}

DefinitionResult check_key_components(const TableDecl& decl, const std::string& label,
                                      const std::vector<KeyComponent>& components) {
  size_t total = 0;
  for (const KeyComponent& component : components) {
    if (component.field >= decl.fields.size()) return declaration_error("FIELD", label);
    const FieldDecl& field = decl.fields[component.field];
    if (elements_of(field) > 1) return {kInvalidFieldTypeDescriptor, "", field.label};
    total += field.size;
  }
  if (total > kMaxKeyComponentBytes) return declaration_error("KEY", kKeyTooLongText);
  return {};
}

DefinitionResult check_declaration_limits(const TableDecl& decl) {
  size_t running = 0;  // where the next field not lying over others must start
  for (const FieldDecl& field : decl.fields) {
    if (!field.over) {
      if (!is_declarable(field.type)) return declaration_error("TYPE");
      if (field.offset != running) return {kInvalidFieldTypeDescriptor, "", field.label};
    }
    if (elements_of(field) > 1 && field.size > kMaxFieldBytes) return declaration_error("DIM");
    size_t length = element_size(field);
    if (field.type == FieldType::kString && length > kMaxStringLength) {
      return declaration_error("SIZE");
    }
    if (field.type == FieldType::kCString && (length == 0 || length > kMaxCStringLength)) {
      return declaration_error("SIZE");
    }
    // Key encoding and code-page conversion read fields straight from the record image.
    if (size_t(field.offset) + field.size > decl.record_length) return declaration_error("SIZE");
    // A GROUP's members follow it at its own offset; they carry the size.
    if (!field.over && field.type != FieldType::kGroup) running += field.size;
  }
  if (running > kMaxFieldBytes) return declaration_error("SIZE");

  if (decl.keys.size() > kMaxKeys) return declaration_error("KEY");
  for (const KeyDecl& key : decl.keys) {
    if (DefinitionResult r = check_key_components(decl, key.label, key.components); !r.ok()) {
      return r;
    }
  }

  if (decl.memos.size() > kMaxMemos) {
    bool blob = decl.memos[kMaxMemos].flags & memo_flag::kBlob;
    return declaration_error(blob ? "BLOB" : "MEMO");
  }
  for (const MemoDecl& memo : decl.memos) {
    if (!(memo.flags & memo_flag::kBlob) && memo.size > kMaxMemoSize) {
      return declaration_error("SIZE");
    }
  }
  return {};
}

Bytes encode_definition(const TableDecl& decl) {
  DefinitionWriter w;
  w.put_u16(has_blob(decl) ? kVersionWithBlobs : kVersionWithoutBlobs);
  w.put_u16(decl.record_length);
  w.put_u16(uint16_t(decl.fields.size()));
  w.put_u16(uint16_t(decl.memos.size()));
  w.put_u16(uint16_t(decl.keys.size()));
  for (size_t i = 0; i < decl.fields.size(); ++i) {
    const FieldDecl& field = decl.fields[i];
    uint8_t type = uint8_t(field.type);
    w.put_u8(type);
    w.put_u16(field.offset);
    w.put_string(field.external_name.empty() ? field.label : field.external_name);
    w.put_u16(elements_of(field));
    w.put_u16(field.size);
    w.put_u16(field.over ? 1 : 0);
    w.put_u16(uint16_t(i));
    if (is_decimal(type)) {
      w.put_u8(field.places);
      w.put_u8(uint8_t(element_size(field)));
    }
    if (is_text(type)) {
      w.put_u16(element_size(field));
      w.put_string(field.picture);
    }
  }
  for (const MemoDecl& memo : decl.memos) {
    w.put_optional_string(memo.external_name);
    w.put_string(memo.label);
    w.put_u16(memo.size);
    w.put_u16(memo.flags);
  }
  for (const KeyDecl& key : decl.keys) {
    w.put_optional_string(key.external_name);
    w.put_string(key.label);
    w.put_u8(key.attributes);
    w.put_u16(uint16_t(key.components.size()));
    for (const KeyComponent& component : key.components) {
      w.put_u16(component.field);
      w.put_u16(component.descending ? 1 : 0);
    }
  }
  return w.stream();
}

void write_definition(RecordStore& store, uint32_t table, const TableDecl& decl) {
  store_definition_stream(store, table, encode_definition(decl));
}

DefinitionResult check_definition(RecordStore& store, uint32_t table, const TableDecl& decl,
                                  bool decimal_check) {
  DefinitionReader r(store, table);
  if (r.u16() > kVersionWithBlobs) return declaration_error("VERSION", kNewerVersionText);
  r.u16();  // record length: a program may declare a longer buffer than the file's
  if (r.u16() != decl.fields.size()) return declaration_error("FIELDS");
  if (r.u16() != decl.memos.size()) return declaration_error("MEMOS");
  if (r.u16() != decl.keys.size()) return declaration_error("KEYS");

  for (const FieldDecl& field : decl.fields) {
    uint8_t type = r.u8();
    if (type != uint8_t(field.type)) return declaration_error("TYPE");
    r.u16();     // offset
    r.string();  // name
    if (r.u16() != elements_of(field)) return declaration_error("DIM");
    if (r.u16() != field.size) return declaration_error("SIZE");
    if (r.u16() != (field.over ? 1 : 0)) return declaration_error("OVER");
    r.u16();  // field number
    if (is_decimal(type)) {
      uint8_t places = r.u8();
      uint8_t size = r.u8();
      if (decimal_check && places != field.places) return declaration_error("PLACES");
      if (decimal_check && size != uint8_t(element_size(field))) return declaration_error("SIZE");
    }
    if (is_text(type)) {
      r.u16();     // length of one element
      r.string();  // picture: only how the program shows the field
    }
  }
  for (const MemoDecl& memo : decl.memos) {
    r.string();  // external name
    r.string();  // label
    uint16_t size = r.u16();
    uint16_t flags = r.u16();
    if (!(memo.flags & memo_flag::kBlob) && size != memo.size) return declaration_error("SIZE");
    if ((flags & memo_flag::kBinary) != (memo.flags & memo_flag::kBinary)) {
      return declaration_error("BINARY");
    }
  }
  for (const KeyDecl& key : decl.keys) {
    r.string();  // external name
    r.string();  // label
    uint8_t attributes = r.u8();
    if ((attributes & kComparedKeyAttributes) != (key.attributes & kComparedKeyAttributes)) {
      return declaration_error("ATTRIBUTE");
    }
    if (r.u16() != key.components.size()) return declaration_error("FIELDS");
    for (const KeyComponent& component : key.components) {
      if (r.u16() != component.field) return declaration_error("FIELD");
      if (r.u16() != (component.descending ? 1 : 0)) return declaration_error("ASCENDING");
    }
  }
  return {};
}

DefinitionResult read_definition(RecordStore& store, uint32_t table, TableDecl* out) {
  DefinitionReader r(store, table);
  TableDecl decl;
  r.u16();  // version
  decl.record_length = r.u16();
  uint16_t field_count = r.u16();
  uint16_t memo_count = r.u16();
  uint16_t key_count = r.u16();

  for (uint16_t i = 0; i < field_count; ++i) {
    FieldDecl field;
    uint8_t type = r.u8();
    field.type = FieldType(type);
    field.offset = r.u16();
    field.label = r.string().value_or("");
    field.elements = r.u16();
    field.size = r.u16();
    field.over = r.u16() != 0;
    r.u16();  // field number: the position in the list
    if (is_decimal(type)) {
      field.places = r.u8();
      r.u8();  // element size: size / elements
    }
    if (is_text(type)) {
      r.u16();  // length of one element
      field.picture = r.string().value_or("");
    }
    if (size_t(field.offset) + field.size > decl.record_length) return declaration_error("SIZE");
    decl.fields.push_back(std::move(field));
  }
  for (uint16_t i = 0; i < memo_count; ++i) {
    MemoDecl memo;
    memo.external_name = r.string().value_or("");
    memo.label = r.string().value_or("");
    memo.size = r.u16();
    memo.flags = r.u16();
    decl.memos.push_back(std::move(memo));
  }
  for (uint16_t i = 0; i < key_count; ++i) {
    KeyDecl key;
    key.external_name = r.string().value_or("");
    key.label = r.string().value_or("");
    key.attributes = r.u8();
    uint16_t components = r.u16();
    for (uint16_t c = 0; c < components; ++c) {
      KeyComponent component;
      component.field = r.u16();
      component.descending = r.u16() == 1;
      if (component.field >= decl.fields.size()) return declaration_error("FIELD");
      key.components.push_back(component);
    }
    decl.keys.push_back(std::move(key));
  }
  *out = std::move(decl);
  return {};
}

}  // namespace orvel::datafile
