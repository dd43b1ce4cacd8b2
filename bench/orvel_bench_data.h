// Passport-like data for the benchmarks, the same for both engines, made from a seed.
//
// Passport i of a directory has a series "NN NN" (a region code from a skewed list and a
// two-digit year), a six-digit number that is unique among the first million passports (so
// that both engines end up with the same rows), a name of 20 to 40 bytes of upper-case
// Cyrillic letters in code page 1251 (surnames from a small pool, so that names share
// prefixes), a reason of 10 to 30 bytes in lower case, and two dates. Update lines are the
// delimited text lines the import reads: "SER";"NUM";"FIO";"DATE_PAS";"COMMENT";"DATE_IMP"
// ended by CR LF.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvel::bench {

struct Passport {
  std::string series;
  std::string number;
  std::string name;
  std::string reason;
  std::string passport_date;  // year-month-day
  std::string import_date;
};

class PassportSource {
 public:
  explicit PassportSource(uint64_t seed) : seed_(seed) {}
  // Passport i; every call with the same i gives the same passport.
  Passport passport(uint64_t i) const;

 private:
  uint64_t seed_;
};

// The text line of a passport, with its CR LF.
std::string update_line(const Passport& p);

// The fields of an update line as written by update_line (quoted, ';'-separated).
std::vector<std::string> split_update_line(const std::string& line);

}  // namespace orvel::bench
