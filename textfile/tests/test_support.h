// Helpers shared by the tests of the delimited text files: the program's import layout,
// a byte source over memory that hands out small windows, and reading a whole buffer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/error_codes.h"
#include "textfile/byte_source.h"
#include "textfile/record_layout.h"
#include "textfile/record_reader.h"

namespace orvel::textfile::testing {

inline RecordLayout import_layout() {
  RecordLayout layout;
  layout.add_text("IMP:SER", 20)
      .add_text("IMP:NUM", 20)
      .add_text("IMP:FIO", 250)
      .add_text("IMP:DATE_PAS", 20)
      .add_text("IMP:COMMENT", 500)
      .add_text("IMP:DATE_IMP", 20);
  return layout;
}

inline TextFormat semicolon_format() {
  TextFormat f;
  f.field_delimiter = ";";
  return f;
}

inline std::string padded(std::string text, size_t width) {
  text.resize(width, ' ');
  return text;
}

// Serves bytes in windows of window_size (more only when the reader asks for more).
class MemorySource : public ByteSource {
 public:
  MemorySource(std::string bytes, size_t window_size)
      : bytes_(std::move(bytes)), window_size_(window_size) {}
  int window(uint64_t offset, size_t min_len, const uint8_t** data, size_t* len) override {
    size_t at = std::min<uint64_t>(offset, bytes_.size());
    *data = reinterpret_cast<const uint8_t*>(bytes_.data()) + at;
    *len = std::min(std::max(window_size_, min_len), bytes_.size() - at);
    return kNoError;
  }

 private:
  std::string bytes_;
  size_t window_size_;
};

struct ReadRecord {
  std::vector<std::string> fields;  // the text fields as stored, padding included
  uint64_t length;
  bool operator==(const ReadRecord&) const = default;
};

struct ReadAll {
  std::vector<ReadRecord> records;
  int end_code;  // of the read that ended it
  bool operator==(const ReadAll&) const = default;
};

// Reads record after record from the start, as the file object does, until a read fails.
inline ReadAll read_all(const std::string& bytes, const RecordLayout& layout,
                        const TextFormat& format, size_t window_size) {
  MemorySource source(bytes, window_size);
  RecordReader reader(format);
  std::vector<uint8_t> record(layout.size());
  ReadAll out{{}, 0};
  uint64_t offset = 0;
  for (;;) {
    uint64_t length = 0;
    int rc = offset >= bytes.size() ? kRecordNotAvailable
                                    : reader.read(source, offset, layout, record, &length);
    if (rc != kNoError) {
      out.end_code = rc;
      return out;
    }
    ReadRecord r{{}, length};
    for (size_t i = 0; i < layout.fields().size(); ++i) {
      if (layout.fields()[i].type == FieldType::kText)
        r.fields.emplace_back(layout.text(record, i));
    }
    out.records.push_back(std::move(r));
    offset += length;
  }
}

}  // namespace orvel::textfile::testing
