// Fuzz target for the delimited text record reader and writer.
//
// The input is an option string, a line feed, then the bytes of a text file (an input
// without a line feed is all file, read with no options). Every record of the file is read
// with the import record layout through windows of several sizes, from one byte to the
// file buffer the options ask for: each read must take at least one byte and stay inside the
// file, and every window size must give the same records. Each record is then written with
// the file's settings and read back; written with every field quoted, under the file's
// settings where they allow it and under the program's, it must read back equal and take
// exactly the bytes written.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/error_codes.h"
#include "platform/file.h"
#include "textfile/driver_options.h"
#include "textfile/record_reader.h"
#include "textfile/record_writer.h"
#include "textfile/tests/test_support.h"

namespace orvel::textfile {
namespace {

using fuzz::require;
using testing::MemorySource;

// Read/write without sharing, as the program opens its file.
constexpr int kProgramOpenMode = platform::open_mode::kReadWrite | platform::open_mode::kDenyAll;
constexpr std::string_view kProgramOptions = "/COMMA=59";

struct Reading {
  std::vector<std::string> images;  // the record images, one per record
  std::vector<uint64_t> lengths;
  bool operator==(const Reading&) const = default;
};

Reading read_all(const std::string& bytes, const RecordLayout& layout, const TextFormat& format,
                 size_t window_size) {
  MemorySource source(bytes, window_size);
  RecordReader reader(format);
  std::string image(layout.size(), '\0');
  auto record = std::span(reinterpret_cast<uint8_t*>(image.data()), image.size());
  Reading out;
  for (uint64_t offset = 0;;) {
    uint64_t length = 0;
    int rc = reader.read(source, offset, layout, record, &length);
    if (rc != kNoError) {
      require(rc == kRecordNotAvailable, "a read over memory ends only with Record Not Available");
      return out;
    }
    require(length >= 1, "a record takes at least one byte");
    require(length <= bytes.size() - offset, "a record ends inside the file");
    out.images.push_back(image);
    out.lengths.push_back(length);
    offset += length;
  }
}

std::span<const uint8_t> bytes_of(const std::string& image) {
  return std::span(reinterpret_cast<const uint8_t*>(image.data()), image.size());
}

// What a text field of the image reads back as after a write: the text up to a NUL byte,
// padded with blanks.
std::string expected_after_write(const RecordLayout& layout, const std::string& image) {
  std::string expected = image;
  for (const FieldLayout& field : layout.fields()) {
    std::string_view text(image.data() + field.offset, field.width);
    size_t nul = std::min(text.find('\0'), text.size());
    std::fill(expected.begin() + long(field.offset + nul),
              expected.begin() + long(field.offset + field.width), ' ');
  }
  return expected;
}

// Whether a record written with format, every field quoted, must read back equal: the quote
// is no byte the reader skips before a value, neither the quote nor (where it ends records)
// Ctrl-Z occurs in the delimiter or the end-of-record sequence, the delimiter cannot be taken
// for the start of an end-of-record sequence, and the fields hold nothing that ends a quoted
// value.
bool round_trips(const TextFormat& format, const std::string& image) {
  const std::string& delimiter = format.field_delimiter;
  const std::string& eor = format.end_of_record;
  auto in_sequences = [&](char c) {
    return delimiter.find(c) != std::string::npos || eor.find(c) != std::string::npos;
  };
  const char quote = char(format.quote);
  if (quote == ' ' || quote == '\t' || quote == '\r' || quote == '\0') return false;
  if (in_sequences(quote) || delimiter[0] == eor[0]) return false;
  if (format.ctrl_z_is_eof && (quote == char(kCtrlZ) || in_sequences(char(kCtrlZ)) ||
                               image.find(char(kCtrlZ)) != std::string::npos)) {
    return false;
  }
  return format.end_of_record_in_quote || image.find(eor) == std::string::npos;
}

void check_round_trip(const RecordLayout& layout, const TextFormat& format,
                      const std::string& image) {
  std::string written;
  write_record(layout, format, bytes_of(image), &written);
  Reading back = read_all(written, layout, format, written.size());
  require(back.images.size() == 1, "a written record reads back as one record");
  require(back.lengths[0] == written.size(), "a written record reads back to its end");
  require(back.images[0] == expected_after_write(layout, image),
          "a written record reads back equal");
}

void check_write_and_read_back(const RecordLayout& layout, const TextFormat& file_format,
                               const std::string& image) {
  std::string written;
  write_record(layout, file_format, bytes_of(image), &written);
  // Hostile settings (a quote that is also the delimiter, say) need not round-trip; they must
  // still be read safely.
  read_all(written, layout, file_format, written.size());

  TextFormat quoting = file_format;
  quoting.always_quote = true;
  if (round_trips(quoting, image)) check_round_trip(layout, quoting, image);
  const TextFormat program = driver_settings(kProgramOptions, kProgramOpenMode, layout).format;
  if (round_trips(program, image)) check_round_trip(layout, program, image);
}

}  // namespace
}  // namespace orvel::textfile

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvel::textfile;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view options;
  if (size_t lf = input.find('\n'); lf != std::string_view::npos) {
    options = input.substr(0, lf);
    input.remove_prefix(lf + 1);
  }
  const RecordLayout layout = testing::import_layout();
  const DriverSettings settings = driver_settings(options, kProgramOpenMode, layout);
  const std::string bytes(input);

  const Reading whole = read_all(bytes, layout, settings.format, std::max<size_t>(bytes.size(), 1));
  for (size_t window : {size_t{1}, size_t{2}, size_t{3}, size_t{64}, settings.buffer_size}) {
    orvel::fuzz::require(read_all(bytes, layout, settings.format, window) == whole,
                         "every window size reads the same records");
  }
  for (const std::string& image : whole.images) {
    check_write_and_read_back(layout, settings.format, image);
  }
  return 0;
}
