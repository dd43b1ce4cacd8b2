#include "textfile/record_writer.h"

#include <cstring>
#include <string_view>

namespace orvel::textfile {
namespace {

void write_text(std::string_view text, const TextFormat& format, std::string* out) {
  size_t n = text.size();
  while (n != 0 && text[n - 1] == ' ') --n;
  text = text.substr(0, n);
  if (auto nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);

  const char quote = static_cast<char>(format.quote);
  bool has_quote = text.find(quote) != std::string_view::npos;
  // An end-of-record sequence left unquoted would split the record when read back.
  bool splits_record =
      format.end_of_record_in_quote && text.find(format.end_of_record) != std::string_view::npos;
  if (!format.always_quote && !has_quote && !splits_record &&
      text.find(format.field_delimiter) == std::string_view::npos) {
    out->append(text);
    return;
  }
  out->push_back(quote);
  while (has_quote) {
    size_t q = text.find(quote);
    if (q == std::string_view::npos) break;
    out->append(text.substr(0, q + 1));
    out->push_back(quote);
    text.remove_prefix(q + 1);
  }
  out->append(text);
  out->push_back(quote);
}

}  // namespace

void write_record(const RecordLayout& layout, const TextFormat& format,
                  std::span<const uint8_t> record, std::string* out) {
  const auto& fields = layout.fields();
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) out->append(format.field_delimiter);
    if (fields[i].type == FieldType::kText) {
      write_text(layout.text(record, i), format, out);
    } else {
      out->append(std::to_string(layout.number(record, i)));
    }
  }
  out->append(format.end_of_record);
}

}  // namespace orvel::textfile
