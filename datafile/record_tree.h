// The record tree: one ordered B-tree of every record of a keyed data file.
//
// Leaves (level 0) hold the records; an inner page holds separators, each a copy of the
// key of the first record of its child's subtree (key only, no data) with the child's page
// address. The sentinel record (empty key, no data) is the first record of the tree and is
// never deleted, so every inner page on the left edge starts with the empty key and every
// descent finds a separator. Keys are unique in the whole tree.
//
// A page splits when its size estimate (13, plus total length + 5 per record, plus 4 per
// record on an inner page) exceeds 15094, or exceeds 4096 while it holds more than 20
// records. Pages are never merged; a page goes only when its last record is deleted. The
// root keeps its address: when it splits, its records move to a new child first.
//
// The tree reaches its pages through a PageStore (the open file with its page cache); it
// holds no page pointer across two page loads, since a load may drop unchanged pages.
// Record pointers it returns are valid until the next call on the tree or the file.
//
// Corruption checks: 706 (insert of a key already present), 780 (delete of a missing key),
// 1194 and 1203 (insert or delete while the file is not held for writing), 1364 (a page to
// split holds one record or fewer), 1403 (a child that is not one level below its parent, or
// an inner page without separators), and those of loading pages. Not thread-safe.
#pragma once

#include <cstdint>
#include <optional>

#include "datafile/page_cache.h"
#include "datafile/record.h"
#include "datafile/record_store.h"

namespace orvel::datafile {

inline constexpr uint16_t kSplitAlways = 15094;
inline constexpr uint16_t kSplitWhenCrowded = 4096;
inline constexpr size_t kCrowdedRecords = 20;

// What the tree needs of the open file.
class PageStore {
 public:
  virtual ~PageStore() = default;
  // The root's address, after refreshing the header; creates an empty tree (a root leaf
  // holding the sentinel) when the file has none.
  virtual int32_t root_address() = 0;
  // A lookup in the page cache, loading the page from the file when it is not there.
  virtual Page* load_page(int32_t address) = 0;
  // The page when it is in the cache, else null; not an access.
  virtual Page* cached_page(int32_t address) = 0;
  // A new empty changed page at the next negative address.
  virtual Page* new_page(uint8_t level) = 0;
  // Records that the page's records changed; marks the file changed.
  virtual void mark_changed(Page* page) = 0;
  // An emptied page leaves the tree: it is dropped and its slot freed by the next commit.
  virtual void release_page(Page* page) = 0;
  virtual bool held_for_writing() = 0;
};

// A reader's place in the tree: a copy of the key of its current record and, while the page
// is unchanged, the leaf and index that hold it. A changed, moved or dropped page is found
// again by key.
class TreePosition {
 public:
  KeyView key() const { return KeyView(key_.data(), key_.size()); }

 private:
  friend class RecordTree;
  Bytes key_;
  int32_t page_address_ = 0;
  uint64_t page_serial_ = 0;
  size_t index_ = 0;
  bool on_page_ = false;
};

class RecordTree {
 public:
  explicit RecordTree(PageStore* store) : store_(store) {}
  RecordTree(const RecordTree&) = delete;
  RecordTree& operator=(const RecordTree&) = delete;

  // The record with this key, or null.
  const Record* find_equal(KeyView key);
  // The same, with the leaf that holds it and the record's index there.
  const Record* find_equal_with_page(KeyView key, Page** page, size_t* index);
  // The greatest record with a key strictly below key; null when that is the sentinel.
  const Record* find_last_below(KeyView key);
  // The smallest record with a key strictly above key, or null.
  const Record* find_first_above(KeyView key);

  // Adds a record (706 when its key is present, 1194 when not held for writing) and splits
  // what overflows.
  void insert(const Record& record);
  // Removes the record with this key (780 when missing, 1203 when not held for writing);
  // pages left empty leave the tree.
  void erase(KeyView key);
  // Overwrites the record with record's key when both have the same total and key length,
  // which leaves every size estimate as it was; false, with nothing changed, otherwise.
  // 1194 when not held for writing.
  bool overwrite(const Record& record);

  // Positions. seek() places the position at key and returns the record there, or null
  // when no record has that key (the position keeps the key). current() finds the record
  // again. next() and previous() move to the neighbouring record and return it; at either
  // end they return null and leave the position unchanged. The sentinel reads as no record.
  // A step within a page the position remembers costs no descent; the header is refreshed
  // first all the same, so another program's commit is never missed.
  const Record* seek(TreePosition* position, KeyView key);
  // find_first_above and find_last_below that place the position on the record found; a
  // position is left as it was when nothing is found.
  const Record* place_first_above(TreePosition* position, KeyView key);
  const Record* place_last_below(TreePosition* position, KeyView key);
  const Record* current(TreePosition* position);
  const Record* next(TreePosition* position);
  const Record* previous(TreePosition* position);

 private:
  struct Found {
    Page* page = nullptr;
    size_t index = 0;
  };

  int32_t descend(KeyView key, uint8_t level);
  Found last_below_in(KeyView key);
  Found first_above_in(int32_t address, KeyView key, int expected_level);
  Page* remembered_page(TreePosition* position);
  void insert_at_level(const Record& record, int32_t child, uint8_t level);
  void split_if_needed(int32_t address);
  void remove_at(Page* page, size_t index);
  const Record* place(TreePosition* position, Page* page, size_t index);

  PageStore* store_;
};

// Index of the last record of page with a key <= key, or -1 when every key is greater.
ptrdiff_t last_at_or_below(const PageContents& page, KeyView key);
// Index of the last record with a key < key, or -1.
ptrdiff_t last_below(const PageContents& page, KeyView key);
// 13, plus every record's total length + 5, plus 4 per record on an inner page.
uint16_t size_estimate_of(const PageContents& page);
bool needs_split(const PageContents& page);

// A RecordStore over a record tree; results are copies.
class TreeRecordStore final : public RecordStore {
 public:
  explicit TreeRecordStore(RecordTree* tree) : tree_(tree) {}
  std::optional<Record> find_equal(KeyView key) override;
  std::optional<Record> find_first_above(KeyView key) override;
  std::optional<Record> find_last_below(KeyView key) override;
  void insert(const Record& record) override { tree_->insert(record); }
  void erase(KeyView key) override { tree_->erase(key); }
  void replace(const Record& record) override;

 private:
  RecordTree* tree_;
};

}  // namespace orvel::datafile
