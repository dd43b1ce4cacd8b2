// A keyed data file on the in-memory file system, with helpers to make records, read the
// whole tree and check it, for the engine's tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "datafile/corruption.h"
#include "datafile/data_file.h"
#include "datafile/integrity_check.h"
#include "platform/error_codes.h"
#include "platform/mem_file_system.h"

namespace orvel::datafile::testing {

using Contents = std::map<Bytes, Bytes>;  // key -> data

inline Bytes bytes_of(const std::string& s) {
  return Bytes(s.begin(), s.end());
}
inline KeyView key_of(const Bytes& b) {
  return KeyView(b.data(), b.size());
}

inline Record make_record(const Bytes& key, const Bytes& data) {
  Record r;
  r.bytes = key;
  r.bytes.insert(r.bytes.end(), data.begin(), data.end());
  r.key_length = uint16_t(key.size());
  return r;
}

inline Record make_record(const std::string& key, size_t data_length, uint8_t fill = 'x') {
  return make_record(bytes_of(key), Bytes(data_length, fill));
}

// The check number of the corruption f ends with, 0 when it ends normally.
inline int check_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const CorruptionError& e) {
    return e.check();
  }
  return 0;
}

class TestFile {
 public:
  explicit TestFile(std::string path = "test.hvk") : path_(std::move(path)) {}

  int open(int mode = platform::open_mode::kReadWrite | platform::open_mode::kDenyNone,
           DataFileOptions options = {}) {
    return open_into(&file_, mode, std::move(options));
  }
  // A second DataFile object on the same file, as another program would open it.
  int open_into(std::unique_ptr<DataFile>* out,
                int mode = platform::open_mode::kReadWrite | platform::open_mode::kDenyNone,
                DataFileOptions options = {}) {
    std::unique_ptr<platform::File> f;
    auto disposition = platform::open_mode::can_write(mode) ? platform::Disposition::kOpenOrCreate
                                                            : platform::Disposition::kOpenExisting;
    if (int rc = fs_.open(path_, mode, disposition, &f); rc != kNoError) return rc;
    return DataFile::open(std::move(f), mode, std::move(options), out);
  }
  void close() {
    if (file_) {
      EXPECT_EQ(file_->close(), kNoError);
    }
    file_.reset();
  }
  void reopen() {
    close();
    ASSERT_EQ(open(), kNoError);
  }

  DataFile& file() { return *file_; }
  RecordTree& tree() { return file_->tree(); }
  platform::MemFileSystem& fs() { return fs_; }
  const std::string& path() const { return path_; }
  Bytes bytes() { return fs_.contents(path_); }

  void insert(const Record& r) { tree().insert(r); }
  void erase(const std::string& key) {
    Bytes k = bytes_of(key);
    tree().erase(key_of(k));
  }

  // Every record of the tree but the sentinel, in key order, read with find_first_above.
  static Contents contents_of(DataFile& file) {
    Contents out;
    Bytes key;
    while (const Record* r = file.tree().find_first_above(key_of(key))) {
      KeyView k = r->key();
      key.assign(k.begin(), k.end());
      KeyView d = r->data();
      out[key] = Bytes(d.begin(), d.end());
    }
    return out;
  }
  Contents contents() { return contents_of(*file_); }

  std::vector<std::string> check() { return check_integrity(file_.get()); }

 private:
  std::string path_;
  platform::MemFileSystem fs_;
  std::unique_ptr<DataFile> file_;
};

// Joins the integrity checker's lines for a failure message.
inline std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\n";
  return s;
}

}  // namespace orvel::datafile::testing
