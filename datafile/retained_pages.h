// The decoded contents of unchanged pages that the page cache has let go, kept so that a
// page needed again is neither read nor decoded again.
//
// The page cache keeps only a few dozen unchanged pages; a page it trims moves here, keyed
// by its address, and moves back when it is loaded again, so each page lives in one of the
// two at a time. The contents are good only while the file holds what they were decoded
// from: the owner clears everything when the header shows a commit (another program's or
// its own), when changes are discarded, and keeps nothing while it has uncommitted changes
// or reads through a journal. The memory held is bounded; the least recently kept pages go
// first. Not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

#include "datafile/page_image.h"

namespace orvel::datafile {

class RetainedPages {
 public:
  static constexpr size_t kDefaultBudget = size_t(64) << 20;

  explicit RetainedPages(size_t budget = kDefaultBudget) : budget_(budget) {}
  RetainedPages(const RetainedPages&) = delete;
  RetainedPages& operator=(const RetainedPages&) = delete;

  // Keeps the contents of the page at address, replacing any kept before. *contents is left
  // holding the record buffers of a page let go to make room, or nothing, so that the
  // caller can load another page into them instead of allocating anew; contents too large
  // for the budget stay where they are.
  void keep(int32_t address, PageContents* contents);
  // Moves the kept contents of the page at address into out and forgets them; false when
  // none are kept.
  bool take(int32_t address, PageContents* out);
  void clear();

  size_t size() const { return by_address_.size(); }
  size_t bytes() const { return bytes_; }

 private:
  struct Entry {
    int32_t address;
    size_t cost;
    PageContents contents;
  };
  using Order = std::list<Entry>;  // least recently kept first
  using Index = std::unordered_map<int32_t, Order::iterator>;

  static size_t cost_of(const PageContents& contents);
  // Forgets the entry; its list node and index slot wait in the spares for the next keep,
  // so that keeping and taking a page allocates nothing once the budget is reached.
  void forget(Order::iterator it);

  size_t budget_;
  size_t bytes_ = 0;
  Order order_;
  Index by_address_;
  Order spare_entries_;
  std::vector<Index::node_type> spare_slots_;
};

}  // namespace orvel::datafile
