// Integers in the bytes of a keyed data file, read and written with the byte order in the
// name. Integers are little-endian in the file except those that take part in a record key
// (record numbers, table numbers, key values), which are big-endian so that unsigned byte
// comparison orders them.
#pragma once

#include <cstdint>

namespace orvel::datafile {

inline uint16_t load_u16_le(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t load_u32_le(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint16_t load_u16_be(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t load_u32_be(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

inline void store_u16_le(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void store_u32_le(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}
inline void store_u16_be(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v >> 8);
  p[1] = uint8_t(v);
}
inline void store_u32_be(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

}  // namespace orvel::datafile
