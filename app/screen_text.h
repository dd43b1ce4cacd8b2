// What the main window shows of the passport file as text: the columns of the search-result
// list and the text of each cell, dates on the screen, and the passport count.
//
// All text is code page 1251; the window converts it at the screen.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/passport_record.h"

namespace orvel::app {

enum class ColumnAlignment { kLeft, kCentre, kRight };

struct ListColumn {
  std::string_view title;
  int width;  // dialog units
  ColumnAlignment cell;
  ColumnAlignment header;
};

// Every column is indented this many dialog units from its alignment side.
inline constexpr int kColumnIndent = 2;
// The reason column shows this many characters of the 500 stored.
inline constexpr size_t kReasonShown = 255;

// Серия, Номер, ФИО, Дата, Дата имп., Причина.
inline constexpr std::array<ListColumn, 6> kResultColumns = {{
    {"\xD1\xE5\xF0\xE8\xFF", 31, ColumnAlignment::kLeft, ColumnAlignment::kCentre},
    {"\xCD\xEE\xEC\xE5\xF0", 34, ColumnAlignment::kLeft, ColumnAlignment::kCentre},
    {"\xD4\xC8\xCE", 110, ColumnAlignment::kLeft, ColumnAlignment::kCentre},
    {"\xC4\xE0\xF2\xE0", 48, ColumnAlignment::kRight, ColumnAlignment::kCentre},
    {"\xC4\xE0\xF2\xE0 \xE8\xEC\xEF.", 45, ColumnAlignment::kRight, ColumnAlignment::kLeft},
    {"\xCF\xF0\xE8\xF7\xE8\xED\xE0", 1020, ColumnAlignment::kLeft, ColumnAlignment::kCentre},
}};

// A date as the lists show it: the picture d06- (DD-MM-YYYY); empty for 0, no date.
std::string screen_date(int32_t day_number);

// The text of column 0 to 5 of a row, trailing blanks removed; empty for any other column.
std::string result_cell(const RQ& row, size_t column);

// The count right-aligned in 14 characters, a blank between groups of three digits:
// "     1 234 567".
std::string passport_count_text(uint32_t count);

}  // namespace orvel::app
