#include "app/screen_text.h"

#include "app/dates.h"
#include "app/search_text.h"

namespace orvel::app {

std::string screen_date(int32_t day_number) {
  if (day_number == kNoDate) return {};
  return format_date(day_number, DatePicture::kD06);
}

std::string result_cell(const RQ& row, size_t column) {
  switch (column) {
    case 0:
      return trimmed_string(row.SER);
    case 1:
      return trimmed_string(row.NUM);
    case 2:
      return trimmed_string(row.FIO);
    case 3:
      return screen_date(row.DATE_PAS.get());
    case 4:
      return screen_date(row.DATE_IMP.get());
    case 5:
      return std::string(trim_right(text_of(row.COMMENT).substr(0, kReasonShown)));
  }
  return {};
}

std::string passport_count_text(uint32_t count) {
  constexpr size_t kWidth = 14;
  std::string digits = std::to_string(count);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ' ';
    grouped += digits[i];
  }
  return std::string(kWidth - grouped.size(), ' ') + grouped;
}

}  // namespace orvel::app
