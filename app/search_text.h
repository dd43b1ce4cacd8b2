// The text rules of the passport search: how the operator's text is prepared for each tab
// and how a passport read in key order is tested against it.
//
// All text is code page 1251 bytes. "Letter" and upper case follow the program's character
// tables (datafile::program_locale()), which know only the Latin letters by default.
#pragma once

#include <string>
#include <string_view>

#include "datafile/locale_tables.h"

namespace orvel::app {

// Text with its trailing blanks removed.
std::string_view trim_right(std::string_view text);

// The number tab's text: the characters of the trimmed text that are not blanks, in order.
std::string number_search_text(std::string_view text);

// True when the trimmed search text occurs in the whole number field (blanks included) at
// one of the positions 1, 1 + L, 1 + 2L, ... where L is its length (anywhere for L = 1).
bool number_matches(std::string_view number_field, std::string_view search_text);

// The series tab's text: when it is longer than two characters, its first character is not
// a letter and its third is not a blank, one blank goes after the second ("4501" -> "45 01").
std::string series_search_text(std::string_view text, const datafile::LocaleTables& tables);

// Upper case through the character tables: every lower-case letter replaced by its partner.
std::string upper_case(std::string_view text, const datafile::LocaleTables& tables);

// True when the field begins with the trimmed search text, compared exactly.
bool field_begins_with(std::string_view field, std::string_view search_text);

}  // namespace orvel::app
