#include "datafile/locale_tables.h"

#include <cstring>

namespace orvel::datafile {

LocaleTables LocaleTables::defaults() {
  LocaleTables t{};
  for (int c = 0; c < 256; ++c) {
    t.weights[c] = uint8_t(c);
    t.oem_weights[c] = uint8_t(c);
    t.case_map[c] = uint8_t(c);
  }
  for (int c = 'A'; c <= 'Z'; ++c) {
    t.case_map[c] = uint8_t(c - 'A' + 'a');
    t.case_map[c - 'A' + 'a'] = uint8_t(c);
    t.char_class[c] = char_class::kUpper;
    t.char_class[c - 'A' + 'a'] = char_class::kLower;
  }
  for (int c = '0'; c <= '9'; ++c) t.char_class[c] = char_class::kDigit;
  return t;
}

LocaleTables LocaleTables::from_block(const uint8_t* block) {
  LocaleTables t;
  std::memcpy(t.weights.data(), block, 256);
  std::memcpy(t.oem_weights.data(), block + 256, 256);
  std::memcpy(t.case_map.data(), block + 512, 256);
  std::memcpy(t.char_class.data(), block + 768, 256);
  std::memcpy(t.expansions.data(), block + 1024, 64);
  std::memcpy(t.reserved.data(), block + 1088, 64);
  return t;
}

void LocaleTables::to_block(uint8_t* block) const {
  std::memcpy(block, weights.data(), 256);
  std::memcpy(block + 256, oem_weights.data(), 256);
  std::memcpy(block + 512, case_map.data(), 256);
  std::memcpy(block + 768, char_class.data(), 256);
  std::memcpy(block + 1024, expansions.data(), 64);
  std::memcpy(block + 1088, reserved.data(), 64);
}

const LocaleTables& program_locale() {
  static const LocaleTables tables = LocaleTables::defaults();
  return tables;
}

}  // namespace orvel::datafile
