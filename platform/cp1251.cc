#include "platform/cp1251.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace orvel::platform {
namespace {

// The characters of the bytes 0x80 to 0xFF; the bytes below 0x80 are ASCII. 0xC0 to 0xFF
// are the 64 Cyrillic letters А to я in alphabetical order (U+0410 to U+044F).
// clang-format off
constexpr std::array<char16_t, 64> kHighHalf = {
    // 0x80
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    // 0x90; 0x98 is undefined in the code page and stands for U+0098
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    // 0xA0
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    // 0xB0
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};
// clang-format on

constexpr std::array<char16_t, 256> make_table() {
  std::array<char16_t, 256> table{};
  for (int b = 0; b < 0x80; ++b) table[b] = char16_t(b);
  for (int b = 0x80; b < 0xC0; ++b) table[b] = kHighHalf[b - 0x80];
  for (int b = 0xC0; b < 0x100; ++b) table[b] = char16_t(0x0410 + (b - 0xC0));
  return table;
}

constexpr std::array<char16_t, 256> kToCodePoint = make_table();

// The bytes 0x80 to 0xFF sorted by their characters, for the way back.
using Reverse = std::array<std::pair<char16_t, uint8_t>, 128>;
constexpr Reverse make_reverse() {
  Reverse reverse{};
  for (int b = 0x80; b < 0x100; ++b) reverse[b - 0x80] = {kToCodePoint[b], uint8_t(b)};
  std::sort(reverse.begin(), reverse.end());
  return reverse;
}

constexpr Reverse kFromCodePoint = make_reverse();

void append_utf8(std::string* out, char32_t cp) {
  if (cp < 0x80) {
    out->push_back(char(cp));
  } else if (cp < 0x800) {
    out->push_back(char(0xC0 | (cp >> 6)));
    out->push_back(char(0x80 | (cp & 0x3F)));
  } else {  // the table holds nothing above U+FFFF
    out->push_back(char(0xE0 | (cp >> 12)));
    out->push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(char(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

char32_t cp1251_to_code_point(unsigned char byte) {
  return kToCodePoint[byte];
}

int cp1251_from_code_point(char32_t code_point) {
  if (code_point < 0x80) return int(code_point);
  if (code_point > 0xFFFF) return -1;
  auto it = std::lower_bound(kFromCodePoint.begin(), kFromCodePoint.end(),
                             std::pair<char16_t, uint8_t>{char16_t(code_point), 0});
  if (it == kFromCodePoint.end() || it->first != code_point) return -1;
  return it->second;
}

std::string cp1251_to_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) append_utf8(&out, kToCodePoint[static_cast<unsigned char>(c)]);
  return out;
}

std::string utf8_to_cp1251(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    const unsigned lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) {
      out.push_back(char(lead));
      continue;
    }
    // Continuation bytes still needed, and the range the first of them must lie in so that
    // the form is neither overlong, nor a surrogate, nor above U+10FFFF.
    int need = 0;
    unsigned low = 0x80, high = 0xBF;
    char32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      need = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      need = 2;
      cp = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      need = 3;
      cp = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {  // a stray continuation byte, 0xC0, 0xC1 or 0xF5 to 0xFF
      out.push_back('?');
      continue;
    }
    bool complete = true;
    for (; need > 0; --need) {
      const unsigned next = i < n ? static_cast<unsigned char>(text[i]) : 0;
      if (i >= n || next < low || next > high) {
        complete = false;  // the offending byte starts the next character
        break;
      }
      cp = (cp << 6) | (next & 0x3F);
      ++i;
      low = 0x80;
      high = 0xBF;
    }
    const int byte = complete ? cp1251_from_code_point(cp) : -1;
    out.push_back(byte < 0 ? '?' : char(byte));
  }
  return out;
}

}  // namespace orvel::platform
