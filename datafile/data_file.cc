#include "datafile/data_file.h"

#include "datafile/byte_order.h"
#include "datafile/corruption.h"
#include "datafile/record_keys.h"
#include "platform/error_codes.h"

namespace orvel::datafile {

DataFile::DataFile(std::unique_ptr<platform::File> file, int mode, DataFileOptions options)
    : file_(std::move(file)),
      writable_(platform::open_mode::can_write(mode)),
      shared_with_writers_(platform::open_mode::sharing(mode) == platform::open_mode::kDenyNone),
      transaction_decided_(std::move(options.transaction_decided)),
      io_(file_.get()),
      tree_(this) {
  if (options.locks) {
    locks_ = options.locks;
  } else {
    own_locks_ = std::make_unique<SingleUserLocks>(writable_);
    locks_ = own_locks_.get();
  }
}

DataFile::~DataFile() = default;

int DataFile::open(std::unique_ptr<platform::File> file, int mode, DataFileOptions options,
                   std::unique_ptr<DataFile>* out) {
  out->reset();
  std::unique_ptr<DataFile> df(new DataFile(std::move(file), mode, std::move(options)));
  int rc = df->refresh_header();
  df->locks_->release_operation_lock();
  df->refreshed_ = false;
  if (rc != kNoError) return rc;
  *out = std::move(df);
  return kNoError;
}

uint32_t DataFile::issue_number() {
  if (refresh_header() != kNoError) corruption_check(1164);
  if (!locks_->held_for_writing()) corruption_check(1163);
  uint32_t n = header_.issue_number();
  changed_ = true;
  return n;
}

int DataFile::end_operation() {
  int rc = commit();
  locks_->release_operation_lock();
  refreshed_ = false;
  return rc;
}

void DataFile::switch_to_writing() {
  // A reader slot given up means the header was read under it; read it again under the
  // writer byte, since another writer may commit in between.
  if (locks_->switch_to_writing()) refreshed_ = false;
}

int DataFile::close() {
  int rc = commit();
  refreshed_ = false;
  if (writable_) locks_->switch_to_writing();
  if (refresh_header() != kNoError) corruption_check(1143);
  // Only a writer cuts, and never into a pending journal. A file that never got its first
  // commit stays empty rather than growing to the size of a header.
  uint64_t size = 0;
  uint64_t data_end = header_.computed_data_end();
  if (writable_ && locks_->held_for_writing() && header_.data_end() == header_.journal_end() &&
      io_.size(&size) == kNoError && size > data_end) {
    int t = io_.truncate(data_end);
    if (rc == kNoError) rc = t;
  }
  locks_->release_operation_lock();
  refreshed_ = false;
  return rc;
}

void DataFile::read_image(int32_t address, int size_class, Bytes* out) {
  uint64_t offset = page_offset(address);
  if (auto it = journal_map_.find(offset); it != journal_map_.end()) offset = it->second;
  out->resize(size_t(size_class) * kPageUnit);
  io_.read_full(offset, out->data(), out->size());
}

int32_t DataFile::root_address() {
  if (refresh_header() != kNoError) corruption_check(1013);
  if (header_.all_regions_empty() && !cache_.find(header_.root())) {
    // A file without pages: the tree starts as a root leaf holding only the sentinel.
    Page* root = new_page(0);
    root->contents.records.push_back(sentinel_record());
    root->contents.size_estimate = size_estimate_of(root->contents);
    header_.set_root(root->address);
  }
  return header_.root();
}

Page* DataFile::load_page(int32_t address) {
  cache_.trim(retaining() ? &retained_ : nullptr);
  Page* page = cache_.find(address);
  if (!page && retaining()) {
    PageContents kept;
    if (retained_.take(address, &kept)) {
      // The spare with the fewest record buffers: the kept contents replace them.
      std::unique_ptr<Page> loaded = cache_.page_for_loading(0);
      loaded->address = address;
      loaded->contents = std::move(kept);
      page = cache_.insert(std::move(loaded));
    }
  }
  if (!page) {
    if (address < 0) corruption_check(1735);
    int size_class = header_.size_class_of(address);
    read_image(address, size_class, &read_buffer_);
    // The record count of the image (offset 10) picks the spare page object to reuse.
    std::unique_ptr<Page> loaded = cache_.page_for_loading(load_u16_le(read_buffer_.data() + 10));
    loaded->address = address;
    load_page_image(read_buffer_.data(), read_buffer_.size(), size_class, &loaded->contents);
    page = cache_.insert(std::move(loaded));
  }
  cache_.touch(page);
  return page;
}

Page* DataFile::new_page(uint8_t level) {
  auto page = std::make_unique<Page>();
  page->address = next_negative_address();
  page->contents.level = level;
  page->changed = true;
  return cache_.insert(std::move(page));
}

void DataFile::mark_changed(Page* page) {
  cache_.mark_changed(page);
  page->has_image = false;
  changed_ = true;
}

void DataFile::release_page(Page* page) {
  if (page->address >= 0) released_.push_back(page->address);
  cache_.drop(page);
  changed_ = true;
}

void DataFile::change_keeping_image(Page* page) {
  if (page->changed) return;
  int size_class = header_.size_class_of(page->address);
  read_image(page->address, size_class, &page->image.bytes);
  page->image.size_class = size_class;
  page->has_image = true;
  cache_.mark_changed(page);
  changed_ = true;
}

// Moves a page and fixes the one reference to it: the header's root, or the child address
// in its parent, found by descending with the page's first key.
void DataFile::move_page(int32_t from, int32_t to) {
  if (from == to) return;
  Page* page = load_page(from);
  if (page->contents.records.empty()) corruption_check(1891);
  change_keeping_image(page);
  KeyView first = page->contents.records.front().key();
  Bytes key(first.begin(), first.end());
  uint8_t level = page->contents.level;
  if (from == header_.root()) {
    header_.set_root(to);
  } else {
    int32_t address = header_.root();
    int above = 256;  // the level of the page before, so that every step goes down
    for (;;) {
      Page* parent = load_page(address);
      const PageContents& c = parent->contents;
      if (c.level <= level || c.level >= above || c.records.empty() ||
          c.children.size() != c.records.size()) {
        corruption_check(1894);
      }
      above = c.level;
      ptrdiff_t i = last_at_or_below(c, KeyView(key.data(), key.size()));
      size_t k = size_t(i < 0 ? 0 : i);
      if (c.children[k] == from) {
        change_keeping_image(parent);
        parent->contents.children[k] = to;
        break;
      }
      address = c.children[k];
    }
  }
  if (Page* stale = cache_.find(to); stale && !stale->changed) cache_.drop(stale);
  cache_.rekey(cache_.find(from), to);
}

}  // namespace orvel::datafile
