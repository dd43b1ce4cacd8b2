// Code page 1251 (Windows Cyrillic) and UTF-8, for the screen and the terminal only.
//
// The program holds all text as code page 1251 bytes: records, keys and files never see
// UTF-8. Text is converted only where it meets the toolkit or a terminal. The conversion is
// our own 256-entry table, the same on every system. The one byte that code page 1251 leaves
// undefined, 0x98, maps to U+0098 and back, so that every byte string survives a round trip
// through UTF-8 unchanged.
//
// All functions are pure and thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace orvel::platform {

// The character of a code page 1251 byte.
char32_t cp1251_to_code_point(unsigned char byte);

// The code page 1251 byte of a character, or -1 when the code page has none.
int cp1251_from_code_point(char32_t code_point);

// Each byte of text becomes the UTF-8 form of its character.
std::string cp1251_to_utf8(std::string_view text);

// Each UTF-8 character of text becomes its code page 1251 byte, or '?' when it has none.
// Malformed UTF-8 never fails: each maximal ill-formed part (a stray continuation byte, a
// sequence cut short, an overlong form, a surrogate, a value above U+10FFFF, the bytes 0xC0,
// 0xC1 and 0xF5 to 0xFF) becomes one '?' and decoding goes on with the next byte.
std::string utf8_to_cp1251(std::string_view text);

}  // namespace orvel::platform
