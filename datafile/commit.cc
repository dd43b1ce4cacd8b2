// The two-phase commit and the discarding of changes (the protocol is described in
// data_file.h).
#include <algorithm>

#include "datafile/byte_order.h"
#include "datafile/corruption.h"
#include "datafile/data_file.h"
#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

// Writes a run of consecutive items with few system calls: the bytes that reach the file,
// and their order, are those of one write per item. Holds at most about a mebibyte.
class GatheredWrite {
 public:
  GatheredWrite(FileIo& io, uint64_t offset) : io_(io), offset_(offset) {}

  void append(const uint8_t* item, size_t length) {
    if (!buffer_.empty() && buffer_.size() + length > kLimit) write_out();
    buffer_.insert(buffer_.end(), item, item + length);
  }
  // Where the next item goes.
  uint64_t end() const { return offset_ + buffer_.size(); }
  void write_out() {
    if (buffer_.empty()) return;
    io_.write(offset_, buffer_.data(), buffer_.size());
    offset_ += buffer_.size();
    buffer_.clear();
  }

 private:
  static constexpr size_t kLimit = size_t(1) << 20;
  FileIo& io_;
  uint64_t offset_;
  Bytes buffer_;
};

}  // namespace

int DataFile::commit() {
  int rc = commit_phase1();
  if (rc == kNoError) commit_phase2();
  return rc;
}

int DataFile::commit_phase1() {
  if (!changed_) return kNoError;

  // Shut readers out; remember the header and where its data ends.
  locks_->take_all_slots();
  all_slots_held_ = true;
  const FileHeader old_header = committed_header_;
  const uint32_t old_data_end = header_.computed_data_end();
  FileHeader stable_old = old_header;
  stable_old.set_data_end(old_data_end);
  stable_old.set_journal_end(old_data_end);

  io_.clear_pending_error();
  // A file without bytes gets a valid empty header first, so that pages written past it
  // never leave a file without a header after a loss of power.
  uint64_t file_size = 0;
  const bool was_empty = io_.size(&file_size) == kNoError && file_size == 0;
  if (was_empty) {
    io_.write(0, stable_old.bytes(), kFileHeaderSize);
    io_.flush();
  }
  // On failure the file returns to its old state: an empty file to no bytes, and an
  // announced journal is taken back.
  auto fail = [&](int error, bool announced) {
    io_.clear_pending_error();
    if (was_empty) {
      io_.truncate(0);
    } else if (announced) {
      io_.write(0, stable_old.bytes(), kFileHeaderSize);
    }
    io_.flush();
    discard_changes();
    return error;
  };

  // Every changed page gets its image and a slot of the image's class.
  place_changed_pages();

  // The journal starts past both the old and the new data.
  const uint32_t data_end = std::max(header_.computed_data_end(), old_data_end);
  header_.set_data_end(data_end);
  header_.set_journal_end(data_end);
  header_.set_change_counter(header_.change_counter() + 1);

  // Pages past the old data end go to their places; the others to the journal.
  GatheredWrite journal(io_, data_end);
  for (Page* page : cache_.changed_pages()) {
    if (!page->has_image) {
      page->image = build_page_image(page->contents);
      page->has_image = true;
    }
    stamp_page(page);
    uint64_t offset = page_offset(page->address);
    if (offset >= old_data_end) {
      io_.write(offset, page->image.bytes.data(), page->image.bytes.size());
      cache_.mark_written(page);
    } else {
      journal.append(page->image.bytes.data(), page->image.bytes.size());
    }
  }

  // The header copy ends the journal and records its final end.
  const uint64_t journal_end = journal.end() + kFileHeaderSize;
  header_.set_journal_end(uint32_t(journal_end));
  journal.append(header_.bytes(), kFileHeaderSize);
  journal.write_out();

  // The journal reaches the disk before the old header announces it.
  io_.flush();
  if (int error = io_.pending_error(); error != kNoError) return fail(error, false);
  FileHeader announced = old_header;
  announced.set_data_end(data_end);
  announced.set_journal_end(uint32_t(journal_end));
  io_.write(0, announced.bytes(), kFileHeaderSize);
  io_.flush();
  // The announcement may or may not be on disk: take it back, so that the file keeps its
  // old state as the error says.
  if (int error = io_.pending_error(); error != kNoError) return fail(error, true);
  journal_pending_ = true;
  return kNoError;
}

void DataFile::place_changed_pages() {
  Placement placement(&header_, this);
  // Slots of pages that left the tree, highest first, so that the page filling a slot is
  // never itself one that left.
  std::sort(released_.begin(), released_.end(), std::greater<int32_t>());
  for (int32_t address : released_) placement.free_slot(address, header_.size_class_of(address));
  released_.clear();

  // Placing one page may move others, which then keep their class; repeat until all fit.
  // Each page needs one placement at most; more rounds mean the regions are damaged.
  size_t rounds = 0;
  for (bool again = true; again;) {
    again = false;
    if (++rounds > cache_.changed_count() + 2) corruption_check(1735);
    for (Page* page : cache_.changed_pages()) {
      if (!page->has_image) {
        page->image = build_page_image(page->contents);
        page->has_image = true;
      }
      int size_class = page->image.size_class;
      int current = page->address < 0 ? 0 : header_.find_size_class(page->address);
      if (current != size_class) {
        placement.place(page->address, size_class);
        again = true;
      }
    }
  }
  placement.compact();
}

// Fills in the page's own offset and its children's addresses, which placement has fixed
// only now.
void DataFile::stamp_page(Page* page) {
  uint8_t* image = page->image.bytes.data();
  store_u32_le(image, uint32_t(page_offset(page->address)));
  if (page->contents.level > 0) {
    for (size_t k = 0; k < page->contents.children.size(); ++k) {
      store_u32_le(image + kPageHeaderSize + 4 * k, uint32_t(page->contents.children[k]));
    }
  }
}

void DataFile::commit_phase2() {
  if (!journal_pending_) return;
  journal_pending_ = false;
  io_.clear_pending_error();
  for (Page* page : cache_.changed_pages()) {
    io_.write(page_offset(page->address), page->image.bytes.data(), page->image.bytes.size());
    cache_.mark_written(page);
  }
  io_.write(0, header_.bytes(), kFileHeaderSize);
  if (io_.pending_error() == kNoError) {
    finish_header();
  }
  if (io_.pending_error() != kNoError) {
    // The journal on disk is complete and announced: the next refresh copies it again.
    header_valid_ = false;
    refreshed_ = false;
    drop_cached_pages();
  }
  forget_changes();
}

void DataFile::reset_journal() {
  if (journal_pending_) {
    // The header at offset 0 still describes the old state; finishing it ends the journal.
    io_.clear_pending_error();
    finish_header();
  }
  discard_changes();
}

void DataFile::finish_header() {
  io_.flush();
  uint8_t bytes[kFileHeaderSize];
  io_.read_full(0, bytes, kFileHeaderSize);
  FileHeader h = FileHeader::from_bytes(bytes);
  uint32_t data_end = h.computed_data_end();
  h.set_data_end(data_end);
  h.set_journal_end(data_end);
  h.set_change_counter(h.change_counter() + 1);
  io_.write(0, h.bytes(), kFileHeaderSize);
  io_.flush();
  take_header(h);
}

void DataFile::take_header(const FileHeader& h) {
  header_ = h;
  committed_header_ = h;
  header_valid_ = true;
}

// The state after a commit or a discard: nothing changed, no page waits for an address.
void DataFile::forget_changes() {
  // A commit or a discard may have changed any page; what was retained is no longer known
  // to match the file.
  retained_.clear();
  changed_ = false;
  released_.clear();
  next_negative_ = -1;
  journal_pending_ = false;
  if (all_slots_held_) {
    locks_->release_all_slots();
    all_slots_held_ = false;
  }
}

void DataFile::drop_cached_pages() {
  cache_.drop_all();
  retained_.clear();
}

void DataFile::discard_changes() {
  header_valid_ = false;
  refreshed_ = false;
  drop_cached_pages();
  journal_map_.clear();
  forget_changes();
  locks_->release_operation_lock();
}

}  // namespace orvel::datafile
