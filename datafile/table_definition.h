// A table's definition: the declared structure of its record, memos and keys, as written to
// the file when the table is created and compared with the program's declaration when the
// table is opened.
//
// The stream (definition_stream.h for strings, blocks and storage):
//   u16 version (1; 2 when a memo is a blob), u16 record length, u16 field count,
//   u16 memo count, u16 key count, then the entries in that order.
//   Field:  u8 type, u16 offset, string name (external name, else label), u16 elements,
//           u16 size (all elements), u16 overlay (1 when over earlier fields), u16 field
//           number; types 10 and 11 add u8 places, u8 element size; types 18, 19 and 20
//           add u16 length of one element and string picture.
//   Memo:   string external name (absent when none), string label, u16 size, u16 flags.
//   Key:    string external name (absent when none), string label, u8 attributes,
//           u16 component count, then per component u16 field number and u16 direction
//           (1 descending, 0 ascending).
//
// Results are error numbers of platform/error_codes.h with the attribute word that names
// what is wrong, as the messages of an open or a create show it. Nothing here trusts a
// stored stream: a damaged one gives an error, never an out-of-bounds access.
#pragma once

#include <cstdint>
#include <string>

#include "datafile/declaration.h"
#include "datafile/record_store.h"
#include "platform/error_codes.h"

namespace orvel::datafile {

struct DefinitionResult {
  int error = kNoError;
  std::string attribute;  // "TYPE", "SIZE", ... for error 47; empty when none applies
  std::string text;       // a message to show with the error, or empty

  bool ok() const { return error == kNoError; }
};

// How a failed check is told with its error: "[SIZE]", "[KEY] text", or the text alone.
std::string message_of(const DefinitionResult& result);

inline constexpr const char* kNewerVersionText =
    "You are attempting to open a newer Halvik file format than the driver supports";
inline constexpr const char* kKeyTooLongText =
    "Key components are more than a total of 7526 bytes long";

inline constexpr size_t kMaxKeys = 240;
inline constexpr size_t kMaxMemos = 255;
inline constexpr size_t kMaxKeyComponentBytes = 7526;

// The limits a declaration must keep before it is written or used: field types [TYPE],
// fields at their running offsets or over earlier ones (error 75), array sizes [DIM], field
// and record sizes [SIZE], fields inside the record length [SIZE], key count [KEY], key
// components naming a field [FIELD] that is not an array (error 75), their total size (the
// key-length text), memo count [MEMO or BLOB] and memo size [SIZE].
DefinitionResult check_declaration_limits(const TableDecl& decl);
// The limits of one key's components: fields of the declaration that are not arrays, at
// most 7526 bytes in all.
DefinitionResult check_key_components(const TableDecl& decl, const std::string& label,
                                      const std::vector<KeyComponent>& components);

// The definition stream of a declaration that keeps the limits.
Bytes encode_definition(const TableDecl& decl);

// Stores the stream of decl as the definition records of table.
void write_definition(RecordStore& store, uint32_t table, const TableDecl& decl);

// Compares the stored definition of table with decl, item by item in stream order; the
// first difference is error 47 with its attribute word. With decimal_check false the places
// and element sizes of DECIMAL and PDECIMAL fields are not compared.
DefinitionResult check_definition(RecordStore& store, uint32_t table, const TableDecl& decl,
                                  bool decimal_check = true);

// Builds the structure of table from its stored definition, for a program that declares no
// layout: stored names become labels, pictures and external names of memos and keys are
// kept. A stored structure that could not be used safely (a field outside the record, a key
// component naming no field) is error 47. Any version is accepted.
DefinitionResult read_definition(RecordStore& store, uint32_t table, TableDecl* out);

}  // namespace orvel::datafile
