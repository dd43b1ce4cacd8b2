// Fuzz target for reading and checking stored table definitions.
//
// The input is a definition stream, stored as the definition blocks of table 1 over a map of
// records. It is checked against the passport declaration (with and without the decimal
// check) and read as a structure; both may only refuse it with error 47 and an attribute
// word. A structure that is read and keeps the declaration limits is written again: that
// stream must read back to a structure that writes the same stream and checks against it.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "app/passport_record.h"
#include "datafile/definition_stream.h"
#include "datafile/table_definition.h"
#include "datafile/tests/map_record_store.h"
#include "fuzz/fuzz_check.h"

namespace orvel::datafile {
namespace {

using fuzz::require;

constexpr uint32_t kTable = 1;

void require_refusal_or_ok(const DefinitionResult& result) {
  static const std::set<std::string> kWords = {
      "VERSION", "FIELDS", "MEMOS",  "KEYS",      "TYPE",  "DIM",       "SIZE",
      "OVER",    "PLACES", "BINARY", "ATTRIBUTE", "FIELD", "ASCENDING",
  };
  require(
      result.ok() || (result.error == kInvalidRecordDeclaration && kWords.count(result.attribute)),
      "a stored definition is accepted or refused with error 47 and an attribute word");
}

void check_rewrite(const TableDecl& decl) {
  if (!check_declaration_limits(decl).ok()) return;
  const Bytes stream = encode_definition(decl);
  MapRecordStore store;
  store_definition_stream(store, kTable, stream);
  TableDecl again;
  require(read_definition(store, kTable, &again).ok(), "a written definition reads back");
  require(encode_definition(again) == stream, "a definition read back writes the same stream");
  require(check_definition(store, kTable, again).ok(),
          "a definition read back checks against itself");
}

}  // namespace
}  // namespace orvel::datafile

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvel::datafile;
  MapRecordStore store;
  store_definition_stream(store, kTable, Bytes(data, data + size));

  static const TableDecl passport = orvel::app::passport_table();
  require_refusal_or_ok(check_definition(store, kTable, passport));
  require_refusal_or_ok(check_definition(store, kTable, passport, /*decimal_check=*/false));

  TableDecl decl;
  const DefinitionResult read = read_definition(store, kTable, &decl);
  require_refusal_or_ok(read);
  if (!read.ok()) return 0;
  for (const FieldDecl& field : decl.fields) {
    require(size_t(field.offset) + field.size <= decl.record_length,
            "a field read lies inside the record");
  }
  for (const KeyDecl& key : decl.keys) {
    for (const KeyComponent& component : key.components) {
      require(component.field < decl.fields.size(), "a key component read names a field");
    }
  }
  check_rewrite(decl);
  return 0;
}
