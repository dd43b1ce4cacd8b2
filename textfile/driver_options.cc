#include "textfile/driver_options.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"

namespace orvel::textfile {
namespace {

enum class Option {
  kFileBuffers,
  kFieldDelimiter,
  kQuickScan,
  kQuote,
  kEndOfRecordInQuote,
  kEndOfRecord,
  kCtrlZIsEof,
  kComma,
  kAlwaysQuote,
};

// Tried in this order, so that a name that begins with another (ENDOFRECORDINQUOTE and
// ENDOFRECORD) is recognised first.
constexpr std::array<std::pair<std::string_view, Option>, 9> kOptions{{
    {"FILEBUFFERS", Option::kFileBuffers},
    {"FIELDDELIMITER", Option::kFieldDelimiter},
    {"QUICKSCAN", Option::kQuickScan},
    {"QUOTE", Option::kQuote},
    {"ENDOFRECORDINQUOTE", Option::kEndOfRecordInQuote},
    {"ENDOFRECORD", Option::kEndOfRecord},
    {"CTRLZISEOF", Option::kCtrlZIsEof},
    {"COMMA", Option::kComma},
    {"ALWAYSQUOTE", Option::kAlwaysQuote},
}};

bool is_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Leading decimal integer, as atoi reads it; 0 when there is none. Saturates.
int64_t leading_number(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min<int64_t>(value * 10 + (text[i] - '0'), INT32_MAX);
  }
  return negative ? -value : value;
}

// "n,c1,...,cn" as n bytes; nothing when n is not positive or codes are missing.
std::optional<std::string> byte_sequence(std::string_view value) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    size_t comma = value.find(',', start);
    parts.push_back(value.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  int64_t n = leading_number(parts[0]);
  if (n < 1 || static_cast<size_t>(n) > parts.size() - 1) return std::nullopt;
  std::string bytes;
  for (int64_t k = 1; k <= n; ++k) {
    bytes.push_back(static_cast<char>(static_cast<uint8_t>(leading_number(parts[k]))));
  }
  return bytes;
}

char code_byte(std::string_view value) {
  return static_cast<char>(static_cast<uint8_t>(leading_number(value)));
}

void apply(Option option, std::string_view value, const RecordLayout& layout, DriverSettings* s) {
  TextFormat& f = s->format;
  switch (option) {
    case Option::kFileBuffers: {
      int64_t n = std::max<int64_t>(leading_number(value), 0);
      auto wanted = static_cast<size_t>(std::min<int64_t>(n * 512, kMaxFileBufferSize));
      s->buffer_size = std::max(wanted, layout.size());
      break;
    }
    case Option::kFieldDelimiter:
      if (auto seq = byte_sequence(value)) f.field_delimiter = *seq;
      break;
    case Option::kQuickScan:
      if (value == "ON") s->file_buffer = true;
      if (value == "OFF") s->file_buffer = false;
      break;
    case Option::kQuote:
      f.quote = static_cast<uint8_t>(code_byte(value));
      break;
    case Option::kEndOfRecordInQuote:
      f.end_of_record_in_quote = value != "OFF";
      break;
    case Option::kEndOfRecord:
      if (auto seq = byte_sequence(value)) f.end_of_record = *seq;
      break;
    case Option::kCtrlZIsEof:
      f.ctrl_z_is_eof = value != "OFF";
      break;
    case Option::kComma:
      f.field_delimiter = std::string(1, code_byte(value));
      break;
    case Option::kAlwaysQuote:
      if (value == "ON") f.always_quote = true;
      if (value == "OFF") f.always_quote = false;
      break;
  }
}

}  // namespace

DriverSettings driver_settings(std::string_view options, int open_mode,
                               const RecordLayout& layout) {
  DriverSettings s;
  int share = open_mode & platform::open_mode::kShareMask;
  bool restricted = share == platform::open_mode::kDenyAll ||
                    share == platform::open_mode::kDenyWrite ||
                    share == platform::open_mode::kDenyRead;
  s.file_buffer = restricted;
  s.buffer_size = std::max<size_t>(restricted ? 1024 : 512, 2 * layout.largest_text_form());

  size_t first = options.find('/');
  if (first == std::string_view::npos) return s;
  std::string text;
  for (char c : options.substr(first)) {
    if (is_space(c)) continue;
    text.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
  }
  // text begins with "/": each piece after a "/" is one option.
  for (size_t start = 1; start <= text.size();) {
    size_t slash = text.find('/', start);
    std::string_view word(text.data() + start,
                          (slash == std::string::npos ? text.size() : slash) - start);
    start = slash == std::string::npos ? text.size() + 1 : slash + 1;
    size_t eq = word.find('=');
    if (eq == std::string_view::npos) continue;
    for (const auto& [name, option] : kOptions) {
      if (word.starts_with(name)) {
        apply(option, word.substr(eq + 1), layout, &s);
        break;
      }
    }
  }
  return s;
}

}  // namespace orvel::textfile
