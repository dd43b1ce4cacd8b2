// The format settings of a delimited text file: how fields are separated and quoted and how
// records end.
//
// Plain data, set from the defaults and the option string when the file is opened
// (driver_options.h) and read by the record writer and reader. Sequences are raw bytes of
// the file's code page; nothing is converted. The field delimiter and the end-of-record
// sequence are never empty: the option parser refuses to make them so.
#pragma once

#include <cstdint>
#include <string>

namespace orvel::textfile {

// Ctrl-Z, which ends a record and, where a record would begin, the file.
inline constexpr uint8_t kCtrlZ = 26;

struct TextFormat {
  std::string field_delimiter = ",";
  uint8_t quote = '"';
  bool always_quote = true;
  std::string end_of_record = "\r\n";
  bool ctrl_z_is_eof = true;
  bool end_of_record_in_quote = true;
};

}  // namespace orvel::textfile
