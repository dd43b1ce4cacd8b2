// How the name a program gives to open a table splits into the file's name and the name of
// the table inside the file.
//
// The table name follows the two characters "\!" (a backslash and an exclamation mark); the
// first "\!" whose preceding part is not an existing directory separates them, while a "\!"
// after a directory belongs to the path. The table name is upper-cased (Latin letters only,
// like every case map of the engine); without one the table is "UNNAMED". A file name whose
// last component has no extension gets ".HVK".
#pragma once

#include <string>

#include "platform/file.h"

namespace orvel::datafile {

inline constexpr const char* kUnnamedTable = "UNNAMED";
inline constexpr const char* kDefaultExtension = ".HVK";

struct TableName {
  std::string file_name;   // with the default extension when it had none
  std::string table_name;  // upper case, never empty
};

// Splits given; fs answers which prefixes are directories.
TableName split_table_name(const std::string& given,
                           platform::FileSystem& fs = platform::system_file_system());

}  // namespace orvel::datafile
