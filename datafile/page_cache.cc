#include "datafile/page_cache.h"

#include <atomic>

namespace orvel::datafile {

// Every page in the cache is in exactly one ring and in the address index; the rings own
// them.

uint64_t PageCache::next_serial() {
  static std::atomic<uint64_t> serials{0};
  return serials.fetch_add(1, std::memory_order_relaxed) + 1;
}

PageCache::PageCache() {
  for (Page* ring : {&unchanged_ring_, &changed_ring_}) {
    ring->ring_prev_ = ring;
    ring->ring_next_ = ring;
  }
}

PageCache::~PageCache() {
  drop_all();
}

void PageCache::unlink(Page* page) {
  page->ring_prev_->ring_next_ = page->ring_next_;
  page->ring_next_->ring_prev_ = page->ring_prev_;
  page->ring_prev_ = page->ring_next_ = nullptr;
}

void PageCache::link_before(Page* ring, Page* page) {
  page->ring_next_ = ring;
  page->ring_prev_ = ring->ring_prev_;
  ring->ring_prev_->ring_next_ = page;
  ring->ring_prev_ = page;
}

void PageCache::forget_address(Page* page) {
  auto it = by_address_.find(page->address);
  if (it != by_address_.end() && it->second == page) by_address_.erase(it);
}

Page* PageCache::find(int32_t address) const {
  auto it = by_address_.find(address);
  return it == by_address_.end() ? nullptr : it->second;
}

Page* PageCache::insert(std::unique_ptr<Page> owned) {
  Page* page = owned.release();
  page->created = clock_;
  page->last_access = clock_;
  page->serial = next_serial();
  by_address_[page->address] = page;
  if (page->changed) {
    link_before(&changed_ring_, page);
    ++changed_count_;
  } else {
    link_before(&unchanged_ring_, page);
    ++unchanged_count_;
  }
  return page;
}

void PageCache::touch(Page* page) {
  if (page->changed) return;
  unlink(page);
  link_before(&unchanged_ring_, page);
  page->last_access = ++clock_;
  ++page->access_count;
}

void PageCache::mark_changed(Page* page) {
  page->serial = next_serial();
  if (page->changed) return;
  unlink(page);
  --unchanged_count_;
  page->changed = true;
  link_before(&changed_ring_, page);
  ++changed_count_;
}

void PageCache::mark_written(Page* page) {
  if (!page->changed) return;
  unlink(page);
  --changed_count_;
  page->changed = false;
  page->has_image = false;
  page->image = PageImage{};
  link_before(&unchanged_ring_, page);
  ++unchanged_count_;
  page->last_access = ++clock_;
}

void PageCache::rekey(Page* page, int32_t address) {
  forget_address(page);
  page->address = address;
  page->serial = next_serial();
  by_address_[address] = page;
}

void PageCache::drop(Page* page) {
  forget_address(page);
  unlink(page);
  if (page->changed) {
    --changed_count_;
  } else {
    --unchanged_count_;
  }
  std::unique_ptr<Page> owned(page);
  if (spare_.size() < kSparePages) {
    std::vector<Record> records = std::move(page->contents.records);
    *page = Page{};
    page->contents.records = std::move(records);
    spare_.push_back(std::move(owned));
  }
}

std::unique_ptr<Page> PageCache::page_for_loading(size_t records) {
  if (spare_.empty()) return std::make_unique<Page>();
  // The spare whose record count is nearest: data pages and key pages hold records of very
  // different counts and sizes, and a page of the same kind fits without new buffers.
  auto distance = [records](const std::unique_ptr<Page>& p) {
    size_t n = p->contents.records.size();
    return n > records ? n - records : records - n;
  };
  auto best = spare_.begin();
  for (auto it = spare_.begin(); it != spare_.end(); ++it) {
    if (distance(*it) < distance(*best)) best = it;
  }
  std::unique_ptr<Page> page = std::move(*best);
  *best = std::move(spare_.back());
  spare_.pop_back();
  return page;
}

void PageCache::drop_all() {
  for (Page* ring : {&unchanged_ring_, &changed_ring_}) {
    while (ring->ring_next_ != ring) drop(ring->ring_next_);
  }
}

void PageCache::trim(RetainedPages* retained) {
  while (unchanged_count_ >= kMinUnchanged) {
    Page* lru = unchanged_ring_.ring_next_;
    uint64_t n = unchanged_count_;
    uint64_t idle = clock_ - lru->last_access;
    uint64_t age = clock_ - lru->created;
    if (n < kMaxUnchanged && idle < 4 * (age / n)) return;
    // What the retained pages let go in exchange serves the next load through the spares.
    if (retained) retained->keep(lru->address, &lru->contents);
    drop(lru);
  }
}

std::vector<Page*> PageCache::changed_pages() const {
  std::vector<Page*> pages;
  pages.reserve(changed_count_);
  for (Page* p = changed_ring_.ring_next_; p != &changed_ring_; p = p->ring_next_) {
    pages.push_back(p);
  }
  return pages;
}

}  // namespace orvel::datafile
