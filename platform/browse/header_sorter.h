// The column-header sorter of a browse list: header clicks (with Shift or Ctrl to extend
// the order) sort the list by its columns, the headers show the sort suffixes, and the list
// shows the sorted rows in place of its key order until the sort is cleared.
//
// Sorting reads every record of the table once and keeps only sort keys and record numbers
// (external_sort.h), with the wait cursor up meanwhile. The order ends with the components
// of the current order's key. Applying an order of the list clears the sort; nothing of it
// is kept between runs.
#pragma once

#include <QObject>

#include "platform/browse/external_sort.h"
#include "platform/browse/header_sort.h"

namespace orvel::browse {

class BrowseList;

class HeaderSorter : public QObject {
  Q_OBJECT

 public:
  explicit HeaderSorter(BrowseList* list, SortLimits limits = {});

  // A click on the header of column; extend as with Shift or Ctrl held.
  void click(int column, bool extend);
  // Back to the key order of the list's current order.
  void clear();
  const HeaderSort& sort() const { return sort_; }

 signals:
  void sort_error(int code);

 private:
  void resort();

  BrowseList* list_;
  SortLimits limits_;
  HeaderSort sort_;
};

}  // namespace orvel::browse
