// Import of an update file into the passport file.
//
// The operator chooses a file (the open dialog, starting from the import file name, which
// receives the choice and becomes blank on cancel). The file is opened read/write without
// sharing and read line by line; the progress bar counts the bytes read against the file
// size. Each line is looked up by series and number in KL_SER_NUM: an unknown passport is
// added; for a known one the entry with the lowest record number gets the line's name,
// dates and reason while its series and number stay as stored. A line whose series and
// number are both blank is skipped. Names are upper-cased with the program's case tables;
// dates are read in the picture d10- (-1 for no valid date), a blank import date means
// today. A read failure ends the import like the end of the file. A refused add or change
// loses that line and the import goes on; the failures are counted for the caller to show.
//
// With a batch of N lines (N > 1) the lines are the same lookups, adds and changes, but the
// passport file commits them N at a time, each batch as one transaction, instead of after
// every line: a batch reaches the disk whole or not at all, so an interruption loses at most
// the current batch, and importing the file again gives the same directory. Memory grows
// with the batch, never with the file. A batch whose commit fails counts its lines as
// failed, since none of them was stored.
//
// Whatever happens, the import ends by hiding the bar, refreshing the passport count and
// restoring the cursor. A failed open shows its error text in a message box first.
//
// The passport file must be open (read/write for anything to be stored); the text file must
// be closed and declared by import_text_file() over name.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/import_file.h"
#include "app/import_record.h"
#include "app/operation_ui.h"
#include "app/passport_record.h"
#include "app/write_failures.h"
#include "datafile/table.h"
#include "textfile/text_file.h"

namespace orvel::app {

// "Укажите имя импортируемого файла"
inline constexpr std::string_view kImportDialogTitle =
    "\xD3\xEA\xE0\xE6\xE8\xF2\xE5 \xE8\xEC\xFF "
    "\xE8\xEC\xEF\xEE\xF0\xF2\xE8\xF0\xF3\xE5\xEC\xEE\xE3\xEE \xF4\xE0\xE9\xEB\xE0";

struct ImportResult {
  bool file_chosen = false;
  int open_error = 0;         // the update file's open failure, 0 for none
  uint64_t records_read = 0;  // successful reads of a line
  uint64_t added = 0;
  uint64_t changed = 0;        // every entry found and written back, even when unchanged
  uint64_t skipped = 0;        // lines with series and number blank
  WriteFailures failures;      // refused adds and changes
  int64_t file_size = 0;       // the bar's upper bound
  int64_t progress_total = 0;  // the bar's value when the reading ended
  uint32_t passports = 0;      // the count shown afterwards
};

struct ImportOptions {
  uint64_t batch = 1;  // lines per commit; 1 commits every line on its own
};

ImportResult import_updates(datafile::Table& passports, textfile::TextFile& update_file,
                            ImportFileName& name, const OperationUi& ui,
                            const ImportOptions& options = {});

// The passport fields a line gives, for a new entry: series and number as written, the name
// upper-cased, the dates as day numbers.
PSP passport_from_line(const IMP& line);

}  // namespace orvel::app
