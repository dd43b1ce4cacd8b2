#include "datafile/record_tree.h"

#include "datafile/corruption.h"

namespace orvel::datafile {
namespace {

// A page of the tree whose child does not lie one level below it, or an inner page without
// separators: the tree cannot be descended.
constexpr int kBadTreeShape = 1403;

Record separator_for(KeyView key) {
  Record r;
  r.bytes.assign(key.begin(), key.end());
  r.key_length = uint16_t(key.size());
  return r;
}

uint16_t record_cost(const Record& r, uint8_t level) {
  return uint16_t(r.total_length() + 5 + (level > 0 ? 4 : 0));
}

}  // namespace

ptrdiff_t last_at_or_below(const PageContents& page, KeyView key) {
  const auto& r = page.records;
  size_t lo = 0, hi = r.size();
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    if (compare_keys(r[mid].key(), key) <= 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return ptrdiff_t(lo) - 1;
}

ptrdiff_t last_below(const PageContents& page, KeyView key) {
  const auto& r = page.records;
  size_t lo = 0, hi = r.size();
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    if (compare_keys(r[mid].key(), key) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return ptrdiff_t(lo) - 1;
}

uint16_t size_estimate_of(const PageContents& page) {
  size_t estimate = kPageHeaderSize;
  for (const auto& r : page.records) estimate += record_cost(r, page.level);
  return uint16_t(estimate);
}

bool needs_split(const PageContents& page) {
  uint16_t e = page.size_estimate;
  return e > kSplitAlways || (e > kSplitWhenCrowded && page.records.size() > kCrowdedRecords);
}

// Descends from the root to the page of the given level whose range holds key: in every
// inner page the child of the last separator <= key (the first one when all are greater).
int32_t RecordTree::descend(KeyView key, uint8_t level) {
  int32_t address = store_->root_address();
  Page* page = store_->load_page(address);
  if (page->contents.level < level) corruption_check(kBadTreeShape);
  while (page->contents.level > level) {
    const PageContents& c = page->contents;
    if (c.records.empty() || c.children.size() != c.records.size()) {
      corruption_check(kBadTreeShape);
    }
    ptrdiff_t i = last_at_or_below(c, key);
    address = c.children[size_t(i < 0 ? 0 : i)];
    uint8_t expected = uint8_t(c.level - 1);
    page = store_->load_page(address);
    if (page->contents.level != expected) corruption_check(kBadTreeShape);
  }
  return address;
}

const Record* RecordTree::find_equal_with_page(KeyView key, Page** page, size_t* index) {
  Page* leaf = store_->load_page(descend(key, 0));
  ptrdiff_t i = last_at_or_below(leaf->contents, key);
  if (i < 0 || compare_keys(leaf->contents.records[size_t(i)].key(), key) != 0) return nullptr;
  if (page) *page = leaf;
  if (index) *index = size_t(i);
  return &leaf->contents.records[size_t(i)];
}

const Record* RecordTree::find_equal(KeyView key) {
  return find_equal_with_page(key, nullptr, nullptr);
}

RecordTree::Found RecordTree::last_below_in(KeyView key) {
  int32_t address = store_->root_address();
  for (;;) {
    Page* page = store_->load_page(address);
    const PageContents& c = page->contents;
    ptrdiff_t i = last_below(c, key);
    if (i < 0) return {};
    if (c.level == 0) {
      if (c.records[size_t(i)].key().empty()) return {};  // the sentinel
      return {page, size_t(i)};
    }
    if (c.children.size() != c.records.size()) corruption_check(kBadTreeShape);
    uint8_t expected = uint8_t(c.level - 1);
    address = c.children[size_t(i)];
    if (store_->load_page(address)->contents.level != expected) corruption_check(kBadTreeShape);
  }
}

const Record* RecordTree::find_last_below(KeyView key) {
  Found f = last_below_in(key);
  return f.page ? &f.page->contents.records[f.index] : nullptr;
}

// The first record above key in the subtree at address: first the child whose range holds
// key, then the child after it, all of whose keys are greater. expected_level is -1 for the
// root.
RecordTree::Found RecordTree::first_above_in(int32_t address, KeyView key, int expected_level) {
  Page* page = store_->load_page(address);
  const PageContents& c = page->contents;
  if (expected_level >= 0 && c.level != expected_level) corruption_check(kBadTreeShape);
  ptrdiff_t i = last_at_or_below(c, key);
  if (c.level == 0) {
    if (size_t(i + 1) < c.records.size()) return {page, size_t(i + 1)};
    return {};
  }
  if (c.records.empty() || c.children.size() != c.records.size()) {
    corruption_check(kBadTreeShape);
  }
  size_t k = size_t(i < 0 ? 0 : i);
  int32_t child = c.children[k];
  bool has_next = k + 1 < c.records.size();
  int32_t next_child = has_next ? c.children[k + 1] : 0;
  int child_level = c.level - 1;
  Found f = first_above_in(child, key, child_level);
  if (f.page || !has_next) return f;
  return first_above_in(next_child, key, child_level);
}

const Record* RecordTree::find_first_above(KeyView key) {
  Found f = first_above_in(store_->root_address(), key, -1);
  return f.page ? &f.page->contents.records[f.index] : nullptr;
}

void RecordTree::insert(const Record& record) {
  if (!store_->held_for_writing()) corruption_check(1194);
  insert_at_level(record, 0, 0);
}

void RecordTree::insert_at_level(const Record& record, int32_t child, uint8_t level) {
  int32_t address = descend(record.key(), level);
  Page* page = store_->load_page(address);
  PageContents& c = page->contents;
  ptrdiff_t i = last_at_or_below(c, record.key());
  if (i >= 0 && compare_keys(c.records[size_t(i)].key(), record.key()) == 0) {
    corruption_check(706);
  }
  size_t at = size_t(i + 1);
  c.records.insert(c.records.begin() + ptrdiff_t(at), record);
  if (level > 0) c.children.insert(c.children.begin() + ptrdiff_t(at), child);
  c.size_estimate = uint16_t(c.size_estimate + record_cost(record, level));
  store_->mark_changed(page);
  split_if_needed(address);
}

void RecordTree::split_if_needed(int32_t address) {
  Page* page = store_->load_page(address);
  if (!needs_split(page->contents)) return;
  if (page->contents.records.size() <= 1) corruption_check(1364);

  if (address == store_->root_address()) {
    // The root keeps its address: its records move to a new child Q, which splits instead.
    Page* q = store_->new_page(page->contents.level);
    q->contents = std::move(page->contents);
    page->contents = PageContents{};
    page->contents.level = uint8_t(q->contents.level + 1);
    page->contents.size_estimate = kPageHeaderSize;
    Record separator = separator_for(q->contents.records.front().key());
    page->contents.size_estimate =
        uint16_t(page->contents.size_estimate + record_cost(separator, page->contents.level));
    page->contents.records.push_back(std::move(separator));
    page->contents.children.push_back(q->address);
    store_->mark_changed(page);
    store_->mark_changed(q);
    page = q;
    address = q->address;
  }

  // The records from the middle on move to R: the middle record joins the side with fewer
  // records, R on a tie.
  PageContents& p = page->contents;
  Page* r_page = store_->new_page(p.level);
  PageContents& r = r_page->contents;
  size_t middle = p.records.size() / 2;
  r.records.assign(std::make_move_iterator(p.records.begin() + ptrdiff_t(middle)),
                   std::make_move_iterator(p.records.end()));
  p.records.erase(p.records.begin() + ptrdiff_t(middle), p.records.end());
  if (p.level > 0) {
    r.children.assign(p.children.begin() + ptrdiff_t(middle), p.children.end());
    p.children.erase(p.children.begin() + ptrdiff_t(middle), p.children.end());
  }
  p.size_estimate = size_estimate_of(p);
  r.size_estimate = size_estimate_of(r);
  store_->mark_changed(page);
  store_->mark_changed(r_page);

  int32_t r_address = r_page->address;
  uint8_t level = p.level;
  insert_at_level(separator_for(r.records.front().key()), r_address, uint8_t(level + 1));
  split_if_needed(address);
  split_if_needed(r_address);
}

void RecordTree::remove_at(Page* page, size_t index) {
  PageContents& c = page->contents;
  c.size_estimate = uint16_t(c.size_estimate - record_cost(c.records[index], c.level));
  c.records.erase(c.records.begin() + ptrdiff_t(index));
  if (c.level > 0) c.children.erase(c.children.begin() + ptrdiff_t(index));
  store_->mark_changed(page);
}

// Removes the record, then walks up: a child that became empty leaves the tree together
// with its separator, and a child whose first key grew gets a separator with that key. Each
// parent is found by descending with the erased key, which keeps leading to it because the
// levels above are not touched before their turn.
void RecordTree::erase(KeyView key) {
  if (!store_->held_for_writing()) corruption_check(1203);
  int32_t child = descend(key, 0);
  Page* leaf = store_->load_page(child);
  ptrdiff_t i = last_at_or_below(leaf->contents, key);
  if (i < 0 || compare_keys(leaf->contents.records[size_t(i)].key(), key) != 0) {
    corruption_check(780);
  }
  remove_at(leaf, size_t(i));
  bool child_changed_first = i == 0;

  for (uint8_t level = 1; child_changed_first; ++level) {
    if (child == store_->root_address()) return;
    Page* child_page = store_->load_page(child);
    bool emptied = child_page->contents.records.empty();
    Bytes new_first;
    if (!emptied) {
      KeyView k = child_page->contents.records.front().key();
      new_first.assign(k.begin(), k.end());
    }
    int32_t address = descend(key, level);
    Page* page = store_->load_page(address);
    PageContents& c = page->contents;
    ptrdiff_t s = last_at_or_below(c, key);
    if (s < 0) s = 0;
    if (size_t(s) >= c.children.size() || c.children[size_t(s)] != child) {
      corruption_check(kBadTreeShape);
    }
    if (emptied) {
      store_->release_page(store_->cached_page(child));
      remove_at(page, size_t(s));
      child_changed_first = s == 0;
    } else if (compare_keys(KeyView(new_first.data(), new_first.size()),
                            c.records[size_t(s)].key()) > 0) {
      remove_at(page, size_t(s));
      insert_at_level(separator_for(KeyView(new_first.data(), new_first.size())), child, level);
      child_changed_first = s == 0;
    } else {
      child_changed_first = false;
    }
    child = address;
  }
}

bool RecordTree::overwrite(const Record& record) {
  if (!store_->held_for_writing()) corruption_check(1194);
  Page* page = nullptr;
  size_t index = 0;
  const Record* found = find_equal_with_page(record.key(), &page, &index);
  if (!found || found->bytes.size() != record.bytes.size() ||
      found->key_length != record.key_length) {
    return false;
  }
  page->contents.records[index].bytes = record.bytes;
  store_->mark_changed(page);
  return true;
}

const Record* RecordTree::place(TreePosition* position, Page* page, size_t index) {
  const Record& record = page->contents.records[index];
  position->key_.assign(record.key().begin(), record.key().end());
  position->page_address_ = page->address;
  position->page_serial_ = page->serial;
  position->index_ = index;
  position->on_page_ = true;
  return record.key().empty() ? nullptr : &record;
}

const Record* RecordTree::seek(TreePosition* position, KeyView key) {
  Page* page = nullptr;
  size_t index = 0;
  if (find_equal_with_page(key, &page, &index)) return place(position, page, index);
  position->key_.assign(key.begin(), key.end());
  position->on_page_ = false;
  return nullptr;
}

const Record* RecordTree::place_first_above(TreePosition* position, KeyView key) {
  Found f = first_above_in(store_->root_address(), key, -1);
  return f.page ? place(position, f.page, f.index) : nullptr;
}

const Record* RecordTree::place_last_below(TreePosition* position, KeyView key) {
  Found f = last_below_in(key);
  return f.page ? place(position, f.page, f.index) : nullptr;
}

// The page the position remembers, when it is still the same page. The refresh comes
// first: a commit of another program drops the cache, and with it the remembered page.
Page* RecordTree::remembered_page(TreePosition* position) {
  store_->root_address();
  if (!position->on_page_ || !store_->cached_page(position->page_address_)) return nullptr;
  Page* page = store_->load_page(position->page_address_);
  if (page->serial != position->page_serial_ || position->index_ >= page->contents.records.size()) {
    position->on_page_ = false;
    return nullptr;
  }
  return page;
}

const Record* RecordTree::current(TreePosition* position) {
  if (Page* page = remembered_page(position)) {
    const Record& r = page->contents.records[position->index_];
    return r.key().empty() ? nullptr : &r;
  }
  Bytes key = position->key_;
  return seek(position, KeyView(key.data(), key.size()));
}

const Record* RecordTree::next(TreePosition* position) {
  if (Page* page = remembered_page(position)) {
    if (position->index_ + 1 < page->contents.records.size()) {
      return place(position, page, position->index_ + 1);
    }
  }
  return place_first_above(position, position->key());
}

const Record* RecordTree::previous(TreePosition* position) {
  if (Page* page = remembered_page(position)) {
    if (position->index_ > 0) {
      if (page->contents.records[position->index_ - 1].key().empty()) return nullptr;
      return place(position, page, position->index_ - 1);
    }
  }
  return place_last_below(position, position->key());
}

std::optional<Record> TreeRecordStore::find_equal(KeyView key) {
  const Record* r = tree_->find_equal(key);
  return r ? std::optional<Record>(*r) : std::nullopt;
}

void TreeRecordStore::replace(const Record& record) {
  if (tree_->overwrite(record)) return;
  if (tree_->find_equal(record.key())) tree_->erase(record.key());
  tree_->insert(record);
}

std::optional<Record> TreeRecordStore::find_first_above(KeyView key) {
  const Record* r = tree_->find_first_above(key);
  return r ? std::optional<Record>(*r) : std::nullopt;
}

std::optional<Record> TreeRecordStore::find_last_below(KeyView key) {
  const Record* r = tree_->find_last_below(key);
  return r ? std::optional<Record>(*r) : std::nullopt;
}

}  // namespace orvel::datafile
