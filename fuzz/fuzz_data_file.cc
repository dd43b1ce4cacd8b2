// Fuzz target for keyed data files from arbitrary bytes.
//
// The input is the whole file. Its table names are listed; every table is opened for
// reading without a declared layout (its stored definition is read) and read in file order
// and in the order of every key, forward and backward; the passport table is opened with the
// program's declaration for reading and writing, and a passport is added, fetched, changed
// and deleted. Every operation must end with 0 or an error number a damaged file may give,
// no reading may run on without end, and the integrity check of `hvk check` must report
// damage as lines rather than fail.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app/passport_record.h"
#include "datafile/corruption.h"
#include "datafile/data_file.h"
#include "datafile/table.h"
#include "datafile/table_check.h"
#include "fuzz/fuzz_check.h"
#include "platform/error_codes.h"
#include "platform/mem_file_system.h"

namespace orvel::datafile {
namespace {

using fuzz::require;
namespace om = platform::open_mode;

constexpr const char* kPath = "f.hvk";
// Far more records than 16 KB of pages can hold: reading further is reading without end.
constexpr int kMostReads = 20000;

// What an operation on a damaged file may end with: success, the ends of reading, a missing
// table or record, a file that is no keyed data file, a definition that does not check, a
// duplicate, and a corruption check.
const std::set<int> kAllowed = {kNoError,         kFileNotFound,  kRecordNotAvailable,
                                kRecordNotFound,  kInvalidDataFile, kInvalidRecordDeclaration,
                                kCreatesDuplicateKey, kFileSystemError, kInvalidFieldTypeDescriptor};

int allowed(int rc, const char* what) {
  if (!kAllowed.count(rc)) std::fprintf(stderr, "%s returned %d\n", what, rc);
  require(kAllowed.count(rc) != 0, "an operation on a damaged file ends with an error number");
  return rc;
}

// Reads with step until it fails; returns the number of records read.
int read_through(Table& t, int (Table::*step)()) {
  int reads = 0;
  while (allowed((t.*step)(), "a read") == kNoError) {
    require(++reads <= kMostReads, "reading a damaged file comes to an end");
  }
  return reads;
}

void read_table(platform::MemFileSystem& fs, const std::string& table_name) {
  TableDecl decl;  // no layout: the stored definition is read
  decl.file_name = table_name == "UNNAMED" ? std::string(kPath) : kPath + ("\\!" + table_name);
  Table t(decl, fs);
  if (allowed(t.open(om::kReadOnly | om::kDenyNone), "open without a layout") != kNoError) return;
  uint32_t count = 0;
  allowed(t.records(&count), "RECORDS");
  for (int (Table::*step)() : {&Table::next, &Table::previous}) {
    if (allowed(t.set(), "SET") == kNoError) read_through(t, step);
    for (size_t k = 0; k < t.declaration().keys.size(); ++k) {
      if (allowed(t.set(int(k)), "SET of a key") == kNoError) read_through(t, step);
    }
  }
  t.close();
}

void write_passport(platform::MemFileSystem& fs) {
  static const TableDecl decl = [] {
    TableDecl d = app::passport_table();
    d.file_name = kPath;
    return d;
  }();
  Table t(decl, fs);
  if (allowed(t.open(om::kReadWrite | om::kDenyNone), "open of the passport table") != kNoError) {
    return;
  }
  std::memset(t.record(), ' ', decl.record_length);
  std::memcpy(t.record(), "FUZZ", 4);
  std::memcpy(t.record() + 20, "000001", 6);
  if (allowed(t.add(), "ADD") == kNoError) {
    allowed(t.get(0), "GET");
    t.record()[40] = 'X';
    allowed(t.put(), "PUT");
    allowed(t.erase(), "DELETE");
  }
  read_through(t, &Table::next);
  t.close();
}

void check(platform::MemFileSystem& fs) {
  std::unique_ptr<platform::File> handle;
  const int mode = om::kReadOnly | om::kDenyNone;
  if (fs.open(kPath, mode, platform::Disposition::kOpenExisting, &handle) != kNoError) return;
  std::unique_ptr<DataFile> file;
  try {
    // Reading the header may already meet damage (its regions out of order).
    if (DataFile::open(std::move(handle), mode, {}, &file) != kNoError) return;
  } catch (const CorruptionError&) {
    return;
  }
  try {
    check_file(file.get());
  } catch (const CorruptionError&) {
    require(false, "the integrity check reports damage as lines");
  }
}

}  // namespace
}  // namespace orvel::datafile

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvel::datafile;
  orvel::platform::MemFileSystem fs;
  fs.set_contents(kPath, Bytes(data, data + size));
  check(fs);
  {
    TableDecl any;
    any.file_name = kPath;
    std::vector<std::string> names;
    Table lister(any, fs);
    if (allowed(lister.table_names(&names), "PNMQ") == orvel::kNoError) {
      if (names.size() > 8) names.resize(8);
      for (const std::string& name : names) read_table(fs, name);
    }
  }
  write_passport(fs);
  check(fs);
  return 0;
}
