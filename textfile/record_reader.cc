#include "textfile/record_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/error_codes.h"

namespace orvel::textfile {

RecordReader::RecordReader(const TextFormat& format) : format_(format) {
  const auto eor = static_cast<uint8_t>(format_.end_of_record.at(0));
  const auto delimiter = static_cast<uint8_t>(format_.field_delimiter.at(0));
  quoted_stops_[format_.quote] = true;
  if (!format_.end_of_record_in_quote) quoted_stops_[eor] = true;
  unquoted_stops_[delimiter] = true;
  unquoted_stops_[eor] = true;
  end_stops_[eor] = true;
  if (format_.ctrl_z_is_eof) {
    quoted_stops_[kCtrlZ] = true;
    unquoted_stops_[kCtrlZ] = true;
    end_stops_[kCtrlZ] = true;
  }
}

// One read of one record: a cursor over the source's windows and the steps of the reading.
// Every loop consumes at least one byte per turn or ends, so no input can make it spin.
class RecordScan {
 public:
  RecordScan(const RecordReader& reader, ByteSource& source, uint64_t start)
      : reader_(reader), format_(reader.format_), source_(source), window_offset_(start) {}

  // Thrown out of a read that cannot go on; read() turns it into its result. kNoError
  // ends the record where the bytes ended.
  struct Interrupted {
    int code;
  };

  uint64_t offset() const { return window_offset_ + static_cast<uint64_t>(p_ - window_); }

  // True when a record begins here.
  bool record_begins() {
    if (!fill(1)) return false;
    return !(format_.ctrl_z_is_eof && *p_ == kCtrlZ);
  }

  // Reads one field into dst (width bytes, blank); true when the record is complete.
  bool read_field(FieldType type, uint8_t* dst, size_t width) {
    for (;;) {
      switch (classify(true)) {
        case Stop::kRecordEnd:
          return true;
        case Stop::kDelimiter:
          return false;
        case Stop::kOther:
          break;
      }
      uint8_t b = *p_;
      if (b == ' ' || b == '\t' || b == '\r' || b == 0) {
        ++p_;
        continue;
      }
      if (type == FieldType::kText) {
        read_value(dst, width);
      } else {
        uint8_t text[kNumberTextWidth];
        std::memset(text, ' ', sizeof text);
        read_value(text, sizeof text);
        store_number(text, dst);
      }
      return false;
    }
  }

  // Skips up to and including the next field delimiter; true when the record ends first.
  bool skip_past_delimiter() {
    for (;;) {
      skip_run(reader_.unquoted_stops_);
      switch (classify(true)) {
        case Stop::kRecordEnd:
          return true;
        case Stop::kDelimiter:
          p_ += format_.field_delimiter.size();
          return false;
        case Stop::kOther:
          ++p_;
          break;
      }
    }
  }

  // Skips up to and including the end-of-record sequence or Ctrl-Z, quotes or not.
  void skip_past_end() {
    for (;;) {
      skip_run(reader_.end_stops_);
      if (classify(false) == Stop::kRecordEnd) return;
      ++p_;
    }
  }

 private:
  enum class Stop { kRecordEnd, kDelimiter, kOther };

  // Looks at the current position: the end of the file, or an end-of-record sequence or
  // Ctrl-Z (both consumed), end the record; a delimiter (not consumed) is reported when
  // asked for; anything else is left for the caller.
  Stop classify(bool with_delimiter) {
    if (!fill(1)) return Stop::kRecordEnd;
    uint8_t b = *p_;
    if (at(format_.end_of_record)) {
      p_ += format_.end_of_record.size();
      return Stop::kRecordEnd;
    }
    if (format_.ctrl_z_is_eof && b == kCtrlZ) {
      ++p_;
      return Stop::kRecordEnd;
    }
    if (with_delimiter && at(format_.field_delimiter)) return Stop::kDelimiter;
    return Stop::kOther;
  }

  void read_value(uint8_t* dst, size_t width) {
    if (*p_ == format_.quote) {
      ++p_;
      read_quoted(dst, width);
    } else {
      read_unquoted(dst, width);
    }
  }

  void read_quoted(uint8_t* dst, size_t width) {
    size_t stored = 0;
    for (;;) {
      stored += copy_run(reader_.quoted_stops_, dst + stored, width - stored);
      if (stored == width) return skip_quoted_rest();
      if (!fill(1)) return;
      uint8_t b = *p_;
      if (b == format_.quote) {
        if (!fill(2) || end_ - p_ < 2 || p_[1] != format_.quote) {
          ++p_;
          return;
        }
        p_ += 2;
        dst[stored++] = b;
        continue;
      }
      if (ends_quoted_value()) return;
      dst[stored++] = b;
      ++p_;
    }
  }

  // The part of an over-long quoted value beyond the field's width, through its closing
  // quote.
  void skip_quoted_rest() {
    for (;;) {
      skip_run(reader_.quoted_stops_);
      if (!fill(1)) return;
      if (*p_ == format_.quote) {
        ++p_;
        return;
      }
      if (ends_quoted_value()) return;
      ++p_;
    }
  }

  // A Ctrl-Z, or an end-of-record sequence when those are not data inside quotes; left in
  // place so that the skip after the value ends the record on it.
  bool ends_quoted_value() {
    if (format_.ctrl_z_is_eof && *p_ == kCtrlZ) return true;
    return !format_.end_of_record_in_quote && at(format_.end_of_record);
  }

  void read_unquoted(uint8_t* dst, size_t width) {
    size_t stored = 0;
    for (;;) {
      stored += copy_run(reader_.unquoted_stops_, dst + stored, width - stored);
      if (stored == width || !fill(1)) return;
      uint8_t b = *p_;
      if (at(format_.field_delimiter) || at(format_.end_of_record)) return;
      if (format_.ctrl_z_is_eof && b == kCtrlZ) return;
      dst[stored++] = b;
      ++p_;
    }
  }

  // Decimal text, an optional sign and digits, cut short at anything else; out-of-range
  // values saturate.
  static void store_number(const uint8_t* text, uint8_t* dst) {
    size_t i = 0;
    bool negative = false;
    if (text[i] == '-' || text[i] == '+') negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < kNumberTextWidth && text[i] >= '0' && text[i] <= '9'; ++i) {
      value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{1} << 31);
    }
    if (negative) value = -value;
    value = std::clamp<int64_t>(value, INT32_MIN, INT32_MAX);
    auto v = static_cast<uint32_t>(static_cast<int32_t>(value));
    for (int k = 0; k < 4; ++k) dst[k] = static_cast<uint8_t>(v >> (8 * k));
  }

  // Advances over bytes that are not stops.
  void skip_run(const RecordReader::StopTable& stops) {
    for (;;) {
      const uint8_t* p = p_;
      const uint8_t* end = end_;
      while (p < end && !stops[*p]) ++p;
      p_ = p;
      if (p < end || !fill(1)) return;
    }
  }

  // Copies bytes that are not stops to dst, at most room of them; returns how many.
  size_t copy_run(const RecordReader::StopTable& stops, uint8_t* dst, size_t room) {
    size_t copied = 0;
    for (;;) {
      const uint8_t* p = p_;
      const uint8_t* limit = p + std::min<size_t>(static_cast<size_t>(end_ - p), room - copied);
      while (p < limit && !stops[*p]) ++p;
      size_t n = static_cast<size_t>(p - p_);
      if (n != 0) std::memcpy(dst + copied, p_, n);
      copied += n;
      p_ = p;
      if (p < end_ || copied == room || !fill(1)) return copied;
    }
  }

  // True when seq begins at the current position.
  bool at(const std::string& seq) {
    if (static_cast<uint8_t>(seq[0]) != *p_) return false;
    size_t n = seq.size();
    if (n == 1) return true;
    if (static_cast<size_t>(end_ - p_) < n) fill(n);
    return static_cast<size_t>(end_ - p_) >= n && std::memcmp(p_, seq.data(), n) == 0;
  }

  // Makes at least min bytes available at the current position unless the file ends
  // sooner; false when not even one is. A failing source, or a file that shrinks under the
  // reader so that a byte already seen is gone, interrupts the whole read.
  bool fill(size_t min) {
    if (static_cast<size_t>(end_ - p_) >= min) return true;
    bool had_byte = p_ < end_;
    uint64_t here = offset();
    const uint8_t* data = nullptr;
    size_t len = 0;
    if (int rc = source_.window(here, min, &data, &len); rc != kNoError) throw Interrupted{rc};
    window_offset_ = here;
    window_ = p_ = data;
    end_ = data + len;
    if (had_byte && len == 0) throw Interrupted{kNoError};
    return len != 0;
  }

  const RecordReader& reader_;
  const TextFormat& format_;
  ByteSource& source_;
  uint64_t window_offset_;  // file offset of window_
  const uint8_t* window_ = nullptr;
  const uint8_t* p_ = nullptr;
  const uint8_t* end_ = nullptr;
};

int RecordReader::read(ByteSource& source, uint64_t start, const RecordLayout& layout,
                       std::span<uint8_t> record, uint64_t* length) const {
  *length = 0;
  layout.blank(record);
  RecordScan scan(*this, source, start);
  try {
    if (!scan.record_begins()) return kRecordNotAvailable;
    const auto& fields = layout.fields();
    bool complete = false;
    for (size_t i = 0; i < fields.size() && !complete; ++i) {
      complete = scan.read_field(fields[i].type, record.data() + fields[i].offset, fields[i].width);
      if (!complete && i + 1 < fields.size()) complete = scan.skip_past_delimiter();
    }
    if (!complete) scan.skip_past_end();
  } catch (const RecordScan::Interrupted& stop) {
    if (stop.code != kNoError) return stop.code;
  }
  *length = scan.offset() - start;
  return kNoError;
}

}  // namespace orvel::textfile
