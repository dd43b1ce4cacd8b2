// How the browse list shows one column: its title, width and alignments, the field of the
// record it shows and the picture that turns the field into text. The caller (the window
// that sets the list up) gives one format per column, left to right.
//
// Titles and cell texts are code page 1251 bytes, as everything the program holds;
// the toolkit converts them only for the screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "datafile/declaration.h"

namespace orvel::browse {

enum class Alignment { kLeft, kCenter, kRight };

struct ColumnFormat {
  std::string title;
  int width = 0;  // in dialog units: a quarter of the font's average character width
  Alignment cell_alignment = Alignment::kLeft;
  Alignment title_alignment = Alignment::kLeft;
  uint16_t field = 0;     // 0-based field number in the table declaration
  size_t characters = 0;  // a text field shows its first characters only; 0 for all
  // The text of an integer field (a day number as a date, say); without it the number.
  std::function<std::string(int64_t)> picture;
};

// The cell text of the column for a record image of the declared table: a text field
// without its trailing blanks, an integer through the picture. Empty for a field number the
// declaration does not have.
std::string cell_text(const ColumnFormat& column, const datafile::TableDecl& decl,
                      const uint8_t* image);

}  // namespace orvel::browse
