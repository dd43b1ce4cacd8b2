#include "platform/browse/header_sorter.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>

#include "platform/browse/browse_list.h"
#include "platform/browse/browse_model.h"
#include "platform/browse/sorted_rows.h"
#include "platform/error_codes.h"

namespace orvel::browse {

HeaderSorter::HeaderSorter(BrowseList* list, SortLimits limits)
    : QObject(list), list_(list), limits_(limits) {
  list->model()->set_header_suffix([this](int column) { return sort_.suffix(column); });
  connect(list->view()->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
    const Qt::KeyboardModifiers held = QApplication::keyboardModifiers();
    click(column, held & (Qt::ShiftModifier | Qt::ControlModifier));
  });
  connect(list, &BrowseList::order_applied, this, [this] {
    sort_.clear();
    list_->model()->headers_changed();
  });
}

void HeaderSorter::click(int column, bool extend) {
  sort_.click(column, extend);
  resort();
}

void HeaderSorter::clear() {
  sort_.clear();
  resort();
}

void HeaderSorter::resort() {
  list_->model()->headers_changed();
  if (list_->table() == nullptr || list_->order() == 0) return;
  if (sort_.empty()) {
    if (list_->is_sorted()) list_->set_sorted_rows(nullptr);
    return;
  }
  datafile::Table& table = *list_->table();
  const std::vector<SortComponent> order =
      header_order(sort_, list_->columns(), table.declaration(), list_->order_key());
  std::unique_ptr<SortedNumbers> numbers;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const int rc = sort_table(table, order, &numbers, limits_);
  QApplication::restoreOverrideCursor();
  if (rc != kNoError) {
    // The list stays as it was; the marks go, so that they do not claim an order not shown.
    sort_.clear();
    list_->model()->headers_changed();
    if (list_->is_sorted()) list_->set_sorted_rows(nullptr);
    emit sort_error(rc);
    return;
  }
  list_->set_sorted_rows(std::make_unique<SortedRows>(table, std::move(numbers), list_->order_key(),
                                                      list_->order_locator_field()));
}

}  // namespace orvel::browse
