// Transactions over several keyed data files of one process: LOGOUT, COMMIT, ROLLBACK, and
// the decision that recovery takes for a journal a transaction left behind.
//
// LOGOUT adds a physical file to the process's transaction list: its operations stop
// committing and releasing their operation lock at their end, and it switches to writing,
// so it keeps its writer byte until the transaction ends. Each file names a transaction
// control file: the one named for the process by the TCF option, else "halvik.tcf" in the
// directory of the data file; the list keeps the distinct names (full paths, compared
// without regard to case), at most 100 (more is corruption check 2183).
//
// COMMIT of one changed file is that file's own commit. With several changed files it runs:
//   a. take a transaction id, the current time in seconds; in each control file (created
//      when missing, opened shared) insert a record whose key is the id (4 bytes,
//      little-endian) and commit it; an id that is already in any control file is raised by
//      1 and the round starts again;
//   b. in each changed file replace the transaction marker record (key 0xFF; data: the id
//      little-endian, the control file name or the placeholder "C:\hAlviK.TCF" for
//      "halvik.tcf beside this file", a zero byte) and run phase 1 of its commit. When one
//      fails, the files before it get their journals reset and the rest are skipped;
//   c. delete the id in each control file and commit it: this is the commit point;
//   d. close the control files;
//   e. when nothing failed, run phase 2 of every file.
// A failed commit leaves every file as before the transaction: the changes of all files are
// discarded. Both lists are empty afterwards, and every listed file has released its
// operation lock.
//
// Recovery. A complete journal in a file holding a marker is replayed when the marker's id
// is no longer in its control file (the transaction passed its commit point) and discarded
// while it is (it never did), or when the control file cannot be opened for another reason
// than an access denial, which is retried for a while.
//
// Callers hold the engine lock; the lists are the process's own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "datafile/record.h"
#include "datafile/shared_file.h"
#include "platform/file.h"

namespace orvel::datafile {

inline constexpr const char* kDefaultControlFile = "halvik.tcf";
inline constexpr const char* kControlFilePlaceholder = "C:\\hAlviK.TCF";
inline constexpr uint8_t kTransactionMarkerKey = 0xFF;

// The control file named for the whole process by the TCF option; empty when none is set.
std::string& process_control_file();

// Adds file to the transaction list (see above); returns 0.
int join_transaction(const std::shared_ptr<SharedFile>& file);
// True while the process has files in its transaction list.
bool transaction_open();
int commit_transaction();
// Discards the changes of every listed file and releases their locks.
int rollback_transaction();

// The decision for recovery: true to replay the journal of data_file, whose new state holds
// marker. A read of the control file that the system fails is corruption check 2277: no
// decision.
bool transaction_decided(platform::FileSystem& fs, const std::string& data_file,
                         const Record& marker);

// Points inside COMMIT where tests may cut a commit short.
enum class CommitStep {
  kPhase1Written,  // after step b: ids in the control files, every journal pending
  kCommitPoint,    // after step c: ids deleted, phase 2 not yet run
};
// Called at each step of a commit of several files; empty for none.
void set_commit_step_hook(std::function<void(CommitStep)> hook);

}  // namespace orvel::datafile
