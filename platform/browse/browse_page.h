// The page of a browse list: the rows that fit on the screen, the highlighted one, and the
// moves of the keyboard, the mouse wheel and the scroll thumb, each read from a row source.
//
// A page is always as full as the list allows: when a jump (a locator, the thumb) lands
// near the end, the rows before it fill the page from above. The highlighted row is an
// index into the page, -1 only when the list is empty. Each move returns 0 or the source's
// error; after an error the page keeps the rows it has, and what was read before the error.
//
// The thumb is where the page stands, 0 to kThumbRange: 0 at the top, kThumbRange when the
// last row is on the page, else the source's estimate for the top row.
//
// The source is not owned and may be replaced; the page then starts again at the top or at
// a locator. Not thread-safe.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/browse/row_source.h"

namespace orvel::browse {

inline constexpr int kThumbRange = 1000;

class BrowsePage {
 public:
  explicit BrowsePage(RowSource* source = nullptr) : source_(source) {}

  void set_source(RowSource* source);
  RowSource* source() const { return source_; }

  // The number of rows the screen shows, at least 1. A larger page reads rows to fill it; a
  // smaller one drops rows and keeps the highlighted row on it.
  int set_size(size_t rows);
  size_t size() const { return size_; }

  const Rows& rows() const { return rows_; }
  int selected() const { return selected_; }
  const BrowseRecord* selected_row() const;
  int thumb() const { return thumb_; }

  int home();
  int end();
  int line_down();
  int line_up();
  int page_down();
  int page_up();
  // Moves the page by lines rows (down when positive) and keeps the highlighted row where it
  // is while it stays on the page.
  int scroll(int lines);
  int locate(std::string_view text);
  // thumb: 0 to kThumbRange.
  int to_thumb(int thumb);
  // Reads the page again from its top row and keeps the highlighted record when it is
  // still on the page.
  int refresh();
  // Highlights row index, kept within the page.
  void select(int index);

 private:
  // The page from rows read by a jump: filled from above when short, index highlighted.
  int land(Rows rows, int rc, int index);
  void select_clamped(int index);
  void update_thumb();

  RowSource* source_;
  size_t size_ = 1;
  Rows rows_;
  int selected_ = -1;
  int thumb_ = 0;
};

}  // namespace orvel::browse
