// The page cache of one open keyed data file: the decoded pages of the record tree in
// memory, found by page address.
//
// A hash table finds a page by address; it grows with the cache, so that a transaction or a
// key build that holds many thousand changed pages still finds each one at once. Unchanged pages sit in a ring ordered
// by last access; changed pages sit in a second ring in the order they were changed and are
// never dropped until a commit writes them or the changes are discarded. A page the commit
// has written holds exactly what the file holds, so it stays as an unchanged page. An access clock
// advances at every access to an unchanged page; trim() uses it to keep between 20 and 99
// unchanged pages: it drops the least recently used one while 100 or more are kept, and
// between 20 and 99 while that page has gone unused for at least four times the average age
// of the unchanged pages. A trim may hand the contents of the pages it drops to a
// RetainedPages, which keeps them for a later load.
//
// Every page carries a serial number that changes whenever its records change, it moves, or
// it is dropped and loaded again, so that positions can tell whether the page they remember
// is still the one they saw. Serials are unique in the whole process, so that a position
// kept across a reopen of its file never takes a page of the new cache for the one it saw.
//
// The cache owns its pages; a Page* stays valid until the page is dropped. Changed pages
// are never dropped by trim(), so pointers to them survive lookups; a pointer to an
// unchanged page is only good until the next lookup. Not thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "datafile/page_image.h"
#include "datafile/retained_pages.h"

namespace orvel::datafile {

struct Page {
  int32_t address = 0;  // negative until a commit places the page
  PageContents contents;
  bool changed = false;
  bool has_image = false;  // image holds the image built for writing
  PageImage image;
  uint64_t serial = 0;
  uint64_t created = 0;      // clock when the page entered the cache
  uint64_t last_access = 0;  // clock at its last access
  uint64_t access_count = 0;

 private:
  friend class PageCache;
  Page* ring_prev_ = nullptr;
  Page* ring_next_ = nullptr;
};

class PageCache {
 public:
  static constexpr size_t kMinUnchanged = 20;
  static constexpr size_t kMaxUnchanged = 100;

  PageCache();
  ~PageCache();
  PageCache(const PageCache&) = delete;
  PageCache& operator=(const PageCache&) = delete;

  // The page at address, or null; does not count as an access.
  Page* find(int32_t address) const;
  // Adds a page that is not in the cache, unchanged (or changed when page->changed is set),
  // with the current clock as its creation stamp.
  Page* insert(std::unique_ptr<Page> page);
  // An access: an unchanged page moves to the most recent end of its ring, the clock
  // advances and becomes its last-access stamp, and its access count grows.
  void touch(Page* page);
  // Moves an unchanged page to the ring of changed pages; gives it a new serial either way.
  void mark_changed(Page* page);
  // A changed page that has been written: it joins the unchanged pages as the most recently
  // used one.
  void mark_written(Page* page);
  // Gives the page a new serial (its records changed, or positions must find it again).
  void renew_serial(Page* page) { page->serial = next_serial(); }
  // Gives a page a new address (its serial changes too).
  void rekey(Page* page, int32_t address);
  void drop(Page* page);
  void drop_all();
  // A page object to load a page of that many records into: a dropped one when there is
  // one, so that its record buffers serve again, else a new one. Its records are leftovers
  // for the load to overwrite; everything else is as in a new Page.
  std::unique_ptr<Page> page_for_loading(size_t records);
  // Drops least recently used unchanged pages by the rule above; their contents move to
  // retained when it is given.
  void trim(RetainedPages* retained = nullptr);

  // The changed pages in the order they were changed.
  std::vector<Page*> changed_pages() const;
  size_t unchanged_count() const { return unchanged_count_; }
  size_t changed_count() const { return changed_count_; }
  uint64_t clock() const { return clock_; }

 private:
  static uint64_t next_serial();
  static void unlink(Page* page);
  static void link_before(Page* ring, Page* page);  // appends at the most recent end
  // Removes the page's address from the index when the index names this page for it.
  void forget_address(Page* page);

  static constexpr size_t kSparePages = 16;

  std::unordered_map<int32_t, Page*> by_address_;
  std::vector<std::unique_ptr<Page>> spare_;  // dropped pages kept for page_for_loading()
  Page unchanged_ring_;  // sentinel: next is least recently used
  Page changed_ring_;
  size_t unchanged_count_ = 0;
  size_t changed_count_ = 0;
  uint64_t clock_ = 0;
};

}  // namespace orvel::datafile
