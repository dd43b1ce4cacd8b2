#include "platform/browse/header_sort.h"

#include <algorithm>

#include "platform/browse/field_values.h"

namespace orvel::browse {

void HeaderSort::click(int column, bool extend) {
  auto found = std::find_if(columns_.begin(), columns_.end(),
                            [&](const SortColumn& c) { return c.column == column; });
  if (extend) {
    if (found != columns_.end()) {
      found->descending = !found->descending;
    } else {
      columns_.push_back({column, false});
    }
    return;
  }
  if (columns_.size() == 1 && found != columns_.end()) {
    found->descending = !found->descending;
  } else {
    columns_ = {{column, false}};
  }
}

std::string HeaderSort::suffix(int column) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (columns_[i].column != column) continue;
    std::string mark = columns_[i].descending ? "-" : "+";
    if (columns_.size() > 1) mark += std::to_string(i + 1);
    return "[" + mark + "]";
  }
  return {};
}

std::vector<SortComponent> header_order(const HeaderSort& sort,
                                        const std::vector<ColumnFormat>& columns,
                                        const datafile::TableDecl& decl, int key) {
  std::vector<SortComponent> order;
  auto has_field = [&](uint16_t field) {
    return std::any_of(order.begin(), order.end(),
                       [&](const SortComponent& c) { return c.field == field; });
  };
  for (const SortColumn& c : sort.columns()) {
    if (c.column < 0 || size_t(c.column) >= columns.size()) continue;
    const uint16_t field = columns[size_t(c.column)].field;
    if (field >= decl.fields.size() || has_field(field)) continue;
    order.push_back({field, c.descending, is_text(decl.fields[field])});
  }
  if (key >= 0 && size_t(key) < decl.keys.size()) {
    const datafile::KeyDecl& k = decl.keys[size_t(key)];
    const bool no_case = (k.attributes & datafile::key_attr::kNoCase) != 0;
    for (const datafile::KeyComponent& component : k.components) {
      if (component.field >= decl.fields.size() || has_field(component.field)) continue;
      order.push_back({component.field, component.descending,
                       no_case && is_text(decl.fields[component.field])});
    }
  }
  return order;
}

}  // namespace orvel::browse
