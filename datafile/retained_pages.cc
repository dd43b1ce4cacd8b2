#include "datafile/retained_pages.h"

#include <utility>

namespace orvel::datafile {

size_t RetainedPages::cost_of(const PageContents& contents) {
  size_t cost = sizeof(Entry) + 2 * sizeof(void*) * 4 +  // list node and index slot
                contents.records.capacity() * sizeof(Record) +
                contents.children.capacity() * sizeof(int32_t);
  for (const Record& r : contents.records) cost += r.bytes.capacity();
  return cost;
}

void RetainedPages::erase(Order::iterator it) {
  bytes_ -= it->cost;
  by_address_.erase(it->address);
  order_.erase(it);
}

void RetainedPages::keep(int32_t address, PageContents&& contents) {
  if (auto it = by_address_.find(address); it != by_address_.end()) erase(it->second);
  size_t cost = cost_of(contents);
  if (cost > budget_) return;
  while (bytes_ + cost > budget_) erase(order_.begin());
  order_.push_back(Entry{address, cost, std::move(contents)});
  by_address_[address] = std::prev(order_.end());
  bytes_ += cost;
}

bool RetainedPages::take(int32_t address, PageContents* out) {
  auto it = by_address_.find(address);
  if (it == by_address_.end()) return false;
  Order::iterator entry = it->second;
  *out = std::move(entry->contents);
  bytes_ -= entry->cost;
  order_.erase(entry);
  by_address_.erase(it);
  return true;
}

void RetainedPages::clear() {
  order_.clear();
  by_address_.clear();
  bytes_ = 0;
}

}  // namespace orvel::datafile
