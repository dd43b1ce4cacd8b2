// Fuzz target for reading dates: parse_date of arbitrary text in both pictures.
//
// Every result must be 0 (no digit), -1 (no valid date) or a valid day number, and trailing
// blanks must not change it. A valid result formatted in the same picture must parse back to
// itself. The current year is fixed, so that a finding replays the same in any year.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/dates.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ORVEL_TODAY", "2006-03-01", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvel::app;
  using orvel::fuzz::require;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (DatePicture picture : {DatePicture::kD06, DatePicture::kD10}) {
    const int32_t n = parse_date(text, picture);
    require(n == kNoDate || n == kInvalidDate || is_valid_day_number(n),
            "parse_date gives 0, -1 or a valid day number");
    require(parse_date(std::string(text) + "   ", picture) == n,
            "trailing blanks do not change a date");
    const std::string formatted = format_date(n, picture);
    require(formatted.size() == 10, "a formatted date has ten characters");
    if (is_valid_day_number(n)) {
      require(parse_date(formatted, picture) == n, "a formatted date parses back to itself");
    }
  }
  return 0;
}
