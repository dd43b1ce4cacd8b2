#include "bench/orvel_bench_data.h"

#include <cstdio>

namespace orvel::bench {
namespace {

uint64_t mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// A stream of numbers for one field of one passport.
class Draw {
 public:
  Draw(uint64_t seed, uint64_t i, uint64_t field) : state_(mix(seed ^ mix(i * 16 + field))) {}
  uint64_t below(uint64_t n) {
    state_ = mix(state_);
    return state_ % n;
  }

 private:
  uint64_t state_;
};

// Letters of code page 1251: upper case 0xC0-0xDF, lower case 0xE0-0xFF.
std::string word(Draw& d, size_t length, unsigned char first) {
  std::string w;
  for (size_t k = 0; k < length; ++k) w.push_back(static_cast<char>(first + d.below(32)));
  return w;
}

constexpr unsigned char kUpper = 0xC0;
constexpr unsigned char kLower = 0xE0;
constexpr uint64_t kSurnames = 3000;
constexpr uint64_t kGivenNames = 150;
constexpr uint64_t kReasons = 60;
constexpr uint64_t kUniqueNumbers = 1000000;

std::string two_digits(uint64_t n) {
  char buf[4];
  std::snprintf(buf, sizeof buf, "%02u", unsigned(n % 100));
  return buf;
}

std::string date(Draw& d, unsigned first_year, unsigned years) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04u-%02u-%02u", first_year + unsigned(d.below(years)),
                1 + unsigned(d.below(12)), 1 + unsigned(d.below(28)));
  return buf;
}

}  // namespace

Passport PassportSource::passport(uint64_t i) const {
  Passport p;
  Draw d(seed_, i, 0);
  // Regions are skewed: low codes are the populous ones and share their first digit.
  uint64_t region = 1 + d.below(1 + d.below(99));
  p.series = two_digits(region) + " " + two_digits(97 + d.below(29));
  // An affine map is a permutation of the six-digit numbers: unique for the first million.
  uint64_t n = (i % kUniqueNumbers * 7919 + 12345 + i / kUniqueNumbers) % kUniqueNumbers;
  char buf[8];
  std::snprintf(buf, sizeof buf, "%06u", unsigned(n));
  p.number = buf;

  // Surnames, given names and patronymics come from pools: names share their prefixes.
  Draw surname(seed_, d.below(kSurnames), 1);
  Draw given(seed_, d.below(kGivenNames), 2);
  Draw patronymic(seed_, d.below(kGivenNames), 3);
  p.name = word(surname, 6 + surname.below(9), kUpper) + " " +
           word(given, 4 + given.below(5), kUpper) + " " +
           word(patronymic, 8 + patronymic.below(7), kUpper);  // 20 to 38 bytes

  Draw reason(seed_, d.below(kReasons), 4);
  size_t length = 10 + reason.below(21);
  while (p.reason.size() < length) {
    if (!p.reason.empty()) p.reason.push_back(' ');
    p.reason += word(reason, 3 + reason.below(8), kLower);
  }
  p.reason.resize(length);
  if (p.reason.back() == ' ') p.reason.back() = static_cast<char>(kLower);
  p.passport_date = date(d, 1997, 29);
  p.import_date = date(d, 2020, 7);
  return p;
}

std::string update_line(const Passport& p) {
  std::string line;
  for (const std::string* f :
       {&p.series, &p.number, &p.name, &p.passport_date, &p.reason, &p.import_date}) {
    if (!line.empty()) line.push_back(';');
    line += '"' + *f + '"';
  }
  line += "\r\n";
  return line;
}

std::vector<std::string> split_update_line(const std::string& line) {
  std::vector<std::string> fields;
  size_t at = 0;
  while (at < line.size() && line[at] == '"') {
    size_t end = line.find('"', at + 1);
    if (end == std::string::npos) break;
    fields.push_back(line.substr(at + 1, end - at - 1));
    at = end + 2;  // past the quote and the ';'
  }
  return fields;
}

}  // namespace orvel::bench
