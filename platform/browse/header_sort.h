// The column-header sort of a browse list, without the toolkit: which columns the operator
// has clicked, in which direction, and the sort order they make.
//
// A click on a header sorts by that column alone, ascending; a further click on the same
// header (when it is the only one) reverses it. A click with Shift or Ctrl held (extend)
// adds the column to the order, or reverses it when it is in the order already. Clearing
// returns the list to its key order.
//
// Each sorted column shows a suffix in its header: a direction mark "+" (ascending) or "-"
// (descending), and its place in the order when more than one column takes part:
// "Номер [+]", or "Дата [-1]" and "ФИО [+2]".
#pragma once

#include <string>
#include <vector>

#include "platform/browse/column_format.h"
#include "platform/browse/external_sort.h"

namespace orvel::browse {

struct SortColumn {
  int column = 0;  // index into the list's column formats
  bool descending = false;
};

class HeaderSort {
 public:
  void click(int column, bool extend);
  void clear() { columns_.clear(); }
  bool empty() const { return columns_.empty(); }
  const std::vector<SortColumn>& columns() const { return columns_; }

  // The suffix of a column's header ("[+]", "[-2]"), empty when the column is not sorted.
  std::string suffix(int column) const;

 private:
  std::vector<SortColumn> columns_;
};

// The order the header sort stands for: the fields of the sorted columns, text compared
// upper-cased, then the components of the key (0-based key number) whose fields are not in
// it yet, text upper-cased when the key ignores case. Columns whose field the declaration
// lacks are left out.
std::vector<SortComponent> header_order(const HeaderSort& sort,
                                        const std::vector<ColumnFormat>& columns,
                                        const datafile::TableDecl& decl, int key);

}  // namespace orvel::browse
