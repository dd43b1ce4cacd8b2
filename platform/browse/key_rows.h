// The rows of a table in the order of one of its keys, read page by page through the
// engine's positions: a page starts from the key position of a row it already has, so no
// row is read that the list does not show.
//
// The locator. Its text is upper-cased and cut to 40 characters and goes into the locator
// field (a component of the key); every other component takes the value that comes first in
// the key's order, so that the first entry not lower than the text is found.
//
// Fractions are estimates: the key value of a row is placed between the values of the
// first and the last entry of the key, as numbers formed from the first bytes in which
// those two differ. They grow with the key order, cost two reads, and need no count of the
// records in between, so the scroll thumb works the same on a million records as on ten.
//
// The table must be open and stay alive while the source is used.
#pragma once

#include <cstddef>

#include "platform/browse/row_source.h"

namespace orvel::browse {

inline constexpr size_t kLocatorWidth = 40;

class KeyRows final : public RowSource {
 public:
  // key: 0-based key number; locator_field: 0-based field number of a component of the key.
  KeyRows(datafile::Table& table, int key, int locator_field);

  int key() const { return key_; }

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
  // Runs body with the table's state saved before and restored after.
  template <typename Body>
  int keeping_table_state(Body body);
  int read(bool forward, size_t count, Rows* rows);
  // The key entries of the first and the last row, as position bytes; false when empty.
  bool ends(datafile::Position* first, datafile::Position* last);

  datafile::Table& table_;
  const int key_;
  const int locator_field_;
};

}  // namespace orvel::browse
