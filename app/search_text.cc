#include "app/search_text.h"

namespace orvel::app {

std::string_view trim_right(std::string_view text) {
  size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

std::string number_search_text(std::string_view text) {
  std::string out;
  for (char c : trim_right(text)) {
    if (c != ' ') out.push_back(c);
  }
  return out;
}

bool number_matches(std::string_view number_field, std::string_view search_text) {
  std::string_view wanted = trim_right(search_text);
  const size_t length = wanted.size();
  if (length == 0 || length > number_field.size()) return false;
  for (size_t pos = 0; pos + length <= number_field.size(); pos += length) {
    if (number_field.compare(pos, length, wanted) == 0) return true;
  }
  return false;
}

std::string series_search_text(std::string_view text, const datafile::LocaleTables& tables) {
  std::string out(text);
  std::string_view trimmed = trim_right(text);
  if (trimmed.size() > 2 && !tables.is_letter(uint8_t(trimmed[0])) && trimmed[2] != ' ') {
    out.insert(2, 1, ' ');
  }
  return out;
}

std::string upper_case(std::string_view text, const datafile::LocaleTables& tables) {
  std::string out(text);
  for (char& c : out) c = char(tables.to_upper(uint8_t(c)));
  return out;
}

bool field_begins_with(std::string_view field, std::string_view search_text) {
  std::string_view wanted = trim_right(search_text);
  return field.substr(0, wanted.size()) == wanted && wanted.size() <= field.size();
}

}  // namespace orvel::app
