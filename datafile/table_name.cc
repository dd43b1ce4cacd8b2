#include "datafile/table_name.h"

namespace orvel::datafile {
namespace {

constexpr const char* kSeparator = "\\!";

std::string upper_latin(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  }
  return text;
}

bool has_extension(const std::string& file_name) {
  size_t component = file_name.find_last_of("/\\");
  size_t start = component == std::string::npos ? 0 : component + 1;
  return file_name.find('.', start) != std::string::npos;
}

}  // namespace

TableName split_table_name(const std::string& given, platform::FileSystem& fs) {
  TableName result;
  result.file_name = given;
  for (size_t at = given.find(kSeparator); at != std::string::npos;
       at = given.find(kSeparator, at + 1)) {
    std::string before = given.substr(0, at);
    if (fs.is_directory(before)) continue;
    result.file_name = before;
    result.table_name = upper_latin(given.substr(at + 2));
    break;
  }
  if (result.table_name.empty()) result.table_name = kUnnamedTable;
  if (!has_extension(result.file_name)) result.file_name += kDefaultExtension;
  return result;
}

}  // namespace orvel::datafile
