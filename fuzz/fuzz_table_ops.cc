// Fuzz target for sequences of table operations, checked against a model.
//
// The input is a program: each byte picks an operation (ADD, APPEND, PUT, DELETE, GET by
// number and by key, reading in file order and in key order, RECORDS, close and reopen, a
// transaction committed or rolled back, BUILD, EMPTY), the following bytes its arguments.
// The operations run on the passport table of an in-memory file; the model is the map of
// record numbers to passports that they should leave. After every operation the table's
// count is the model's; reading in file order gives the model in record-number order, in the
// order of KL_SER_NUM the model sorted by series and number with Latin letters folded and
// equal values by record number; at the end the integrity check of `hvk check` passes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "datafile/data_file.h"
#include "datafile/table.h"
#include "datafile/table_check.h"
#include "datafile/tests/passport_declaration.h"
#include "datafile/tests/passport_record.h"
#include "fuzz/fuzz_check.h"
#include "platform/error_codes.h"
#include "platform/mem_file_system.h"

namespace orvel::datafile {
namespace {

using fuzz::require;
using testing::kSerNum;
using testing::loaded_passport;
using testing::Passport;
using testing::store_passport;
namespace om = platform::open_mode;

constexpr int kShared = om::kReadWrite | om::kDenyNone;
using Model = std::map<uint32_t, Passport>;

class Program {
 public:
  Program(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool done() const { return pos_ >= size_; }
  uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Few distinct values, Latin letters in both cases, so that keys collide and fold.
Passport passport_from(Program& p) {
  static const char* kSeries[] = {"", "AB", "ab", "Ab", "XY", "\xC0\xC1", "\xE0\xE1", "Z Z"};
  uint8_t a = p.byte(), b = p.byte();
  return {kSeries[a % 8], std::to_string(b % 16), "NAME " + std::to_string(b / 16),
          int32_t(a) - 100, int32_t(b), std::string(a % 3 * 100, char('a' + b % 26))};
}

std::string folded(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return out;
}

std::vector<uint32_t> in_key_order(const Model& model) {
  std::vector<std::tuple<std::string, std::string, uint32_t>> entries;
  for (const auto& [number, p] : model) {
    entries.emplace_back(folded(testing::padded(p.ser, 20)), folded(testing::padded(p.num, 20)),
                         number);
  }
  std::sort(entries.begin(), entries.end());
  std::vector<uint32_t> out;
  for (const auto& e : entries) out.push_back(std::get<2>(e));
  return out;
}

class Run {
 public:
  Run() : decl_(passport_declaration()) {
    Table maker(decl_, fs_);
    require(maker.create() == kNoError, "the table is created");
    reopen();
  }

  void step(Program& p) {
    switch (p.byte() % 13) {
      case 0:
      case 1: {  // ADD, or APPEND with the keys built later
        Passport passport = passport_from(p);
        store_passport(*table_, passport);
        bool append = p.byte() % 4 == 0;
        require((append ? table_->append() : table_->add()) == kNoError, "ADD succeeds");
        model_[table_->pointer()] = passport;
        if (append) keys_complete_ = false;
        break;
      }
      case 2: {  // PUT of a record fetched by number
        uint32_t number = pick(p);
        if (fetch(number) != kNoError) break;
        Passport changed = passport_from(p);
        store_passport(*table_, changed);
        require(table_->put() == kNoError, "PUT succeeds");
        model_[number] = changed;
        break;
      }
      case 3: {  // DELETE of a record fetched by number, then DELETE again
        uint32_t number = pick(p);
        if (fetch(number) != kNoError) break;
        require(table_->erase() == kNoError, "DELETE succeeds");
        model_.erase(number);
        require(table_->erase() == kRecordNotAvailable, "a second DELETE has no record");
        break;
      }
      case 4:
        fetch(pick(p));
        break;
      case 5:
        get_by_key(passport_from(p));
        break;
      case 6:
        check_file_order(p.byte() % 2 == 0);
        break;
      case 7:
        if (keys_complete_) check_key_order(p.byte() % 2 == 0);
        break;
      case 8:
        reopen();
        break;
      case 9:
        transaction(p);
        break;
      case 10:
        require(table_->build() == kNoError, "BUILD succeeds");
        keys_complete_ = true;
        break;
      case 11:
        if (p.byte() % 8 == 0) {
          require(table_->empty() == kNoError, "EMPTY succeeds");
          model_.clear();
          keys_complete_ = true;
        }
        break;
      default:
        break;
    }
    uint32_t count = 0;
    require(table_->records(&count) == kNoError && count == model_.size(),
            "RECORDS counts the model");
  }

  void finish() {
    check_file_order(true);
    check_file_order(false);
    if (keys_complete_) {
      check_key_order(true);
      check_key_order(false);
    }
    table_.reset();
    std::unique_ptr<platform::File> handle;
    require(fs_.open(decl_.file_name, om::kReadOnly | om::kDenyNone,
                     platform::Disposition::kOpenExisting, &handle) == kNoError,
            "the file opens");
    std::unique_ptr<DataFile> file;
    require(DataFile::open(std::move(handle), om::kReadOnly | om::kDenyNone, {}, &file) == kNoError,
            "the file opens as a keyed data file");
    std::vector<std::string> problems = check_file(file.get());
    for (const std::string& line : problems) std::fprintf(stderr, "%s\n", line.c_str());
    require(problems.empty(), "the integrity check passes");
  }

 private:
  // A record number of the model most of the time, now and then one that is not there.
  uint32_t pick(Program& p) {
    uint8_t b = p.byte();
    if (model_.empty() || b % 8 == 0) return b;
    auto it = model_.begin();
    std::advance(it, b % model_.size());
    return it->first;
  }

  int fetch(uint32_t number) {
    int rc = table_->get_by_number(number);
    auto it = model_.find(number);
    if (it == model_.end()) {
      require(rc == kRecordNotFound, "GET of a number not in the model finds nothing");
    } else {
      require(rc == kNoError, "GET of a number in the model finds it");
      require(loaded_passport(*table_) == it->second, "GET reads the model's record");
    }
    return rc;
  }

  void get_by_key(const Passport& value) {
    store_passport(*table_, value);
    int rc = table_->get(kSerNum);
    if (!keys_complete_) return;
    std::string ser = folded(testing::padded(value.ser, 20));
    std::string num = folded(testing::padded(value.num, 20));
    for (const auto& [number, p] : model_) {
      if (folded(testing::padded(p.ser, 20)) == ser && folded(testing::padded(p.num, 20)) == num) {
        require(rc == kNoError && table_->pointer() == number,
                "GET by key finds the lowest record number of the value");
        return;
      }
    }
    require(rc == kRecordNotFound, "GET by key of a value not in the model finds nothing");
  }

  std::vector<uint32_t> read_all(int key, bool forward) {
    require((key == Table::kFileOrder ? table_->set() : table_->set(key)) == kNoError, "SET");
    std::vector<uint32_t> seen;
    int rc;
    while ((rc = forward ? table_->next() : table_->previous()) == kNoError) {
      seen.push_back(table_->pointer());
      require(model_.count(seen.back()) && loaded_passport(*table_) == model_[seen.back()],
              "a record read is the model's");
      require(seen.size() <= model_.size(), "reading ends");
    }
    require(rc == kRecordNotAvailable, "reading ends with Record Not Available");
    if (!forward) std::reverse(seen.begin(), seen.end());
    return seen;
  }

  void check_file_order(bool forward) {
    std::vector<uint32_t> expected;
    for (const auto& entry : model_) expected.push_back(entry.first);
    require(read_all(Table::kFileOrder, forward) == expected, "file order is record order");
  }

  void check_key_order(bool forward) {
    require(read_all(kSerNum, forward) == in_key_order(model_),
            "key order is the model's value order");
  }

  void transaction(Program& p) {
    require(table_->logout() == kNoError, "LOGOUT succeeds");
    Model during = model_;
    int adds = p.byte() % 5;
    for (int i = 0; i < adds; ++i) {
      Passport passport = passport_from(p);
      store_passport(*table_, passport);
      require(table_->add() == kNoError, "ADD in a transaction succeeds");
      during[table_->pointer()] = passport;
    }
    if (p.byte() % 2 == 0) {
      require(table_->commit() == kNoError, "COMMIT succeeds");
      model_ = during;
    } else {
      require(table_->rollback() == kNoError, "ROLLBACK succeeds");
    }
  }

  void reopen() {
    if (table_) require(table_->close() == kNoError, "CLOSE succeeds");
    table_ = std::make_unique<Table>(decl_, fs_);
    require(table_->open(kShared) == kNoError, "OPEN succeeds");
  }

  TableDecl decl_;
  platform::MemFileSystem fs_;
  std::unique_ptr<Table> table_;
  Model model_;
  bool keys_complete_ = true;
};

}  // namespace
}  // namespace orvel::datafile

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvel::datafile;
  Program program(data, std::min<size_t>(size, 4096));
  Run run;
  while (!program.done()) run.step(program);
  run.finish();
  return 0;
}
