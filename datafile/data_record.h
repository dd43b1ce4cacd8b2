// Data records: the record image of a table stored under (table number, 0xF3, record
// number), and the code-page conversion of tables declared with the OEM attribute.
//
// The image is stored exactly as declared unless the table is OEM: then every STRING,
// CSTRING and PSTRING field that does not lie over another field is converted from the
// ANSI to the OEM code page when stored and back when read: a STRING over its full length,
// a CSTRING up to its terminating zero, a PSTRING over the count of its length byte, each
// array element on its own. Fields are taken from the declaration and clipped to the image,
// so an image shorter than declared is never overrun.
#pragma once

#include <cstddef>
#include <cstdint>

#include "datafile/declaration.h"
#include "datafile/record.h"

namespace orvel::datafile {

enum class CodePageDirection { kAnsiToOem, kOemToAnsi };

// Converts the text fields of the image in place.
void convert_text_fields(const TableDecl& decl, CodePageDirection direction, uint8_t* image,
                         size_t length);

// The data record of an image of length bytes; converted to OEM when oem is set. An image
// too long for a record is corruption check 824.
Record make_data_record(uint32_t table, uint32_t record_number, const TableDecl& decl, bool oem,
                        const uint8_t* image, size_t length);

// Copies the image of a data record into buffer (converted back when oem is set). A stored
// image shorter than the buffer leaves the rest zero; a longer one is cut.
void read_data_record(const Record& record, const TableDecl& decl, bool oem, uint8_t* buffer,
                      size_t length);

}  // namespace orvel::datafile
