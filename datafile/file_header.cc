#include "datafile/file_header.h"

#include <cstring>

#include "datafile/byte_order.h"
#include "datafile/corruption.h"

namespace orvel::datafile {
namespace {

constexpr size_t kBlockSizeAt = 0x04;
constexpr size_t kDataEndAt = 0x06;
constexpr size_t kJournalEndAt = 0x0A;
constexpr size_t kMagicAt = 0x0E;
constexpr size_t kCounterAt = 0x14;
constexpr size_t kChangeCounterAt = 0x18;
constexpr size_t kRootAt = 0x1C;
constexpr size_t kRegionStartAt = 0x20;
constexpr size_t kRegionEndAt = 0x110;
constexpr uint8_t kMagic[4] = {'h', 'L', 'v', 'K'};

}  // namespace

FileHeader FileHeader::new_file() {
  FileHeader h;
  store_u16_le(h.bytes_.data() + kBlockSizeAt, uint16_t(kFileHeaderSize));
  std::memcpy(h.bytes_.data() + kMagicAt, kMagic, 4);
  return h;
}

FileHeader FileHeader::from_bytes(const uint8_t* bytes) {
  FileHeader h;
  std::memcpy(h.bytes_.data(), bytes, kFileHeaderSize);
  return h;
}

bool FileHeader::has_magic() const {
  return std::memcmp(bytes_.data() + kMagicAt, kMagic, 4) == 0;
}

uint32_t FileHeader::data_end() const {
  return load_u32_le(bytes_.data() + kDataEndAt);
}
void FileHeader::set_data_end(uint32_t v) {
  store_u32_le(bytes_.data() + kDataEndAt, v);
}
uint32_t FileHeader::journal_end() const {
  return load_u32_le(bytes_.data() + kJournalEndAt);
}
void FileHeader::set_journal_end(uint32_t v) {
  store_u32_le(bytes_.data() + kJournalEndAt, v);
}
uint32_t FileHeader::change_counter() const {
  return load_u32_le(bytes_.data() + kChangeCounterAt);
}
void FileHeader::set_change_counter(uint32_t v) {
  store_u32_le(bytes_.data() + kChangeCounterAt, v);
}
int32_t FileHeader::root() const {
  return int32_t(load_u32_le(bytes_.data() + kRootAt));
}
void FileHeader::set_root(int32_t address) {
  store_u32_le(bytes_.data() + kRootAt, uint32_t(address));
}
uint32_t FileHeader::last_issued() const {
  return load_u32_be(bytes_.data() + kCounterAt);
}

int32_t FileHeader::region_start(int i) const {
  return int32_t(load_u32_le(bytes_.data() + kRegionStartAt + 4 * size_t(i)));
}
int32_t FileHeader::region_end(int i) const {
  return int32_t(load_u32_le(bytes_.data() + kRegionEndAt + 4 * size_t(i)));
}
void FileHeader::set_region(int i, int32_t start, int32_t end) {
  store_u32_le(bytes_.data() + kRegionStartAt + 4 * size_t(i), uint32_t(start));
  store_u32_le(bytes_.data() + kRegionEndAt + 4 * size_t(i), uint32_t(end));
}

uint32_t FileHeader::computed_data_end() const {
  for (int j = kMaxClass; j >= 1; --j) {
    if (region_end(j) != region_start(j)) {
      return uint32_t(page_offset(region_end(j)));
    }
  }
  return uint32_t(kFileHeaderSize);
}

bool FileHeader::all_regions_empty() const {
  for (int j = 1; j <= kMaxClass; ++j) {
    if (region_end(j) != region_start(j)) return false;
  }
  return true;
}

bool FileHeader::regions_valid() const {
  if (region_start(0) != 0 || region_end(0) != 0) return false;
  int32_t previous_end = 0;
  for (int i = 1; i <= kMaxClass; ++i) {
    int32_t s = region_start(i), e = region_end(i);
    if (s < 0 || e < s || e > kAddressLimit || (e - s) % i != 0) return false;
    if (i > 1 && s < previous_end) return false;
    previous_end = e;
  }
  return true;
}

int FileHeader::find_size_class(int32_t address) const {
  for (int i = 1; i <= kMaxClass; ++i) {
    if (region_start(i) <= address && address < region_end(i)) return i;
  }
  return 0;
}

int FileHeader::size_class_of(int32_t address) const {
  int i = find_size_class(address);
  if (i == 0) corruption_check(1735);
  return i;
}

uint32_t FileHeader::issue_number() {
  uint8_t* p = bytes_.data() + kCounterAt;
  uint8_t next[4];
  std::memcpy(next, p, 4);
  for (int k = 3; k >= 0; --k) {
    if (++next[k] != 0) break;
  }
  if (next[0] >= 0xFE) corruption_check(1173);
  std::memcpy(p, next, 4);
  return load_u32_be(p);
}

}  // namespace orvel::datafile
