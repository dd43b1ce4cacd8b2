// How orvel-cli writes passports to the terminal: tab-separated rows for scripts, or an
// aligned table as the result list shows it. Output is UTF-8; records hold code page 1251.
//
// Tab-separated: SER, NUM, FIO, DATE_PAS, DATE_IMP, COMMENT; text without trailing blanks,
// with backslash, tab, CR and LF written as \\, \t, \r and \n; dates year-month-day (d10-),
// empty for 0, and for any other value that is no valid day number the blank picture
// without its trailing blanks.
//
// Table: a title line and one line per passport, columns padded to their widest value,
// dates day-month-year (d06-) exactly as the screen shows them. Control characters in the
// text are escaped as above (others as \xNN), so that no stored byte can move the cursor or
// drive the terminal.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/passport_record.h"

namespace orvel::tools {

// Text as a tab-separated field: trailing blanks removed, escaped, UTF-8.
std::string tsv_text(std::string_view text_1251);
// A date as a tab-separated field.
std::string tsv_date(int32_t day_number);

void write_tsv(std::ostream& out, const std::vector<app::RQ>& rows);
void write_table(std::ostream& out, const std::vector<app::RQ>& rows);

}  // namespace orvel::tools
