// The rows of a table in an order sorted once (external_sort.h), read page by page by
// index into the sorted record numbers. A row's position is its index (4 bytes).
//
// The order is a snapshot: records added later are not in it, records removed since are
// passed over, and a changed record keeps its place. The locator stays the key's: it finds
// the record that the key's locator finds (key_rows.h) and shows it where it stands in the
// sorted order.
//
// The table must be open and stay alive while the source is used; its state is restored
// after every call.
#pragma once

#include <memory>

#include "platform/browse/external_sort.h"
#include "platform/browse/key_rows.h"
#include "platform/browse/row_source.h"

namespace orvel::browse {

class SortedRows final : public RowSource {
 public:
  SortedRows(datafile::Table& table, std::unique_ptr<SortedNumbers> numbers, int key,
             int locator_field);

  size_t size() const { return numbers_->size(); }

  int first(size_t count, Rows* rows) override;
  int last(size_t count, Rows* rows) override;
  int from(const BrowseRecord& row, size_t count, Rows* rows) override;
  int after(const BrowseRecord& row, size_t count, Rows* rows) override;
  int before(const BrowseRecord& row, size_t count, Rows* rows) override;
  int locate(std::string_view text, size_t count, Rows* rows) override;
  int at_fraction(double fraction, size_t count, Rows* rows) override;
  double fraction_of(const BrowseRecord& row) override;
  bool has_before(const BrowseRecord& row) override;
  bool has_after(const BrowseRecord& row) override;

 private:
  // Up to count rows from index on, forward, or backward from index (then in list order).
  int read_forward(size_t index, size_t count, Rows* rows);
  int read_backward(size_t index, size_t count, Rows* rows);
  // The row of the record at index, when the record is still there.
  int fetch(size_t index, uint32_t number, Rows* rows);
  static size_t index_of(const BrowseRecord& row);

  datafile::Table& table_;
  std::unique_ptr<SortedNumbers> numbers_;
  KeyRows locator_;
};

}  // namespace orvel::browse
