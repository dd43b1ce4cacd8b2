// Turns one record image into the bytes of one line of a delimited text file.
//
// Fields are written in declaration order, the field delimiter between them and the
// end-of-record sequence after the last. A text field loses its trailing blanks, ends at a
// NUL byte if one is left, has every quote character doubled, and is enclosed in quotes
// when the format always quotes or when the text holds a quote character, the field
// delimiter or (where quotes protect it) the end-of-record sequence. Number fields are
// decimal text without quotes. Bytes are copied unchanged otherwise.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "textfile/record_layout.h"
#include "textfile/text_format.h"

namespace orvel::textfile {

// Appends the text form of record (layout.size() bytes) to *out.
void write_record(const RecordLayout& layout, const TextFormat& format,
                  std::span<const uint8_t> record, std::string* out);

}  // namespace orvel::textfile
