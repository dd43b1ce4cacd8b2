#include "datafile/integrity_check.h"

#include <map>
#include <set>
#include <sstream>

#include "datafile/byte_order.h"
#include "datafile/corruption.h"

namespace orvel::datafile {
namespace {

std::string hex_key(KeyView key) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < key.size() && i < 24; ++i) {
    s += digits[key[i] >> 4];
    s += digits[key[i] & 15];
  }
  if (key.size() > 24) s += "...";
  return s.empty() ? "(empty)" : s;
}

// One line of the report, added when the statement that writes it ends.
class Line {
 public:
  explicit Line(std::vector<std::string>* lines) : lines_(lines) {}
  ~Line() { lines_->push_back(out_.str()); }
  template <typename T>
  Line& operator<<(const T& v) {
    out_ << v;
    return *this;
  }

 private:
  std::vector<std::string>* lines_;
  std::ostringstream out_;
};

class Checker {
 public:
  explicit Checker(DataFile* file) : file_(file) {}

  std::vector<std::string> run() {
    uint8_t bytes[kFileHeaderSize];
    size_t got = 0;
    try {
      got = file_->io().read(0, bytes, kFileHeaderSize);
    } catch (const CorruptionError& e) {
      problem() << "the header does not read (check " << e.check() << ")";
      return problems_;
    }
    if (got == 0) return problems_;  // a new file without pages
    if (got < kFileHeaderSize) {
      problem() << "the file is shorter than a header";
      return problems_;
    }
    header_ = FileHeader::from_bytes(bytes);
    check_header();
    if (!problems_.empty()) return problems_;
    if (header_.all_regions_empty()) return problems_;
    walk(header_.root(), -1, nullptr);
    for (const auto& [address, size_class] : slots_) {
      if (!visited_.count(address)) {
        problem() << "page " << address << " of class " << size_class << " is not in the tree";
      }
    }
    if (!saw_sentinel_) problem() << "the first record of the tree is not the sentinel";
    return problems_;
  }

 private:
  Line problem() { return Line(&problems_); }

  void check_header() {
    if (!header_.has_magic()) problem() << "header without magic";
    if (header_.data_end() != header_.journal_end()) problem() << "a journal is pending";
    if (header_.data_end() != header_.computed_data_end()) {
      problem() << "data end " << header_.data_end() << " differs from the regions' "
                << header_.computed_data_end();
    }
    if (header_.region_start(0) != 0 || header_.region_end(0) != 0) problem() << "region 0 used";
    if (header_.region_start(1) != 0) problem() << "region 1 does not start at 0";
    int32_t previous_end = 0;
    for (int i = 1; i <= kMaxClass; ++i) {
      int32_t s = header_.region_start(i), e = header_.region_end(i);
      if (s < previous_end || e < s || (e - s) % i != 0) {
        problem() << "region " << i << " [" << s << ", " << e << ") is out of order or unpacked";
        continue;
      }
      previous_end = e;
    }
    uint64_t size = 0;
    if (file_->io().size(&size) == 0 && size < header_.data_end()) {
      problem() << "file of " << size << " bytes ends before the data end";
    }
    // Only regions that the file really holds are listed slot by slot: a damaged header may
    // claim millions of slots.
    if (!problems_.empty()) return;
    for (int i = 1; i <= kMaxClass; ++i) {
      for (int32_t a = header_.region_start(i); a < header_.region_end(i); a += i) slots_[a] = i;
    }
  }

  // Walks the subtree at address; returns its first key in *first (when not null).
  void walk(int32_t address, int expected_level, Bytes* first) {
    auto slot = slots_.find(address);
    if (slot == slots_.end()) {
      problem() << "page address " << address << " lies in no region slot";
      return;
    }
    if (!visited_.insert(address).second) {
      problem() << "page " << address << " is reached twice";
      return;
    }
    PageContents page;
    Bytes image;
    try {
      file_->read_image(address, slot->second, &image);
      load_page_image(image.data(), image.size(), slot->second, &page);
    } catch (const CorruptionError& e) {
      problem() << "page " << address << " does not load (check " << e.check() << ")";
      return;
    }
    if (load_u32_le(image.data()) != uint32_t(page_offset(address))) {
      problem() << "page " << address << " carries the offset of another place";
    }
    if (expected_level >= 0 && page.level != expected_level) {
      problem() << "page " << address << " has level " << int(page.level) << ", expected "
                << expected_level;
    }
    if (page.records.empty()) {
      problem() << "page " << address << " is empty";
      return;
    }
    if (page.size_estimate != size_estimate_of(page)) {
      problem() << "page " << address << " stores size estimate " << page.size_estimate
                << " for records worth " << size_estimate_of(page);
    }
    if (needs_split(page) && page.records.size() > 1) {
      problem() << "page " << address << " should have been split";
    }
    for (size_t k = 1; k < page.records.size(); ++k) {
      if (compare_keys(page.records[k - 1].key(), page.records[k].key()) >= 0) {
        problem() << "page " << address << " has keys out of order at " << k;
      }
    }
    if (first) {
      KeyView k = page.records.front().key();
      first->assign(k.begin(), k.end());
    }
    if (page.level == 0) {
      for (const Record& r : page.records) {
        if (!any_record_) {
          saw_sentinel_ = r.key().empty() && r.total_length() == 0;
        } else if (compare_keys(KeyView(last_key_.data(), last_key_.size()), r.key()) >= 0) {
          problem() << "key " << hex_key(r.key()) << " in page " << address
                    << " does not follow the key before it";
        }
        any_record_ = true;
        last_key_.assign(r.key().begin(), r.key().end());
      }
      return;
    }
    for (size_t k = 0; k < page.records.size(); ++k) {
      const Record& separator = page.records[k];
      if (separator.total_length() != separator.key_length) {
        problem() << "separator " << k << " of page " << address << " carries data";
      }
      Bytes child_first;
      size_t before = problems_.size();
      walk(page.children[k], page.level - 1, &child_first);
      if (problems_.size() == before &&
          compare_keys(separator.key(), KeyView(child_first.data(), child_first.size())) != 0) {
        problem() << "separator " << hex_key(separator.key()) << " of page " << address
                  << " differs from its child's first key "
                  << hex_key(KeyView(child_first.data(), child_first.size()));
      }
    }
  }

  DataFile* file_;
  FileHeader header_;
  std::map<int32_t, int> slots_;  // address -> class
  std::set<int32_t> visited_;
  std::vector<std::string> problems_;
  Bytes last_key_;
  bool any_record_ = false;
  bool saw_sentinel_ = false;
};

}  // namespace

std::vector<std::string> check_integrity(DataFile* file) {
  Checker checker(file);
  auto problems = checker.run();
  return problems;
}

}  // namespace orvel::datafile
