// What the next program finds in keyed data files after a crash or a failed operation, for
// the reliability tests: every record of each file and its number counter, read once by a
// reader (which sees a pending commit through its journal) and once by a writer (which
// resolves it), each time followed by the integrity check of `hvk check`. Journals of a
// transaction are judged by its control file, as the engine does; the id in a transaction
// marker is left out of the state, since it is the time of the commit.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "datafile/byte_order.h"
#include "datafile/corruption.h"
#include "datafile/data_file.h"
#include "datafile/table_check.h"
#include "datafile/tests/test_file.h"
#include "datafile/transaction.h"
#include "platform/mem_file_system.h"

namespace orvel::datafile::testing {

struct FileState {
  std::map<std::string, Contents> records;  // a missing or empty file has none
  std::map<std::string, uint32_t> issued;   // the last issued number of each file
  bool operator==(const FileState&) const = default;
};

// Whether no file of the state holds anything (missing or empty files).
inline bool holds_nothing(const FileState& state) {
  for (const auto& [name, records] : state.records) {
    if (!records.empty() || state.issued.at(name) != 0) return false;
  }
  return true;
}

// Whether two states hold the same tables with the same data records, whatever their key
// entries, counts and collation records: what a build may leave between its steps.
inline bool same_data(const FileState& a, const FileState& b) {
  auto data_of = [](const Contents& records) {
    Contents data;
    for (const auto& [key, value] : records) {
      bool table_record = key.size() >= 5 && key[0] <= 0xFD;
      if (!table_record || key[4] == 0xF3 || key[4] == 0xFA) data[key] = value;
    }
    return data;
  };
  if (a.records.size() != b.records.size()) return false;
  for (const auto& [name, records] : a.records) {
    auto other = b.records.find(name);
    if (other == b.records.end() || data_of(records) != data_of(other->second)) return false;
  }
  return true;
}

// For a failure message: per file, whether seen holds the old records, the new ones, or
// neither, and its counter.
inline std::string compared(const FileState& seen, const FileState& old_state,
                            const FileState& new_state) {
  std::string out;
  for (const auto& [name, records] : seen.records) {
    bool is_old = records == old_state.records.at(name);
    bool is_new = records == new_state.records.at(name);
    out += " " + name + (is_old && is_new ? " old=new" : is_old ? " old" : is_new ? " new" : " neither") +
           " (" + std::to_string(records.size()) + " records, issued " +
           std::to_string(seen.issued.at(name)) + "; old " +
           std::to_string(old_state.issued.at(name)) + ", new " +
           std::to_string(new_state.issued.at(name)) + ")";
  }
  return out;
}

// A copy of every file of a file system, all bytes durable.
using Snapshot = std::map<std::string, Bytes>;

inline Snapshot snapshot_of(platform::MemFileSystem& fs) {
  Snapshot s;
  for (const std::string& name : fs.file_names()) s[name] = fs.contents(name);
  return s;
}

inline void restore(platform::MemFileSystem& fs, const Snapshot& s) {
  for (const auto& [name, bytes] : s) fs.set_contents(name, bytes);
}

// Whether the header of a file's bytes announces a journal (data end differs from journal
// end).
inline bool journal_pending(const Bytes& file) {
  return file.size() >= 512 && load_u32_le(file.data() + 6) != load_u32_le(file.data() + 10);
}

// Reads the files of names on fs, as a writer or as a reader. Returns 0, or the first error
// of an open; every problem the check finds (or a corruption check while reading) is added
// to problems with the file's name.
inline int observe(platform::MemFileSystem& fs, const std::vector<std::string>& names,
                   bool as_writer, FileState* state, std::vector<std::string>* problems) {
  namespace om = platform::open_mode;
  const int mode = (as_writer ? om::kReadWrite : om::kReadOnly) | om::kDenyNone;
  *state = FileState();
  for (const std::string& name : names) {
    state->records[name];
    state->issued[name] = 0;
    std::unique_ptr<platform::File> handle;
    int rc = fs.open(name, mode, platform::Disposition::kOpenExisting, &handle);
    if (rc == kFileNotFound) continue;
    if (rc != kNoError) return rc;
    DataFileOptions options;
    options.transaction_decided = [&fs, name](const Record& marker) {
      return transaction_decided(fs, name, marker);
    };
    std::unique_ptr<DataFile> file;
    if (rc = DataFile::open(std::move(handle), mode, std::move(options), &file); rc != kNoError) {
      return rc;
    }
    try {
      Contents& records = state->records[name] = TestFile::contents_of(*file);
      // A transaction's id is the time it committed at; only its control file name counts.
      if (auto marker = records.find(Bytes{kTransactionMarkerKey}); marker != records.end()) {
        Bytes& data = marker->second;
        data.erase(data.begin(), data.begin() + std::min<size_t>(4, data.size()));
      }
      state->issued[name] = file->header().last_issued();
      // The check is of the file as it stands on disk, which a reader does not change: with
      // a journal pending it is the writer's turn, after recovery.
      if (as_writer || !journal_pending(fs.contents(name))) {
        for (const std::string& p : check_file(file.get())) problems->push_back(name + ": " + p);
      }
      if (as_writer && file->close() != kNoError) problems->push_back(name + ": close failed");
    } catch (const CorruptionError& e) {
      problems->push_back(name + ": corruption check " + std::to_string(e.check()));
    }
  }
  return kNoError;
}

// What every point of a reliability scenario must show once the files were read as a reader
// (as_reader, with its problems): a writer reads them alike, the check finds nothing, and
// they hold the old or the new state, or, for a scenario that commits in steps, the old
// data with some steps done; the new state when the operation (rc) had succeeded. Returns
// whether they hold the new state.
inline bool expect_old_or_new(platform::MemFileSystem& fs, const std::vector<std::string>& names,
                              bool in_steps, const FileState& old_state,
                              const FileState& new_state, const FileState& as_reader,
                              std::vector<std::string> problems, int rc,
                              const std::string& context) {
  FileState as_writer;
  EXPECT_EQ(observe(fs, names, true, &as_writer, &problems), kNoError)
      << context << ": does not open as a writer";
  EXPECT_TRUE(problems.empty()) << context << ":\n" << joined(problems);
  EXPECT_TRUE(as_reader == as_writer) << context << ": the reader and the writer disagree";
  const bool is_new = as_writer == new_state;
  const bool between = in_steps && same_data(as_writer, old_state);
  EXPECT_TRUE(is_new || as_writer == old_state || between)
      << context << ": neither the old nor the new state:"
      << compared(as_writer, old_state, new_state);
  if (rc == kNoError) {
    EXPECT_TRUE(is_new) << context << ": the operation had returned success";
  }
  return is_new;
}

}  // namespace orvel::datafile::testing
