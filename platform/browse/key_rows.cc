#include "platform/browse/key_rows.h"

#include <algorithm>
#include <cmath>

#include "datafile/byte_order.h"
#include "platform/browse/field_values.h"
#include "platform/error_codes.h"

namespace orvel::browse {
namespace {

// A key position is the record number (4 bytes, big-endian) and then the encoded key value.
// In the key's order an entry sorts by its value first and its record number last, so the
// bytes to interpolate are the value followed by the number.
constexpr size_t kNumberBytes = 4;

datafile::Bytes order_bytes(const datafile::Position& position) {
  datafile::Bytes bytes(position.begin() + kNumberBytes, position.end());
  bytes.insert(bytes.end(), position.begin(), position.begin() + kNumberBytes);
  return bytes;
}

datafile::Position position_of(const datafile::Bytes& order) {
  datafile::Position position(order.end() - kNumberBytes, order.end());
  position.insert(position.end(), order.begin(), order.end() - kNumberBytes);
  return position;
}

size_t common_prefix(const datafile::Bytes& a, const datafile::Bytes& b) {
  size_t n = 0;
  while (n < a.size() && n < b.size() && a[n] == b[n]) ++n;
  return n;
}

// Eight bytes from offset as a big-endian number, bytes past the end counting as zero.
double number_at(const datafile::Bytes& bytes, size_t offset) {
  double value = 0;
  for (size_t i = 0; i < 8; ++i) {
    value = value * 256 + (offset + i < bytes.size() ? bytes[offset + i] : 0);
  }
  return value;
}

void store_number_at(double value, size_t offset, datafile::Bytes* bytes) {
  for (size_t i = 8; i-- > 0;) {
    const double digit = std::fmod(value, 256.0);
    if (offset + i < bytes->size()) (*bytes)[offset + i] = static_cast<uint8_t>(digit);
    value = std::floor(value / 256.0);
  }
}

}  // namespace

KeyRows::KeyRows(datafile::Table& table, int key, int locator_field)
    : table_(table), key_(key), locator_field_(locator_field) {}

template <typename Body>
int KeyRows::keeping_table_state(Body body) {
  std::shared_ptr<datafile::TableState> saved = table_.save_state();
  const int rc = body();
  // The caller's record may have gone meanwhile; its buffer comes back all the same.
  table_.restore_state(*saved);
  return rc;
}

int KeyRows::read(bool forward, size_t count, Rows* rows) {
  const size_t start = rows->size();
  int rc = kNoError;
  while (rows->size() - start < count) {
    rc = forward ? table_.next() : table_.previous();
    if (rc != kNoError) break;
    const uint8_t* image = table_.record();
    rows->push_back({std::vector<uint8_t>(image, image + table_.declaration().record_length),
                     table_.position(key_), table_.pointer()});
  }
  if (!forward) std::reverse(rows->begin() + static_cast<ptrdiff_t>(start), rows->end());
  return rc == kRecordNotAvailable ? kNoError : rc;
}

int KeyRows::first(size_t count, Rows* rows) {
  return keeping_table_state([&]() -> int {
    if (int rc = table_.set(key_); rc != kNoError) return rc;
    return read(true, count, rows);
  });
}

int KeyRows::last(size_t count, Rows* rows) {
  return keeping_table_state([&]() -> int {
    if (int rc = table_.set(key_); rc != kNoError) return rc;
    return read(false, count, rows);
  });
}

int KeyRows::from(const BrowseRecord& row, size_t count, Rows* rows) {
  return keeping_table_state([&]() -> int {
    if (int rc = table_.reset(row.position, key_); rc != kNoError) return rc;
    return read(true, count, rows);
  });
}

int KeyRows::after(const BrowseRecord& row, size_t count, Rows* rows) {
  return keeping_table_state([&]() -> int {
    // Reading on from a reset takes the row's own entry first, when it is still there.
    if (int rc = table_.reset(row.position, key_); rc != kNoError) return rc;
    Rows own;
    if (int rc = read(true, 1, &own); rc != kNoError || own.empty()) return rc;
    if (own.front().number != row.number || own.front().position != row.position) {
      rows->push_back(std::move(own.front()));
      if (count == 1) return kNoError;
      --count;
    }
    return read(true, count, rows);
  });
}

int KeyRows::before(const BrowseRecord& row, size_t count, Rows* rows) {
  return keeping_table_state([&]() -> int {
    if (int rc = table_.reset(row.position, key_); rc != kNoError) return rc;
    Rows own;
    if (int rc = read(false, 1, &own); rc != kNoError || own.empty()) return rc;
    Rows earlier;
    if (own.front().number != row.number || own.front().position != row.position) {
      earlier.push_back(std::move(own.front()));
      if (count == 1) {
        rows->push_back(std::move(earlier.front()));
        return kNoError;
      }
      --count;
    }
    Rows read_rows;
    const int rc = read(false, count, &read_rows);
    rows->insert(rows->end(), std::make_move_iterator(read_rows.begin()),
                 std::make_move_iterator(read_rows.end()));
    rows->insert(rows->end(), std::make_move_iterator(earlier.begin()),
                 std::make_move_iterator(earlier.end()));
    return rc;
  });
}

int KeyRows::locate(std::string_view text, size_t count, Rows* rows) {
  const std::string wanted = upper_case(text.substr(0, std::min(text.size(), kLocatorWidth)));
  if (trim_blanks(wanted).empty()) return first(count, rows);
  return keeping_table_state([&]() -> int {
    const datafile::TableDecl& decl = table_.declaration();
    if (key_ < 0 || size_t(key_) >= decl.keys.size()) return int(kInvalidRecordDeclaration);
    uint8_t* image = table_.record();
    for (const datafile::KeyComponent& component : decl.keys[size_t(key_)].components) {
      set_first_in_order(decl.fields[component.field], component.descending, image);
    }
    set_text(decl.fields[size_t(locator_field_)], wanted, image);
    if (int rc = table_.set_at(key_); rc != kNoError) return rc;
    return read(true, count, rows);
  });
}

bool KeyRows::ends(datafile::Position* first, datafile::Position* last) {
  Rows top, bottom;
  if (this->first(1, &top) != kNoError || top.empty()) return false;
  if (this->last(1, &bottom) != kNoError || bottom.empty()) return false;
  *first = top.front().position;
  *last = bottom.front().position;
  return true;
}

double KeyRows::fraction_of(const BrowseRecord& row) {
  datafile::Position top, bottom;
  if (!ends(&top, &bottom) || row.position.size() != top.size()) return 0;
  const datafile::Bytes lo = order_bytes(top), hi = order_bytes(bottom),
                        at = order_bytes(row.position);
  const size_t prefix = common_prefix(lo, hi);
  const double a = number_at(lo, prefix), b = number_at(hi, prefix);
  if (b <= a) return 0;
  // A row outside the two ends (the file changed meanwhile) stays inside the scale.
  const datafile::Bytes& clamped = at < lo ? lo : (hi < at ? hi : at);
  return std::clamp((number_at(clamped, prefix) - a) / (b - a), 0.0, 1.0);
}

int KeyRows::at_fraction(double fraction, size_t count, Rows* rows) {
  if (fraction <= 0) return first(count, rows);
  if (fraction >= 1) return last(count, rows);
  datafile::Position top, bottom;
  if (!ends(&top, &bottom)) return first(count, rows);
  const datafile::Bytes lo = order_bytes(top), hi = order_bytes(bottom);
  const size_t prefix = common_prefix(lo, hi);
  const double a = number_at(lo, prefix), b = number_at(hi, prefix);
  datafile::Bytes target(lo.size(), 0);
  std::copy(lo.begin(), lo.begin() + static_cast<ptrdiff_t>(prefix), target.begin());
  store_number_at(std::floor(a + (b - a) * fraction), prefix, &target);
  const size_t start = rows->size();
  const int rc = keeping_table_state([&]() -> int {
    if (int rc = table_.reset(position_of(target), key_); rc != kNoError) return rc;
    return read(true, count, rows);
  });
  if (rc == kNoError && rows->size() == start) return last(count, rows);
  return rc;
}

bool KeyRows::has_before(const BrowseRecord& row) {
  bool any = false;
  keeping_table_state([&]() -> int {
    if (int rc = table_.reset(row.position, key_); rc != kNoError) return rc;
    table_.skip(-1);  // onto the row's own entry
    any = !table_.bof();
    return int(kNoError);
  });
  return any;
}

bool KeyRows::has_after(const BrowseRecord& row) {
  bool any = false;
  keeping_table_state([&]() -> int {
    if (int rc = table_.reset(row.position, key_); rc != kNoError) return rc;
    table_.skip(1);
    any = !table_.eof();
    return int(kNoError);
  });
  return any;
}

}  // namespace orvel::browse
