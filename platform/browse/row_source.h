// Where the browse list takes its rows from: a source that hands out records of one table in
// the list's order, a few at a time, so that the list never holds more than it shows.
//
// A row carries the record image and an opaque position that only its own source reads,
// which leads back to that row for the next page. Every call appends up to count rows to
// *rows, in list order (top to bottom), and returns 0, or the engine's error that ended the
// reading early; the rows appended before the error stay. Reaching either end of the list is
// not an error: fewer rows come back.
//
// A source reads through the table the caller gave it and leaves the table's own state (its
// record buffer and reading position) as it found it. Not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "datafile/table.h"

namespace orvel::browse {

struct BrowseRecord {
  std::vector<uint8_t> image;   // the record, record_length bytes
  datafile::Position position;  // the row's place in its source's order
  uint32_t number = 0;          // the record number
};
using Rows = std::vector<BrowseRecord>;

class RowSource {
 public:
  virtual ~RowSource() = default;

  virtual int first(size_t count, Rows* rows) = 0;
  // The last count rows of the list, in list order.
  virtual int last(size_t count, Rows* rows) = 0;
  // The row itself, or the one after where it stood when it has gone, and the rows after.
  virtual int from(const BrowseRecord& row, size_t count, Rows* rows) = 0;
  virtual int after(const BrowseRecord& row, size_t count, Rows* rows) = 0;
  // The count rows before the row, in list order.
  virtual int before(const BrowseRecord& row, size_t count, Rows* rows) = 0;
  // Rows from the record the locator text finds (upper-cased, at most 40 characters); an
  // empty text finds the top.
  virtual int locate(std::string_view text, size_t count, Rows* rows) = 0;
  // Rows from about the given fraction of the list, 0 the top and 1 the end.
  virtual int at_fraction(double fraction, size_t count, Rows* rows) = 0;

  // About where the row stands in the list, 0 at the top and 1 at the end.
  virtual double fraction_of(const BrowseRecord& row) = 0;
  // Whether any row lies before or after the row; reads no record.
  virtual bool has_before(const BrowseRecord& row) = 0;
  virtual bool has_after(const BrowseRecord& row) = 0;
};

}  // namespace orvel::browse
