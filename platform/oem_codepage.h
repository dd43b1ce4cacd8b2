// Conversion of text between the program's ANSI code page (1251, Cyrillic for Windows) and
// the OEM code page of the console (866), for tables declared with the OEM attribute.
//
// Both directions are fixed 256-entry tables and exact inverses of each other: characters
// that exist in both pages map to each other; the 51 characters of each page that the other
// lacks are paired one to one in code order, so that converting and converting back gives
// every byte back. ASCII (0x00 to 0x7F) is unchanged. Thread-safe; no allocation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvel::platform {

uint8_t ansi_to_oem(uint8_t ansi);
uint8_t oem_to_ansi(uint8_t oem);

// Convert length bytes at text in place.
void ansi_to_oem(uint8_t* text, size_t length);
void oem_to_ansi(uint8_t* text, size_t length);

}  // namespace orvel::platform
