// A record of the record tree: a byte string whose first key_length bytes are its key.
//
// Every thing a keyed data file holds (table names, definitions, data records, key entries,
// statistics, collation tables, memo chunks, transaction markers) is such a record. Records
// are ordered by their keys alone: unsigned bytes over the shorter length, then the shorter
// key first. The total length is at most kMaxRecordLength; make_record enforces it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "datafile/corruption.h"

namespace orvel::datafile {

inline constexpr size_t kMaxRecordLength = 15093;

using Bytes = std::vector<uint8_t>;

// A view of a record key.
using KeyView = std::basic_string_view<uint8_t>;

struct Record {
  Bytes bytes;              // key, then data
  uint16_t key_length = 0;  // at most bytes.size()

  KeyView key() const { return KeyView(bytes.data(), key_length); }
  KeyView data() const { return KeyView(bytes.data() + key_length, bytes.size() - key_length); }
  size_t total_length() const { return bytes.size(); }

  bool operator==(const Record&) const = default;
};

// A record of key followed by data. A total above kMaxRecordLength is corruption check 824:
// no record of a file may be that long, whatever it holds.
inline Record make_record(KeyView key, KeyView data) {
  if (key.size() + data.size() > kMaxRecordLength) corruption_check(824);
  Record record;
  record.bytes.reserve(key.size() + data.size());
  record.bytes.insert(record.bytes.end(), key.begin(), key.end());
  record.bytes.insert(record.bytes.end(), data.begin(), data.end());
  record.key_length = uint16_t(key.size());
  return record;
}

// Negative, zero or positive as a sorts before, equal to or after b.
inline int compare_keys(KeyView a, KeyView b) {
  size_t common = std::min(a.size(), b.size());
  if (common != 0) {
    if (int c = std::memcmp(a.data(), b.data(), common); c != 0) return c;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

}  // namespace orvel::datafile
