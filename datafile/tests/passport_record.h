// A passport-like record in a table's buffer, for tests that read and write the passport
// declaration (passport_declaration.h).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "datafile/byte_order.h"
#include "datafile/table.h"

namespace orvel::datafile::testing {

inline constexpr int kSerNum = 0, kNumSer = 1, kFio = 2, kDateImp = 3;

struct Passport {
  Passport(std::string s = "", std::string n = "", std::string f = "", int32_t pas = 0,
           int32_t imp = 0, std::string c = "")
      : ser(std::move(s)),
        num(std::move(n)),
        fio(std::move(f)),
        date_pas(pas),
        date_imp(imp),
        comment(std::move(c)) {}
  std::string ser, num, fio;
  int32_t date_pas, date_imp;
  std::string comment;

  bool operator==(const Passport&) const = default;
};

inline std::string padded(const std::string& text, size_t width) {
  std::string out = text.substr(0, width);
  out.resize(width, ' ');
  return out;
}

inline void store_passport(Table& t, const Passport& p) {
  uint8_t* r = t.record();
  std::memcpy(r, padded(p.ser, 20).data(), 20);
  std::memcpy(r + 20, padded(p.num, 20).data(), 20);
  std::memcpy(r + 40, padded(p.fio, 250).data(), 250);
  store_u32_le(r + 290, uint32_t(p.date_pas));
  store_u32_le(r + 294, uint32_t(p.date_imp));
  std::memcpy(r + 298, padded(p.comment, 500).data(), 500);
}

inline std::string trimmed_text(const uint8_t* p, size_t n) {
  std::string s(reinterpret_cast<const char*>(p), n);
  size_t last = s.find_last_not_of(' ');
  return last == std::string::npos ? "" : s.substr(0, last + 1);
}

inline Passport loaded_passport(Table& t) {
  const uint8_t* r = t.record();
  return {trimmed_text(r, 20),           trimmed_text(r + 20, 20),      trimmed_text(r + 40, 250),
          int32_t(load_u32_le(r + 290)), int32_t(load_u32_le(r + 294)), trimmed_text(r + 298, 500)};
}

}  // namespace orvel::datafile::testing
