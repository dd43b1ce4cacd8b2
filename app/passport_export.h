// Export of the whole passport file to a delimited text file that import can read again.
//
// The operator chooses a file (the save dialog, starting from the import file name, which
// receives the choice and becomes blank on cancel). The file is made empty, opened
// read/write without sharing, and every passport is appended as one line in record-number
// order: series, number and reason as stored, the name upper-cased, the dates in the
// picture d10- (empty for 0; a value that is no valid day number, such as the -1 of an
// unreadable date, as the blank picture "    -  -"). Each line comes from its own entry
// alone. The progress bar counts entries against the passport count and is redisplayed
// every 100 entries. A read failure of the passport file ends the export like its end; a
// refused append loses that line and the export goes on, and a failed close (the last
// buffered lines) counts as one more failure; the failures are counted for the caller.
//
// Whatever happens, the export ends by hiding the bar, refreshing the passport count and
// restoring the cursor. A failed create or open shows its error text in a message box
// first; a failed open after the create leaves the empty file behind.
//
// The passport file must be open; the text file must be closed and declared by
// import_text_file() over name.
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

// "Укажите имя файла для экспорта"
inline constexpr std::string_view kExportDialogTitle =
    "\xD3\xEA\xE0\xE6\xE8\xF2\xE5 \xE8\xEC\xFF \xF4\xE0\xE9\xEB\xE0 \xE4\xEB\xFF "
    "\xFD\xEA\xF1\xEF\xEE\xF0\xF2\xE0";

// The bar is redisplayed once per this many entries.
inline constexpr int64_t kExportRedisplayEvery = 100;

struct ExportResult {
  bool file_chosen = false;
  int open_error = 0;      // the create's or the open's failure, 0 for none
  uint64_t exported = 0;   // lines appended
  WriteFailures failures;  // refused appends, and a failed close
  uint32_t passports = 0;  // the count shown afterwards
};

ExportResult export_passports(datafile::Table& passports, textfile::TextFile& export_file,
                              ImportFileName& name, const OperationUi& ui);

// The line an entry gives.
IMP line_from_passport(const PSP& record);

}  // namespace orvel::app
