// Reading the passport file for the lists: the browse orders of the last two tabs, and the
// fetch of one entry by series and number before it is shown.
//
// Browse. The list starts at the first entry not lower than its locator text, upper-cased
// and cut to 40 characters, in the order of the tab: KL_NUM_SER by number (tab 4) or KL_FIO
// by name (tab 5). The locator fills its own field; the other key fields take their lowest
// value, so every series of an equal number is listed. A blank locator starts at the top.
//
// Fetch. The first entry in KL_SER_NUM order whose series and number equal the given ones
// as the key compares them (letter case of Latin letters ignored): of several equal
// entries, the one with the lowest record number.
//
// The table must be open; its record buffer is overwritten.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "app/passport_record.h"
#include "datafile/table.h"

namespace orvel::app {

inline constexpr size_t kLocatorWidth = 40;

enum class BrowseOrder { kByNumber, kByName };

struct BrowseResult {
  std::vector<RQ> rows;
  int error = 0;  // the engine error that ended the listing early, 0 for none
};

// At most limit rows from the locator on.
BrowseResult browse_passports(datafile::Table& table, BrowseOrder order, std::string_view locator,
                              size_t limit);

// 0 with *record filled, 35 when there is no such entry, else the engine's error.
int fetch_passport(datafile::Table& table, std::string_view series, std::string_view number,
                   PSP* record);

}  // namespace orvel::app
