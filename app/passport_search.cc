#include "app/passport_search.h"

#include <cstring>

#include "app/record_buffer.h"
#include "app/search_text.h"
#include "datafile/locale_tables.h"
#include "platform/error_codes.h"

namespace orvel::app {
namespace {

struct KeyPlan {
  int key;
  std::string text;  // the prepared search text
  bool (*matches)(const PSP& record, std::string_view text);
  void (*set_start)(PSP& record, std::string_view text);
};

KeyPlan plan_for(SearchTab tab, std::string_view text) {
  const datafile::LocaleTables& tables = datafile::program_locale();
  switch (tab) {
    case SearchTab::kNumber:
      return {kKeyNumSer, number_search_text(text),
              [](const PSP& r, std::string_view t) { return number_matches(text_of(r.NUM), t); },
              [](PSP& r, std::string_view t) { assign(r.NUM, t); }};
    case SearchTab::kSeries:
      return {kKeySerNum, series_search_text(text, tables),
              [](const PSP& r, std::string_view t) { return field_begins_with(text_of(r.SER), t); },
              [](PSP& r, std::string_view t) { assign(r.SER, t); }};
    case SearchTab::kName:
      break;
  }
  return {kKeyFio, upper_case(text, tables),
          [](const PSP& r, std::string_view t) { return field_begins_with(text_of(r.FIO), t); },
          [](PSP& r, std::string_view t) { assign(r.FIO, t); }};
}

RQ row_of(const PSP& record) {
  RQ row;
  static_assert(sizeof row == sizeof record);
  std::memcpy(&row, &record, sizeof row);
  return row;
}

}  // namespace

SearchResult search_passports(datafile::Table& table, SearchTab tab, std::string_view text) {
  SearchResult result;
  result.text = std::string(text.substr(0, kSearchTextWidth));
  if (trim_right(result.text).empty()) return result;
  result.ran = true;

  KeyPlan plan = plan_for(tab, result.text);
  if (plan.text.size() > kSearchTextWidth) plan.text.resize(kSearchTextWidth);
  result.text = plan.text;

  PSP start;
  clear(start);
  plan.set_start(start, plan.text);
  write_record(table, start);
  int rc = table.set_at(plan.key);
  while (rc == kNoError) {
    rc = table.next();
    if (rc != kNoError) break;
    PSP record = read_record<PSP>(table);
    if (!plan.matches(record, plan.text)) break;
    result.rows.push_back(row_of(record));
  }
  if (rc != kNoError && rc != kRecordNotAvailable) result.error = rc;
  return result;
}

}  // namespace orvel::app
