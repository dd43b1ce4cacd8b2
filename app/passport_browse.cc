#include "app/passport_browse.h"

#include <cstring>

#include "app/record_buffer.h"
#include "app/search_text.h"
#include "datafile/locale_tables.h"
#include "platform/error_codes.h"

namespace orvel::app {

BrowseResult browse_passports(datafile::Table& table, BrowseOrder order, std::string_view locator,
                              size_t limit) {
  BrowseResult result;
  const int key = order == BrowseOrder::kByNumber ? kKeyNumSer : kKeyFio;
  const std::string text = upper_case(locator.substr(0, kLocatorWidth), datafile::program_locale());
  int rc;
  if (trim_right(text).empty()) {
    rc = table.set(key);
  } else {
    PSP start;
    clear(start);
    if (order == BrowseOrder::kByNumber) {
      assign(start.NUM, text);
      std::memset(start.SER, 0, sizeof start.SER);
    } else {
      assign(start.FIO, text);
    }
    write_record(table, start);
    rc = table.set_at(key);
  }
  while (rc == kNoError && result.rows.size() < limit) {
    rc = table.next();
    if (rc == kNoError) result.rows.push_back(read_record<RQ>(table));
  }
  if (rc != kNoError && rc != kRecordNotAvailable) result.error = rc;
  return result;
}

int fetch_passport(datafile::Table& table, std::string_view series, std::string_view number,
                   PSP* record) {
  PSP wanted;
  clear(wanted);
  assign(wanted.SER, series);
  assign(wanted.NUM, number);
  write_record(table, wanted);
  if (int rc = table.get(kKeySerNum); rc != kNoError) return rc;
  *record = read_record<PSP>(table);
  return kNoError;
}

}  // namespace orvel::app
