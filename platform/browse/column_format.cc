#include "platform/browse/column_format.h"

#include <algorithm>

#include "platform/browse/field_values.h"

namespace orvel::browse {

std::string cell_text(const ColumnFormat& column, const datafile::TableDecl& decl,
                      const uint8_t* image) {
  if (column.field >= decl.fields.size()) return {};
  const datafile::FieldDecl& field = decl.fields[column.field];
  if (std::optional<int64_t> value = integer_value(field, image)) {
    return column.picture ? column.picture(*value) : std::to_string(*value);
  }
  std::string_view text = field_bytes(field, image);
  if (column.characters != 0) text = text.substr(0, std::min(text.size(), column.characters));
  return std::string(trim_blanks(text));
}

}  // namespace orvel::browse
