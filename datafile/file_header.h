// The 512-byte file header of a keyed data file, its class regions and its number counter.
//
// File layout:
//   0x000 - 0x1FF        file header
//   0x200 - data end     pages; page address A lies at file offset A x 256 + 0x200
//   data end - jnl end   journal, present only while a commit is incomplete
//
// File header (little-endian unless noted):
//   offset  width         field
//   0x00    u32           file offset of this block: 0 (pages keep their offset here too)
//   0x04    u16           size of the block: 0x0200
//   0x06    u32           data end: where the page area ends and the journal begins
//   0x0A    u32           journal end; equal to data end when no journal is pending
//   0x0E    4 bytes       magic "hLvK"
//   0x12    2 bytes       reserved, written as 0
//   0x14    u32 BE        last issued number (table and record numbers)
//   0x18    u32           change counter, raised by every commit
//   0x1C    i32           page address of the root page of the record tree
//   0x20    u32 x 60      region start S[0..59], in page-address units
//   0x110   u32 x 60      region end E[0..59] (exclusive)
//
// Class regions: every page of size class i (1 to 59 units of 256 bytes) lies in region i,
// S[i] <= A < E[i], packed at S[i], S[i] + i, ... Regions lie in index order without
// overlapping, with gaps allowed; region 0 is always empty and region 1 starts at 0.
//
// A FileHeader is a plain value: copy it freely. Not thread-safe.
#pragma once

#include <array>
#include <cstdint>

#include "datafile/record.h"

namespace orvel::datafile {

inline constexpr size_t kFileHeaderSize = 0x200;
inline constexpr int kRegionCount = 60;
inline constexpr int kMaxClass = 59;
// Page addresses stay below this, so that every file offset fits the header's 32 bits.
inline constexpr int32_t kAddressLimit = 0xFFFFFF;

// Adds 255 and clears the low eight bits.
inline constexpr uint64_t round_up_256(uint64_t n) {
  return (n + 255) & ~uint64_t(255);
}

// File offset of page address a.
inline constexpr uint64_t page_offset(int32_t address) {
  return uint64_t(int64_t(address) * 256 + int64_t(kFileHeaderSize));
}

class FileHeader {
 public:
  // The header of a new, empty file: zero but for the block size and the magic.
  static FileHeader new_file();
  static FileHeader from_bytes(const uint8_t* bytes);  // kFileHeaderSize bytes

  const uint8_t* bytes() const { return bytes_.data(); }
  uint8_t* bytes() { return bytes_.data(); }
  bool has_magic() const;

  uint32_t data_end() const;
  void set_data_end(uint32_t v);
  uint32_t journal_end() const;
  void set_journal_end(uint32_t v);
  uint32_t change_counter() const;
  void set_change_counter(uint32_t v);
  int32_t root() const;
  void set_root(int32_t address);
  // The counter's four bytes as a big-endian number.
  uint32_t last_issued() const;

  int32_t region_start(int i) const;
  int32_t region_end(int i) const;
  void set_region(int i, int32_t start, int32_t end);
  int pages_in_region(int i) const { return (region_end(i) - region_start(i)) / i; }

  // 0x200 + 256 x E[j] for the highest non-empty region j; 0x200 when all are empty.
  uint32_t computed_data_end() const;
  bool all_regions_empty() const;
  // Whether the regions can be trusted: region 0 empty, every region packed, within
  // addresses whose offsets fit 32 bits, and in index order without overlapping.
  bool regions_valid() const;
  // The class i whose region holds address a; corruption check 1735 when none does.
  int size_class_of(int32_t address) const;
  // As size_class_of, but 0 when the address lies in no region.
  int find_size_class(int32_t address) const;

  // Raises the counter by one as a big-endian number and returns the new value. Corruption
  // check 1173 when its first byte would reach 0xFE.
  uint32_t issue_number();

  bool operator==(const FileHeader&) const = default;

 private:
  std::array<uint8_t, kFileHeaderSize> bytes_{};
};

}  // namespace orvel::datafile
