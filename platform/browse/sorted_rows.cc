#include "platform/browse/sorted_rows.h"

#include <algorithm>
#include <cmath>

#include "datafile/byte_order.h"
#include "platform/error_codes.h"

namespace orvel::browse {
namespace {

// Records are fetched in batches of this many numbers.
constexpr size_t kBatch = 64;

}  // namespace

SortedRows::SortedRows(datafile::Table& table, std::unique_ptr<SortedNumbers> numbers, int key,
                       int locator_field)
    : table_(table), numbers_(std::move(numbers)), locator_(table, key, locator_field) {}

size_t SortedRows::index_of(const BrowseRecord& row) {
  return row.position.size() == 4 ? datafile::load_u32_be(row.position.data()) : 0;
}

int SortedRows::fetch(size_t index, uint32_t number, Rows* rows) {
  std::shared_ptr<datafile::TableState> saved = table_.save_state();
  int rc = table_.get_by_number(number);
  if (rc == kNoError) {
    BrowseRecord row;
    row.image.assign(table_.record(), table_.record() + table_.declaration().record_length);
    row.position.resize(4);
    datafile::store_u32_be(row.position.data(), static_cast<uint32_t>(index));
    row.number = number;
    rows->push_back(std::move(row));
  }
  table_.restore_state(*saved);
  // A record removed since the sort is passed over.
  return rc == kRecordNotFound ? kNoError : rc;
}

int SortedRows::read_forward(size_t index, size_t count, Rows* rows) {
  const size_t wanted = rows->size() + count;
  std::vector<uint32_t> batch;
  while (rows->size() < wanted && index < numbers_->size()) {
    batch.clear();
    if (int rc = numbers_->read(index, std::min(kBatch, wanted - rows->size()), &batch);
        rc != kNoError) {
      return rc;
    }
    for (uint32_t number : batch) {
      if (int rc = fetch(index++, number, rows); rc != kNoError) return rc;
    }
  }
  return kNoError;
}

int SortedRows::read_backward(size_t index, size_t count, Rows* rows) {
  Rows found;
  std::vector<uint32_t> batch;
  size_t end = index;  // rows before end
  while (found.size() < count && end > 0) {
    const size_t n = std::min({kBatch, count - found.size(), end});
    batch.clear();
    if (int rc = numbers_->read(end - n, n, &batch); rc != kNoError) return rc;
    Rows part;
    for (size_t i = 0; i < batch.size(); ++i) {
      if (int rc = fetch(end - n + i, batch[i], &part); rc != kNoError) return rc;
    }
    found.insert(found.begin(), std::make_move_iterator(part.begin()),
                 std::make_move_iterator(part.end()));
    end -= n;
  }
  // Passed-over records can make a batch read more than was asked; keep the nearest.
  if (found.size() > count) found.erase(found.begin(), found.end() - ptrdiff_t(count));
  rows->insert(rows->end(), std::make_move_iterator(found.begin()),
               std::make_move_iterator(found.end()));
  return kNoError;
}

int SortedRows::first(size_t count, Rows* rows) {
  return read_forward(0, count, rows);
}

int SortedRows::last(size_t count, Rows* rows) {
  return read_backward(numbers_->size(), count, rows);
}

int SortedRows::from(const BrowseRecord& row, size_t count, Rows* rows) {
  return read_forward(index_of(row), count, rows);
}

int SortedRows::after(const BrowseRecord& row, size_t count, Rows* rows) {
  return read_forward(index_of(row) + 1, count, rows);
}

int SortedRows::before(const BrowseRecord& row, size_t count, Rows* rows) {
  return read_backward(index_of(row), count, rows);
}

int SortedRows::locate(std::string_view text, size_t count, Rows* rows) {
  Rows found;
  if (int rc = locator_.locate(text, 1, &found); rc != kNoError) return rc;
  if (found.empty()) return kNoError;
  std::optional<size_t> index = numbers_->index_of(found.front().number);
  // Added after the sort: not in this order.
  if (!index) return kNoError;
  return read_forward(*index, count, rows);
}

int SortedRows::at_fraction(double fraction, size_t count, Rows* rows) {
  const size_t n = numbers_->size();
  const size_t top = n > count ? n - count : 0;
  const size_t index = size_t(std::lround(std::clamp(fraction, 0.0, 1.0) * double(top)));
  return read_forward(index, count, rows);
}

double SortedRows::fraction_of(const BrowseRecord& row) {
  const size_t n = numbers_->size();
  return n > 1 ? double(index_of(row)) / double(n - 1) : 0.0;
}

bool SortedRows::has_before(const BrowseRecord& row) {
  return index_of(row) > 0;
}

bool SortedRows::has_after(const BrowseRecord& row) {
  return index_of(row) + 1 < numbers_->size();
}

}  // namespace orvel::browse
