#include "platform/browse/external_sort.h"

#include <algorithm>
#include <cstring>
#include <queue>
#include <string_view>

#include "datafile/byte_order.h"
#include "platform/browse/field_values.h"
#include "platform/error_codes.h"

namespace orvel::browse {
namespace {

// A sort key holds each component in turn: a text or a field of other bytes as a 2-byte
// length and the bytes (text without trailing blanks), an integer as 8 bytes whose byte
// order is its numeric order. An entry is the record number (4 bytes), the key length
// (4 bytes) and the key; runs on disk hold entries one after another.
enum class Kind { kText, kInteger, kBytes };

struct Part {
  Kind kind;
  bool descending;
};

constexpr size_t kEntryHeader = 8;

void put_u16(std::vector<uint8_t>* out, uint16_t v) {
  uint8_t b[2];
  datafile::store_u16_be(b, v);
  out->insert(out->end(), b, b + 2);
}

void put_u32(std::vector<uint8_t>* out, uint32_t v) {
  uint8_t b[4];
  datafile::store_u32_le(b, v);
  out->insert(out->end(), b, b + 4);
}

void put_bytes(std::vector<uint8_t>* out, std::string_view bytes) {
  put_u16(out, static_cast<uint16_t>(bytes.size()));
  out->insert(out->end(), bytes.begin(), bytes.end());
}

// Text compared as if the shorter one went on with blanks.
int compare_padded(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  if (int c = std::memcmp(a.data(), b.data(), n); c != 0) return c;
  const std::string_view rest = a.size() > n ? a.substr(n) : b.substr(n);
  const int sign = a.size() > n ? 1 : -1;
  for (unsigned char c : rest) {
    if (c != ' ') return c > ' ' ? sign : -sign;
  }
  return 0;
}

class KeyMaker {
 public:
  KeyMaker(const datafile::TableDecl& decl, const std::vector<SortComponent>& order)
      : decl_(decl), order_(order) {
    for (const SortComponent& c : order) {
      const datafile::FieldDecl& field = decl.fields[c.field];
      const Kind kind = is_text(field)                       ? Kind::kText
                        : integer_value(field, zero_.data()) ? Kind::kInteger
                                                             : Kind::kBytes;
      parts_.push_back({kind, c.descending});
    }
  }

  const std::vector<Part>& parts() const { return parts_; }

  // Appends the entry of a record to out.
  void append_entry(const uint8_t* image, uint32_t number, std::vector<uint8_t>* out) const {
    put_u32(out, number);
    const size_t length_at = out->size();
    put_u32(out, 0);
    for (size_t i = 0; i < order_.size(); ++i) {
      const datafile::FieldDecl& field = decl_.fields[order_[i].field];
      switch (parts_[i].kind) {
        case Kind::kText: {
          std::string_view text = trim_blanks(field_bytes(field, image));
          if (order_[i].upper_case) {
            put_bytes(out, upper_case(text));
          } else {
            put_bytes(out, text);
          }
          break;
        }
        case Kind::kInteger: {
          const uint64_t biased =
              static_cast<uint64_t>(*integer_value(field, image)) ^ (1ull << 63);
          uint8_t b[8];
          datafile::store_u32_be(b, static_cast<uint32_t>(biased >> 32));
          datafile::store_u32_be(b + 4, static_cast<uint32_t>(biased));
          out->insert(out->end(), b, b + 8);
          break;
        }
        case Kind::kBytes:
          put_bytes(out, field_bytes(field, image));
          break;
      }
    }
    datafile::store_u32_le(out->data() + length_at,
                           static_cast<uint32_t>(out->size() - length_at - 4));
  }

 private:
  const datafile::TableDecl& decl_;
  const std::vector<SortComponent>& order_;
  std::vector<Part> parts_;
  std::vector<uint8_t> zero_ = std::vector<uint8_t>(decl_.record_length, 0);
};

class EntryLess {
 public:
  explicit EntryLess(const std::vector<Part>& parts) : parts_(parts) {}

  bool operator()(const uint8_t* a, const uint8_t* b) const { return compare(a, b) < 0; }

  int compare(const uint8_t* a, const uint8_t* b) const {
    const uint8_t* pa = a + kEntryHeader;
    const uint8_t* pb = b + kEntryHeader;
    for (const Part& part : parts_) {
      int c;
      if (part.kind == Kind::kInteger) {
        c = std::memcmp(pa, pb, 8);
        pa += 8;
        pb += 8;
      } else {
        const size_t la = datafile::load_u16_be(pa), lb = datafile::load_u16_be(pb);
        const std::string_view ta(reinterpret_cast<const char*>(pa + 2), la);
        const std::string_view tb(reinterpret_cast<const char*>(pb + 2), lb);
        c = part.kind == Kind::kText ? compare_padded(ta, tb) : ta.compare(tb);
        pa += 2 + la;
        pb += 2 + lb;
      }
      if (c != 0) return part.descending ? -c : c;
    }
    const uint32_t na = datafile::load_u32_le(a), nb = datafile::load_u32_le(b);
    return na < nb ? -1 : (na > nb ? 1 : 0);
  }

 private:
  const std::vector<Part>& parts_;
};

size_t entry_size(const uint8_t* entry) {
  return kEntryHeader + datafile::load_u32_le(entry + 4);
}

bool write_all(std::FILE* file, const void* data, size_t size) {
  return std::fwrite(data, 1, size, file) == size;
}

// Reads the entries of one run in turn.
class RunReader {
 public:
  explicit RunReader(std::FILE* file) : file_(file) {}

  // False at the end of the run; *failed when it could not be read.
  bool next(bool* failed) {
    entry_.resize(kEntryHeader);
    const size_t got = std::fread(entry_.data(), 1, kEntryHeader, file_);
    if (got == 0 && std::feof(file_)) return false;
    if (got != kEntryHeader) return *failed = true, false;
    const size_t length = datafile::load_u32_le(entry_.data() + 4);
    entry_.resize(kEntryHeader + length);
    if (std::fread(entry_.data() + kEntryHeader, 1, length, file_) != length) {
      return *failed = true, false;
    }
    return true;
  }
  const uint8_t* entry() const { return entry_.data(); }

 private:
  std::FILE* file_;
  std::vector<uint8_t> entry_;
};

class Sorter {
 public:
  Sorter(const KeyMaker& keys, const SortLimits& limits, SortStatistics* statistics)
      : less_(keys.parts()), limits_(limits), statistics_(statistics) {}

  bool add(const std::vector<uint8_t>& entry_bytes) {
    if (!offsets_.empty() && arena_.size() + entry_bytes.size() > arena_.capacity() &&
        !write_run()) {
      return false;
    }
    if (arena_.capacity() == 0) {
      // Three quarters of the limit for the keys, the rest for their offsets.
      arena_.reserve(std::max<size_t>(limits_.memory_bytes / 4 * 3, entry_bytes.size()));
      offsets_.reserve(limits_.memory_bytes / 4 / sizeof(size_t));
    }
    offsets_.push_back(arena_.size());
    arena_.insert(arena_.end(), entry_bytes.begin(), entry_bytes.end());
    statistics_->peak_memory_bytes = std::max(statistics_->peak_memory_bytes, held_bytes());
    return true;
  }

  // The sorted record numbers into a new temporary file.
  int finish(size_t count, std::unique_ptr<SortedNumbers>* result) {
    platform::TempFile out = platform::open_private_temp_file();
    if (!out) return kSystemIoError;
    if (runs_.empty()) {
      sort_in_memory();
      for (size_t offset : offsets_) {
        if (!write_all(out.get(), arena_.data() + offset, 4)) return kSystemIoError;
      }
    } else {
      if (!offsets_.empty() && !write_run()) return kSystemIoError;
      statistics_->runs = runs_.size();
      while (runs_.size() > limits_.merge_fan_in) {
        platform::TempFile merged = platform::open_private_temp_file();
        if (!merged || !merge(limits_.merge_fan_in, merged.get(), false)) return kSystemIoError;
        runs_.push_back(std::move(merged));
      }
      if (!merge(runs_.size(), out.get(), true)) return kSystemIoError;
    }
    if (std::fflush(out.get()) != 0) return kSystemIoError;
    *result = std::make_unique<SortedNumbers>(std::move(out), count);
    return kNoError;
  }

 private:
  size_t held_bytes() const { return arena_.capacity() + offsets_.capacity() * sizeof(size_t); }

  void sort_in_memory() {
    const uint8_t* base = arena_.data();
    std::sort(offsets_.begin(), offsets_.end(),
              [&](size_t a, size_t b) { return less_(base + a, base + b); });
  }

  bool write_run() {
    platform::TempFile run = platform::open_private_temp_file();
    if (!run) return false;
    sort_in_memory();
    for (size_t offset : offsets_) {
      const uint8_t* entry = arena_.data() + offset;
      if (!write_all(run.get(), entry, entry_size(entry))) return false;
    }
    if (std::fflush(run.get()) != 0) return false;
    runs_.push_back(std::move(run));
    // The next run reuses the memory of this one.
    arena_.clear();
    offsets_.clear();
    return true;
  }

  // Merges the first n runs into out (whole entries, or the record numbers only) and drops
  // them.
  bool merge(size_t n, std::FILE* out, bool numbers_only) {
    std::vector<RunReader> readers;
    for (size_t i = 0; i < n; ++i) {
      std::rewind(runs_[i].get());
      readers.emplace_back(runs_[i].get());
    }
    auto greater = [&](size_t a, size_t b) {
      return less_(readers[b].entry(), readers[a].entry());
    };
    std::priority_queue<size_t, std::vector<size_t>, decltype(greater)> heads(greater);
    bool failed = false;
    for (size_t i = 0; i < n; ++i) {
      if (readers[i].next(&failed)) heads.push(i);
    }
    while (!heads.empty() && !failed) {
      const size_t i = heads.top();
      heads.pop();
      const uint8_t* entry = readers[i].entry();
      if (!write_all(out, entry, numbers_only ? 4 : entry_size(entry))) return false;
      if (readers[i].next(&failed)) heads.push(i);
    }
    if (failed || std::fflush(out) != 0) return false;
    std::rewind(out);
    runs_.erase(runs_.begin(), runs_.begin() + ptrdiff_t(n));
    return true;
  }

  EntryLess less_;
  const SortLimits& limits_;
  SortStatistics* statistics_;
  std::vector<uint8_t> arena_;
  std::vector<size_t> offsets_;
  std::vector<platform::TempFile> runs_;
};

}  // namespace

int SortedNumbers::read(size_t index, size_t count, std::vector<uint32_t>* numbers) {
  if (index >= count_) return kNoError;
  count = std::min(count, count_ - index);
  std::vector<uint8_t> bytes(count * 4);
  if (std::fseek(file_.get(), long(index * 4), SEEK_SET) != 0 ||
      std::fread(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
    return kSystemIoError;
  }
  for (size_t i = 0; i < count; ++i) numbers->push_back(datafile::load_u32_le(&bytes[i * 4]));
  return kNoError;
}

std::optional<size_t> SortedNumbers::index_of(uint32_t number) {
  constexpr size_t kBlock = 16384;
  std::vector<uint32_t> block;
  for (size_t index = 0; index < count_; index += kBlock) {
    block.clear();
    if (read(index, kBlock, &block) != kNoError) return std::nullopt;
    auto found = std::find(block.begin(), block.end(), number);
    if (found != block.end()) return index + size_t(found - block.begin());
  }
  return std::nullopt;
}

int sort_table(datafile::Table& table, const std::vector<SortComponent>& order,
               std::unique_ptr<SortedNumbers>* result, const SortLimits& limits,
               SortStatistics* statistics) {
  const datafile::TableDecl& decl = table.declaration();
  for (const SortComponent& c : order) {
    if (c.field >= decl.fields.size()) return kInvalidRecordDeclaration;
  }
  SortStatistics local;
  SortStatistics* stats = statistics ? statistics : &local;
  *stats = {};
  const KeyMaker keys(decl, order);
  Sorter sorter(keys, limits, stats);
  std::shared_ptr<datafile::TableState> saved = table.save_state();
  int rc = table.set();
  std::vector<uint8_t> entry;
  while (rc == kNoError) {
    rc = table.next();
    if (rc != kNoError) break;
    entry.clear();
    keys.append_entry(table.record(), table.pointer(), &entry);
    if (!sorter.add(entry)) rc = kSystemIoError;
    ++stats->records;
  }
  table.restore_state(*saved);
  if (rc != kRecordNotAvailable) return rc == kNoError ? kSystemIoError : rc;
  return sorter.finish(stats->records, result);
}

}  // namespace orvel::browse
