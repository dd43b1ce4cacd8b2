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

void RetainedPages::forget(Order::iterator it) {
  bytes_ -= it->cost;
  it->contents = PageContents{};
  spare_slots_.push_back(by_address_.extract(it->address));
  spare_entries_.splice(spare_entries_.end(), order_, it);
}

void RetainedPages::keep(int32_t address, PageContents* contents) {
  if (auto it = by_address_.find(address); it != by_address_.end()) forget(it->second);
  size_t cost = cost_of(*contents);
  if (cost > budget_) return;
  PageContents let_go;
  while (bytes_ + cost > budget_) {
    let_go = std::move(order_.front().contents);
    forget(order_.begin());
  }
  if (spare_entries_.empty()) spare_entries_.emplace_back();
  order_.splice(order_.end(), spare_entries_, spare_entries_.begin());
  Order::iterator entry = std::prev(order_.end());
  entry->address = address;
  entry->cost = cost;
  entry->contents = std::move(*contents);
  *contents = std::move(let_go);
  if (spare_slots_.empty()) {
    by_address_.emplace(address, entry);
  } else {
    Index::node_type slot = std::move(spare_slots_.back());
    spare_slots_.pop_back();
    slot.key() = address;
    slot.mapped() = entry;
    by_address_.insert(std::move(slot));
  }
  bytes_ += cost;
}

bool RetainedPages::take(int32_t address, PageContents* out) {
  auto it = by_address_.find(address);
  if (it == by_address_.end()) return false;
  *out = std::move(it->second->contents);
  forget(it->second);
  return true;
}

void RetainedPages::clear() {
  order_.clear();
  by_address_.clear();
  spare_entries_.clear();
  spare_slots_.clear();
  bytes_ = 0;
}

}  // namespace orvel::datafile
