// The passport search of the first three tabs of the main window: by number, by series
// and by name.
//
// The search text is the operator's text as the 250-character search entry holds it. When
// it is blank nothing happens: the caller keeps its rows and shows no message. Otherwise
// the text is prepared for the tab (search_text.h), a key is positioned at the first entry
// not lower than the prepared text, and records are read forward in key order for as long
// as they match; the first one that does not match ends the reading:
//   number  KL_NUM_SER, NUM = text without blanks, SER blank; while number_matches()
//   series  KL_SER_NUM, SER = text with a blank after two leading non-letters, NUM blank;
//           while SER begins with the text
//   name    KL_FIO, FIO = text upper-cased; while FIO begins with the text
// An engine error other than the end of the file ends the reading too; the rows read so
// far stay and the error is kept in the result.
//
// The table must be open; its record buffer is overwritten.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/passport_record.h"
#include "datafile/table.h"

namespace orvel::app {

// Width of the search entry's text.
inline constexpr size_t kSearchTextWidth = 250;

// "Данные не найдены.", shown when a search finds nothing.
inline constexpr std::string_view kNotFoundMessage =
    "\xC4\xE0\xED\xED\xFB\xE5 \xED\xE5 \xED\xE0\xE9\xE4\xE5\xED\xFB.";

enum class SearchTab { kNumber = 1, kSeries = 2, kName = 3 };

struct SearchResult {
  bool ran = false;      // false for a blank text: nothing was done
  std::string text;      // the search text as the entry shows it afterwards
  std::vector<RQ> rows;  // in the key order of the tab
  int error = 0;         // the engine error that ended the reading, 0 for none
  // Whether kNotFoundMessage applies.
  bool not_found() const { return ran && rows.empty(); }
};

SearchResult search_passports(datafile::Table& table, SearchTab tab, std::string_view text);

}  // namespace orvel::app
