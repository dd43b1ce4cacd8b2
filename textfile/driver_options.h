// The settings of a delimited text file in force after an open: the defaults for the open
// mode, changed by the file's option string.
//
// Options are words after "/", in any case and with any white space, recognised by the
// name they begin with; an unknown option, or one without "=", changes nothing:
//   /COMMA=n                  field delimiter: the byte n
//   /FIELDDELIMITER=n,c1..cn  field delimiter: the n bytes c1..cn
//   /QUOTE=n                  quote character: the byte n
//   /ALWAYSQUOTE=ON|OFF       quote every text field, or only those that need it
//   /ENDOFRECORD=n,c1..cn     end-of-record sequence
//   /ENDOFRECORDINQUOTE=OFF   an end-of-record sequence ends even a quoted value
//   /CTRLZISEOF=OFF           Ctrl-Z is plain data
//   /QUICKSCAN=ON|OFF         the file buffer on or off
//   /FILEBUFFERS=n            file buffer of n * 512 bytes, at least the record's size
// A delimiter or end-of-record sequence of no bytes, or with fewer codes than announced, is
// refused and leaves the setting as it was. The file buffer is on by default when the open
// mode keeps others out; its size defaults to 1024 bytes then (512 when shared), or twice
// the record's largest text form when that is larger.
#pragma once

#include <cstddef>
#include <string_view>

#include "textfile/record_layout.h"
#include "textfile/text_format.h"

namespace orvel::textfile {

// The largest file buffer an option can ask for; more would only hold memory.
inline constexpr size_t kMaxFileBufferSize = size_t{64} << 20;

struct DriverSettings {
  TextFormat format;
  bool file_buffer = false;  // QUICKSCAN
  size_t buffer_size = 512;  // bytes, when the buffer is on
};

DriverSettings driver_settings(std::string_view options, int open_mode, const RecordLayout& layout);

}  // namespace orvel::textfile
