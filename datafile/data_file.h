// One open keyed data file: its header copy, page cache, record tree, commit and recovery.
//
// Changes to the tree collect in the page cache until a commit writes them. Every operation
// first refreshes the header (once per operation): another program's commit, seen by a
// higher change counter, drops the cache, and an interrupted commit is finished or
// discarded there. The commit is two-phase:
//
//   phase 1  take the all-slots lock; place every changed page in the region of its size
//            class and compact the regions; write the pages that lie at or above the old
//            data end in place, and append the others to the journal past the data end,
//            followed by a copy of the new header; flush; write the old header with data
//            end and journal end announcing the journal; flush.
//   phase 2  copy the journaled pages to their places; write the new header; flush; read
//            it back, end the journal (data end = journal end = data end of the regions),
//            raise the change counter; write; flush; release the all-slots lock.
//
// A loss of power at any moment leaves a file that opens in the old or the new state: until
// the old header announces the journal nothing that the old state uses was overwritten, and
// once it does, the journal is complete on disk and recovery copies it again.
//
// Pages the commit has written stay in the cache as unchanged pages: they hold what the
// file holds, and the next operation needs them again more often than not.
//
// Errors. A write that fails during phase 1 discards all changes and commit returns its
// error; the file keeps its old state. Damaged contents end the current call with
// CorruptionError (corruption.h); the caller's operation frame turns that into error 90.
// Besides the checks of the tree and of page images: 1013, 1143 and 1164 (the header
// refresh fails before the tree, a close or a new number), 1737 (the region table of a
// header read from the file is out of order, overlapping or unpacked), 1735 (an address in
// no region, also for placement that cannot settle), 1891 and 1894 (a page to move has no
// records, or its parent is not found).
//
// DataFile owns its File and its page cache; the FileLocks given in the options must outlive
// it. Not thread-safe: one thread at a time, as the engine's process-wide lock ensures.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "datafile/file_header.h"
#include "datafile/file_io.h"
#include "datafile/file_locks.h"
#include "datafile/page_cache.h"
#include "datafile/placement.h"
#include "datafile/record_tree.h"
#include "datafile/retained_pages.h"
#include "platform/file.h"

namespace orvel::datafile {

struct DataFileOptions {
  // The locks of the sharing layer; null for a file no other program shares (held for
  // writing exactly when opened for writing).
  FileLocks* locks = nullptr;
  // Asked when a complete journal is found in a file holding a transaction marker record
  // (key 0xFF): true to roll the journal forward, false to discard it. Unset: roll forward.
  std::function<bool(const Record& marker)> transaction_decided;
};

class DataFile final : public PageStore, private PageMover {
 public:
  // Opens over file, opened with the open mode mode (platform/file.h). Reads the header:
  // an empty file is a new file; 1 to 511 bytes or no magic "hLvK" fail with 36. A pending
  // journal is resolved as by refresh_header().
  static int open(std::unique_ptr<platform::File> file, int mode, DataFileOptions options,
                  std::unique_ptr<DataFile>* out);
  ~DataFile() override;
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  RecordTree& tree() { return tree_; }
  const FileHeader& header() const { return header_; }
  PageCache& cache() { return cache_; }
  FileIo& io() { return io_; }
  bool changed() const { return changed_; }
  // Pages trimmed from the page cache whose decoded contents are kept for a later load.
  size_t retained_page_count() const { return retained_.size(); }
  // True while a reader sees a pending commit through the journal.
  bool reading_through_journal() const { return !journal_map_.empty(); }

  // Issues the next table or record number. Corruption checks 1164 (the refresh fails), 1163
  // (not held for writing), 1173 (the counter is exhausted).
  uint32_t issue_number();

  // Brings the header up to date with the file (once per operation); returns 0, 36 when the
  // file is shorter than a header or lacks the magic, or the I/O error that stopped a writer
  // copying a pending journal (the next refresh tries again). A read the system fails is
  // corruption check 2277, also during recovery.
  int refresh_header();
  // Commits pending changes, releases the operation lock; the next access refreshes again.
  int end_operation();
  // Marks the file as changing it, before an operation's first access to the tree: the next
  // refresh then takes the writer byte of a shared file.
  void switch_to_writing();

  // Phase 1, then phase 2 when phase 1 succeeded; returns phase 1's result.
  int commit();
  // Returns 0 or the I/O error that made it discard the changes.
  int commit_phase1();
  void commit_phase2();
  // Undoes a phase 1 whose phase 2 has not run: ends the journal on disk without applying
  // it, so the file keeps its old state, and discards the changes.
  void reset_journal();
  // Forgets every change and the header in memory; the next access reads the file again.
  void discard_changes();
  // Commits, refreshes the header (corruption check 1143 when that fails) and cuts the file
  // at the data end; a file shared with writers is cut under the writer byte. Returns the
  // commit's result, else the truncation's.
  int close();

  // Reads the stored image of the page at address (size_class units) into out, through the
  // journal when a reader sees one. Corruption check 2172 when the file is too short.
  void read_image(int32_t address, int size_class, Bytes* out);

  // PageStore
  int32_t root_address() override;
  Page* load_page(int32_t address) override;
  Page* cached_page(int32_t address) override { return cache_.find(address); }
  Page* new_page(uint8_t level) override;
  void mark_changed(Page* page) override;
  void release_page(Page* page) override;
  // The operation lock that decides it is taken by the operation's first access, which may
  // be this question; a failed refresh shows at the access that follows.
  bool held_for_writing() override {
    refresh_header();
    return locks_->held_for_writing();
  }

 private:
  DataFile(std::unique_ptr<platform::File> file, int mode, DataFileOptions options);

  // PageMover
  void move_page(int32_t from, int32_t to) override;
  int32_t next_negative_address() override { return next_negative_--; }

  // A page that placement touches becomes changed with its stored image, so that it keeps
  // its size class.
  void change_keeping_image(Page* page);
  void place_changed_pages();
  void stamp_page(Page* page);
  void forget_changes();
  // Drops every page of the page cache and every retained page.
  void drop_cached_pages();
  // Retained pages hold the committed state: they serve only while nothing has changed and
  // no journal is read through.
  bool retaining() const { return !changed_ && journal_map_.empty(); }
  // Takes h as the header in memory and as the last committed one.
  void take_header(const FileHeader& h);
  // Phase 2's last step: flush, read the header, end the journal, raise the counter, write,
  // flush.
  void finish_header();
  // Returns 0, or the I/O error that stopped a writer copying a complete journal.
  int recover();
  // Whether the header in memory still describes the file whose header on disk is on_disk.
  bool still_current(const FileHeader& on_disk) const;
  bool decide_journal(const FileHeader& copy, const std::map<uint64_t, uint64_t>& map);
  // Drops the cache and the header in memory: the next access reads the file again.
  void forget_header();

  // Constant after construction.
  std::unique_ptr<platform::File> file_;
  bool writable_;
  bool shared_with_writers_;
  std::unique_ptr<FileLocks> own_locks_;
  FileLocks* locks_;
  std::function<bool(const Record&)> transaction_decided_;

  FileIo io_;
  FileHeader header_;
  // The header as the file last held it, without this object's uncommitted changes (issued
  // numbers, a new tree's root): what the old header of a commit must restore.
  FileHeader committed_header_;
  bool header_valid_ = false;
  bool refreshed_ = false;
  bool changed_ = false;
  PageCache cache_;
  RetainedPages retained_;
  RecordTree tree_;
  int32_t next_negative_ = -1;
  std::vector<int32_t> released_;  // placed pages emptied since the last commit
  // Destination offset -> journal offset, while a reader sees a pending journal.
  std::map<uint64_t, uint64_t> journal_map_;
  // The header on disk that announced the journal read through: while it stays, so does
  // the journal.
  struct {
    uint32_t change_counter = 0, data_end = 0, journal_end = 0;
  } journal_announcement_;
  Bytes read_buffer_;

  // Between the phases of a commit.
  bool all_slots_held_ = false;
  bool journal_pending_ = false;
};

}  // namespace orvel::datafile
