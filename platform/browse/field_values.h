// The values of a record's fields as the browse machinery reads and sets them, from the
// table declaration's description of each field.
//
// Text fields (STRING) are fixed-width code page 1251 text padded with blanks. Integer
// fields are little-endian; BYTE, USHORT, ULONG, DATE and TIME are unsigned, SHORT and LONG
// signed. Fields of other types are treated as raw bytes. Stateless and thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "datafile/declaration.h"

namespace orvel::browse {

bool is_text(const datafile::FieldDecl& field);

// The field's bytes in the image, its full width.
std::string_view field_bytes(const datafile::FieldDecl& field, const uint8_t* image);

// The integer in an integer field; nothing for a field of another type.
std::optional<int64_t> integer_value(const datafile::FieldDecl& field, const uint8_t* image);

// Upper case through the program's character tables (the Latin letters by default).
std::string upper_case(std::string_view text);

// The text without its trailing blanks.
std::string_view trim_blanks(std::string_view text);

// The field set to the value that comes first in a key's order: the lowest value of an
// ascending component, the highest of a descending one.
void set_first_in_order(const datafile::FieldDecl& field, bool descending, uint8_t* image);

// The integer field set to value, cut to the field's size.
void set_integer(const datafile::FieldDecl& field, int64_t value, uint8_t* image);

// The text field set to text, cut to its width or padded with blanks.
void set_text(const datafile::FieldDecl& field, std::string_view text, uint8_t* image);

}  // namespace orvel::browse
