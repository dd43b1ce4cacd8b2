// Fuzz target for the delimited text file object under arbitrary option strings and modes.
//
// The input is an option string, a line feed, one byte of open mode, then the bytes of the
// file. The file is opened with the import record layout and read to its end through the
// file object, with the file buffer as the options set it and again with the buffer off and
// with the smallest buffer: every operation ends with 0 or an error number of such files;
// BYTES gives the file size after OPEN and after the failing NEXT, and each record's length
// after it was read; the records lie one after the other inside the file; and all three
// readings give the same records. A file opened for writing then takes an APPEND, which must
// lengthen it, and closes.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/error_codes.h"
#include "platform/mem_file_system.h"
#include "textfile/tests/test_support.h"
#include "textfile/text_file.h"

namespace orvel::textfile {
namespace {

using fuzz::require;

// Names are resolved against the current directory; the file lives there.
const std::filesystem::path& file_path() {
  static const std::filesystem::path path = std::filesystem::current_path() / "update.txt";
  return path;
}

const std::set<int> kAllowed = {kNoError, kAccessDenied, kRecordNotAvailable};

struct Reading {
  std::vector<std::string> images;
  std::vector<uint64_t> lengths;
  bool operator==(const Reading&) const = default;
};

int allowed(int rc, const char* what) {
  if (!kAllowed.count(rc)) std::fprintf(stderr, "%s returned %d\n", what, rc);
  require(kAllowed.count(rc) != 0, "an operation on a text file ends with its error numbers");
  return rc;
}

TextFileDecl declaration(std::string options) {
  TextFileDecl decl;
  decl.layout = testing::import_layout();
  decl.name = [] {
    static const std::string name = file_path().string();
    return std::string_view(name);
  };
  decl.options = std::move(options);
  decl.create = true;
  return decl;
}

// Reads the whole file; false when it could not be opened or read.
bool read_all(platform::MemFileSystem& fs, const std::string& options, int mode, Reading* out) {
  const uint64_t size = fs.contents(file_path().string()).size();
  TextFile file(declaration(options), fs);
  if (allowed(file.open(mode), "OPEN") != kNoError) return false;
  uint64_t bytes = 0;
  require(file.bytes(&bytes) == kNoError && bytes == size, "BYTES after OPEN is the file size");
  require(file.set() == kNoError, "SET of an open file succeeds");
  uint64_t offset = 0;
  int rc;
  while ((rc = allowed(file.next(), "NEXT")) == kNoError) {
    require(file.bytes(&bytes) == kNoError, "BYTES after NEXT");
    require(bytes >= 1 && bytes <= size - offset, "a record lies inside the rest of the file");
    offset += bytes;
    out->images.emplace_back(file.record().begin(), file.record().end());
    out->lengths.push_back(bytes);
  }
  require(file.bytes(&bytes) == kNoError && bytes == size,
          "BYTES after the failing NEXT is the file size");
  require(file.next() == kRecordNotAvailable, "NEXT after a failed NEXT has no record");
  require(file.close() == kNoError, "CLOSE succeeds");
  return rc == kRecordNotAvailable;
}

}  // namespace
}  // namespace orvel::textfile

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvel::textfile;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t lf = input.find('\n');
  if (lf == std::string_view::npos || lf + 1 >= input.size()) return 0;
  const std::string options(input.substr(0, lf));
  const uint8_t mode_byte = uint8_t(input[lf + 1]);
  // Access read-only or read/write (write-only cannot read), any sharing.
  const int mode = (mode_byte & 0x02) | (mode_byte & 0x70);
  const std::string bytes(input.substr(lf + 2));

  orvel::platform::MemFileSystem fs;
  fs.add_directory(file_path().parent_path().string());
  fs.set_contents(file_path().string(), std::vector<uint8_t>(bytes.begin(), bytes.end()));
  Reading as_set;
  if (!read_all(fs, options, mode, &as_set)) return 0;
  for (const char* buffering : {"/QUICKSCAN=OFF", "/QUICKSCAN=ON/FILEBUFFERS=0"}) {
    Reading other;
    require(read_all(fs, options + buffering, mode, &other), "the file reads again");
    require(other == as_set, "every file buffer reads the same records");
  }

  if ((mode & 0x03) == 0x02) {
    TextFile file(declaration(options), fs);
    require(file.open(mode) == orvel::kNoError, "the file opens again for writing");
    if (!as_set.images.empty()) {
      const std::string& last = as_set.images.back();
      std::copy(last.begin(), last.end(), file.record().begin());
    }
    require(file.append() == orvel::kNoError, "APPEND to a file open for writing succeeds");
    require(file.close() == orvel::kNoError, "CLOSE after APPEND succeeds");
    require(fs.contents(file_path().string()).size() > bytes.size(), "APPEND lengthens the file");
  }
  return 0;
}
