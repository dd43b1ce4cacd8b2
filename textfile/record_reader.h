// Reads one record of a delimited text file from a byte source into a record image.
//
// A record is read from a record boundary: the image is set to the blank record, then each
// field in declaration order takes the next value. Before a value, blanks, tabs, carriage
// returns and NUL bytes are skipped; an end-of-record sequence or a Ctrl-Z completes the
// record (later fields stay blank) and a field delimiter leaves the field blank. A quoted
// value runs to the next single quote character, doubled quotes standing for one, and may
// hold delimiters and, with end_of_record_in_quote, end-of-record sequences; an unquoted
// value runs up to the delimiter, the end of the record or a Ctrl-Z, trailing blanks
// included. A value is cut at the field's width and the rest of it skipped. After the last
// field everything up to and including the end-of-record sequence is skipped, quotes or
// not. The end of the file ends a value and a record like a Ctrl-Z but, being no byte, is
// not counted in the record's length.
//
// Values and lines of any length are read; only the field's width is stored. The reader
// keeps no state between records and may be shared by any number of reads.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "textfile/byte_source.h"
#include "textfile/record_layout.h"
#include "textfile/text_format.h"

namespace orvel::textfile {

class RecordReader {
 public:
  // REQUIRES: format's field delimiter and end-of-record sequence are not empty.
  explicit RecordReader(const TextFormat& format);

  // Reads the record that begins at offset start into record (layout.size() bytes) and sets
  // *length to the number of bytes it took, its end-of-record sequence or closing Ctrl-Z
  // included. Returns kRecordNotAvailable when no record begins there (the end of the file,
  // or a Ctrl-Z with ctrl_z_is_eof), or the error of the source. Bytes that vanish while
  // the record is read (another program cuts the file) end it where they ended.
  int read(ByteSource& source, uint64_t start, const RecordLayout& layout,
           std::span<uint8_t> record, uint64_t* length) const;

  const TextFormat& format() const { return format_; }

  // Bytes that end a run of plain bytes in one of the reader's scans.
  using StopTable = std::array<bool, 256>;

 private:
  friend class RecordScan;

  TextFormat format_;
  StopTable quoted_stops_{};    // inside a quoted value
  StopTable unquoted_stops_{};  // inside an unquoted value and before the next delimiter
  StopTable end_stops_{};       // after the last field, before the end of the record
};

}  // namespace orvel::textfile
