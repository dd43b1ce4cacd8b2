// A column layout of a list as the list-format manager saves it: which columns are shown,
// in which order, and how wide. Its text form is what the list-formats file keeps as a
// layout's format: one "column:width" pair per shown column, left to right, separated by
// commas, with the column the index into the list's column formats and the width in dialog
// units ("2:120,0:30,1:30"). A column not named is hidden.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvel::browse {

struct ColumnPlace {
  int column = 0;
  int width = 0;
  bool operator==(const ColumnPlace&) const = default;
};

struct ListLayout {
  std::vector<ColumnPlace> columns;  // left to right
  bool operator==(const ListLayout&) const = default;
};

std::string layout_text(const ListLayout& layout);
// Nothing for a text that is not a layout: a pair without its colon, a value that is not a
// number of at most four digits, a column named twice. Blanks around the text are ignored.
std::optional<ListLayout> parse_layout(std::string_view text);

}  // namespace orvel::browse
