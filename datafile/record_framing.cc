#include "datafile/record_framing.h"

#include <cstring>

#include "datafile/byte_order.h"
#include "datafile/corruption.h"

namespace orvel::datafile {
namespace {

constexpr uint8_t kHasTotalLength = 0x80;
constexpr uint8_t kHasKeyLength = 0x40;
constexpr uint8_t kSharedMask = 0x3F;
constexpr size_t kMaxShared = 63;

size_t shared_prefix(const Bytes& previous, const Bytes& current) {
  size_t limit = std::min({previous.size(), current.size(), kMaxShared});
  size_t s = 0;
  while (s < limit && previous[s] == current[s]) ++s;
  return s;
}

}  // namespace

void frame_records(const std::vector<Record>& records, Bytes* out) {
  const Record* previous = nullptr;
  for (const Record& record : records) {
    if (record.bytes.size() > kMaxRecordLength || record.key_length > record.bytes.size()) {
      corruption_check(824);
    }
    uint16_t total = uint16_t(record.bytes.size());
    size_t s = 0;
    uint8_t flags = kHasTotalLength | kHasKeyLength;
    if (previous != nullptr) {
      s = shared_prefix(previous->bytes, record.bytes);
      flags = uint8_t(s);
      if (total != previous->bytes.size()) flags |= kHasTotalLength;
      if (record.key_length != previous->key_length) flags |= kHasKeyLength;
    }
    size_t at = out->size();
    out->resize(at + 5 + total - s);
    uint8_t* p = out->data() + at;
    *p++ = flags;
    if (flags & kHasTotalLength) {
      store_u16_le(p, total);
      p += 2;
    }
    if (flags & kHasKeyLength) {
      store_u16_le(p, record.key_length);
      p += 2;
    }
    if (total > s) std::memcpy(p, record.bytes.data() + s, total - s);
    p += total - s;
    out->resize(size_t(p - out->data()));
    previous = &record;
  }
}

void parse_records(const uint8_t* area, size_t length, size_t count, std::vector<Record>* out) {
  // A framed record takes at least its flags byte, so a count above the length cannot hold.
  if (count > length) {
    out->clear();
    corruption_check(1602);
  }
  // Records already in out keep their buffers: a page loaded into recycled records then
  // needs no allocation for most of them.
  out->resize(count);
  size_t pos = 0;
  size_t total = 0;
  size_t key_length = 0;
  for (size_t k = 0; k < count; ++k) {
    if (pos >= length) corruption_check(1602);
    uint8_t flags = area[pos++];
    size_t s = flags & kSharedMask;
    if (k == 0 && (s != 0 || (flags & (kHasTotalLength | kHasKeyLength)) !=
                                 (kHasTotalLength | kHasKeyLength))) {
      corruption_check(1602);
    }
    if (flags & kHasTotalLength) {
      if (length - pos < 2) corruption_check(1602);
      total = load_u16_le(area + pos);
      pos += 2;
    }
    if (flags & kHasKeyLength) {
      if (length - pos < 2) corruption_check(1602);
      key_length = load_u16_le(area + pos);
      pos += 2;
    }
    if (total > kMaxRecordLength || key_length > total || s > total) corruption_check(1602);
    if (k > 0 && s > (*out)[k - 1].bytes.size()) corruption_check(1602);
    if (length - pos < total - s) corruption_check(1602);
    Record& record = (*out)[k];
    record.key_length = uint16_t(key_length);
    record.bytes.reserve(total);
    if (s != 0) {
      const Bytes& previous = (*out)[k - 1].bytes;
      record.bytes.assign(previous.begin(), previous.begin() + ptrdiff_t(s));
    } else {
      record.bytes.clear();
    }
    record.bytes.insert(record.bytes.end(), area + pos, area + pos + (total - s));
    pos += total - s;
  }
  if (pos != length) corruption_check(1602);
}

}  // namespace orvel::datafile
