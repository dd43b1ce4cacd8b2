#include "platform/browse/list_layout.h"

#include <algorithm>
#include <charconv>

namespace orvel::browse {
namespace {

std::optional<int> small_number(std::string_view text) {
  int value = 0;
  if (text.empty() || text.size() > 4) return std::nullopt;
  if (text.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string layout_text(const ListLayout& layout) {
  std::string text;
  for (const ColumnPlace& place : layout.columns) {
    if (!text.empty()) text += ',';
    text += std::to_string(place.column) + ':' + std::to_string(place.width);
  }
  return text;
}

std::optional<ListLayout> parse_layout(std::string_view text) {
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return ListLayout{};
  text = text.substr(begin, text.find_last_not_of(' ') - begin + 1);
  ListLayout layout;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view pair = text.substr(0, comma);
    const size_t colon = pair.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::optional<int> column = small_number(pair.substr(0, colon));
    std::optional<int> width = small_number(pair.substr(colon + 1));
    if (!column || !width) return std::nullopt;
    const bool seen = std::any_of(layout.columns.begin(), layout.columns.end(),
                                  [&](const ColumnPlace& p) { return p.column == *column; });
    if (seen) return std::nullopt;
    layout.columns.push_back({*column, *width});
    if (comma == std::string_view::npos) break;
    text = text.substr(comma + 1);
    if (text.empty()) return std::nullopt;  // a trailing comma
  }
  return layout;
}

}  // namespace orvel::browse
