// The character tables that order and fold text in keys, and the locale block in which a
// table stores them in its collation record.
//
// Locale block layout (1152 bytes, stored after the collation record's OEM flag byte):
//   offset  width  content
//   0       256    collation weight of each character code
//   256     256    collation weights for text of a table stored in the OEM code page
//   512     256    case map: for each letter its partner of the other case
//   768     256    character class: bit 0 upper-case letter, bit 1 lower-case, bit 2 digit
//   1024    64     expansions: 16 entries of (character, first, second, unused); a 0
//                  character ends the list
//   1088    64     carried with the block, not used by keys
// A table created by this program stores the program's tables; a table opened later uses
// the block stored in its file, so files made elsewhere keep their own order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace orvel::datafile {

inline constexpr size_t kLocaleBlockSize = 1152;

namespace char_class {
constexpr uint8_t kUpper = 0x01;
constexpr uint8_t kLower = 0x02;
constexpr uint8_t kDigit = 0x04;
}  // namespace char_class

struct LocaleTables {
  std::array<uint8_t, 256> weights;
  std::array<uint8_t, 256> oem_weights;
  std::array<uint8_t, 256> case_map;
  std::array<uint8_t, 256> char_class;
  std::array<uint8_t, 64> expansions;
  std::array<uint8_t, 64> reserved;

  // Weights equal to the code, A-Z paired with a-z, classes for A-Z, a-z and 0-9 only, no
  // expansions: Cyrillic letters are neither folded nor reordered.
  static LocaleTables defaults();
  static LocaleTables from_block(const uint8_t* block);  // kLocaleBlockSize bytes
  void to_block(uint8_t* block) const;                   // kLocaleBlockSize bytes

  bool has_expansions() const { return expansions[0] != 0; }
  bool is_upper(uint8_t c) const { return (char_class[c] & char_class::kUpper) != 0; }
  bool is_lower(uint8_t c) const { return (char_class[c] & char_class::kLower) != 0; }
  bool is_letter(uint8_t c) const { return is_upper(c) || is_lower(c); }
  // The upper-case partner of a lower-case letter; every other byte unchanged.
  uint8_t to_upper(uint8_t c) const { return is_lower(c) ? case_map[c] : c; }
};

// The program's tables: the defaults unless the program configured others. Both the
// upper-casing of names and the case-insensitive keys of new tables use them.
const LocaleTables& program_locale();

}  // namespace orvel::datafile
