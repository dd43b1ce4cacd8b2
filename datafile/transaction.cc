#include "datafile/transaction.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <vector>

#include "datafile/byte_order.h"
#include "datafile/corruption.h"
#include "datafile/data_file.h"
#include "datafile/file_io.h"
#include "datafile/lock_regions.h"
#include "datafile/sharing_locks.h"
#include "platform/clock.h"
#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

namespace om = platform::open_mode;

constexpr size_t kMaxControlFiles = 100;
constexpr int kControlFileMode = om::kReadWrite | om::kDenyNone;
// How long recovery keeps trying a control file that denies access before it gives up.
constexpr uint32_t kAccessRetryMs = 10000;

struct TransactionList {
  std::vector<std::shared_ptr<SharedFile>> files;
  std::vector<std::string> control_files;
};

TransactionList& transaction_list() {
  static TransactionList list;
  return list;
}

std::function<void(CommitStep)>& commit_step_hook() {
  static std::function<void(CommitStep)> hook;
  return hook;
}

void reach(CommitStep step) {
  if (commit_step_hook()) commit_step_hook()(step);
}

std::string full_path(const std::string& name) {
  std::error_code ec;
  std::filesystem::path path = std::filesystem::absolute(name, ec);
  return ec ? name : path.lexically_normal().string();
}

bool equal_ignoring_case(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char c, char d) {
    return std::tolower(static_cast<unsigned char>(c)) ==
           std::tolower(static_cast<unsigned char>(d));
  });
}

bool same_file_name(const std::string& a, const std::string& b) {
  return equal_ignoring_case(full_path(a), full_path(b));
}

std::string control_file_beside(const std::string& data_file) {
  std::filesystem::path dir = std::filesystem::path(data_file).parent_path();
  return (dir / kDefaultControlFile).string();
}

Bytes id_key(uint32_t id) {
  Bytes key(4);
  store_u32_le(key.data(), id);
  return key;
}

KeyView view(const Bytes& bytes) {
  return KeyView(bytes.data(), bytes.size());
}

uint32_t current_seconds() {
  auto now = std::chrono::system_clock::now().time_since_epoch();
  return uint32_t(std::chrono::duration_cast<std::chrono::seconds>(now).count());
}

// The control files of one commit, open shared for the time of the commit.
class ControlFiles {
 public:
  ~ControlFiles() { close(); }

  int open(platform::FileSystem& fs, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      {
        std::unique_ptr<platform::File> created;
        if (int rc =
                fs.open(name, kControlFileMode, platform::Disposition::kOpenOrCreate, &created);
            rc != kNoError) {
          return rc;
        }
      }
      std::shared_ptr<SharedFile> file;
      if (int rc = SharedFile::acquire(fs, name, kControlFileMode, false, &file); rc != kNoError) {
        return rc;
      }
      files_.push_back(std::move(file));
    }
    return kNoError;
  }

  // Step a: inserts a fresh id in every control file; returns 0 and the id, or an error.
  int insert_new_id(uint32_t* id) {
    *id = current_seconds();
    for (size_t i = 0; i < files_.size();) {
      DataFile& data = files_[i]->data();
      data.switch_to_writing();
      Bytes key = id_key(*id);
      if (data.tree().find_equal(view(key))) {
        // Taken: try the next id from the first file again. Ids inserted already stay.
        data.end_operation();
        ++*id;
        i = 0;
        continue;
      }
      data.tree().insert(make_record(view(key), KeyView()));
      if (int rc = data.end_operation(); rc != kNoError) return rc;
      ++i;
    }
    return kNoError;
  }

  // Step c: the commit point.
  int delete_id(uint32_t id) {
    int result = kNoError;
    for (const auto& file : files_) {
      DataFile& data = file->data();
      data.switch_to_writing();
      Bytes key = id_key(id);
      if (data.tree().find_equal(view(key))) data.tree().erase(view(key));
      if (int rc = data.end_operation(); rc != kNoError && result == kNoError) result = rc;
    }
    return result;
  }

  void close() {
    for (const auto& file : files_) {
      try {
        file->data().close();
      } catch (const CorruptionError&) {
        file->data().discard_changes();
      }
    }
    files_.clear();
  }

 private:
  std::vector<std::shared_ptr<SharedFile>> files_;
};

Record marker_record(uint32_t id, const std::string& control_file) {
  Bytes data(4);
  store_u32_le(data.data(), id);
  data.insert(data.end(), control_file.begin(), control_file.end());
  data.push_back(0);
  const Bytes key{kTransactionMarkerKey};
  return make_record(view(key), view(data));
}

// Steps a to e for several changed files.
int commit_several(const std::vector<SharedFile*>& changed,
                   const std::vector<std::string>& control_names, const std::string& marker_name) {
  size_t written = 0;      // files whose phase 1 has run
  bool committed = false;  // past the commit point: the journals on disk must stay
  auto undo = [&] {
    for (size_t i = 0; i < changed.size(); ++i) {
      if (i < written) {
        changed[i]->data().reset_journal();
      } else {
        changed[i]->data().discard_changes();
      }
    }
  };
  try {
    ControlFiles controls;
    uint32_t id = 0;
    int rc = controls.open(changed.front()->file_system(), control_names);
    if (rc == kNoError) rc = controls.insert_new_id(&id);
    if (rc != kNoError) {
      undo();
      return rc;
    }
    const Bytes key{kTransactionMarkerKey};
    for (SharedFile* file : changed) {
      RecordTree& tree = file->data().tree();
      if (tree.find_equal(view(key))) tree.erase(view(key));
      tree.insert(marker_record(id, marker_name));
      rc = file->data().commit_phase1();
      if (rc != kNoError) break;
      ++written;
    }
    if (rc == kNoError) reach(CommitStep::kPhase1Written);
    // The ids go in every case: after a failure no journal names them any more.
    int deleted = controls.delete_id(id);
    if (rc == kNoError && deleted != kNoError) rc = deleted;
    if (rc != kNoError) {
      undo();
      return rc;
    }
    committed = true;
    reach(CommitStep::kCommitPoint);
    controls.close();
    for (SharedFile* file : changed) file->data().commit_phase2();
    return kNoError;
  } catch (const CorruptionError&) {
    if (committed) {
      // The transaction counts as committed: forget only what is in memory, and leave the
      // decided journals to the next refresh, which rolls them forward.
      for (SharedFile* file : changed) file->data().discard_changes();
    } else {
      undo();
    }
    throw;
  }
}

}  // namespace

std::string& process_control_file() {
  static std::string name;
  return name;
}

void set_commit_step_hook(std::function<void(CommitStep)> hook) {
  commit_step_hook() = std::move(hook);
}

int join_transaction(const std::shared_ptr<SharedFile>& file) {
  TransactionList& list = transaction_list();
  if (std::find(list.files.begin(), list.files.end(), file) == list.files.end()) {
    list.files.push_back(file);
  }
  file->set_in_transaction(true);
  if (process_control_file().empty()) {
    std::string name = control_file_beside(file->file_name());
    bool known = std::any_of(list.control_files.begin(), list.control_files.end(),
                             [&](const std::string& other) { return same_file_name(name, other); });
    if (!known) {
      if (list.control_files.size() >= kMaxControlFiles) corruption_check(2183);
      list.control_files.push_back(name);
    }
  }
  file->data().switch_to_writing();
  return kNoError;
}

bool transaction_open() {
  return !transaction_list().files.empty();
}

int commit_transaction() {
  TransactionList taken = std::move(transaction_list());
  transaction_list() = {};
  std::vector<SharedFile*> changed;
  for (const auto& file : taken.files) {
    file->set_in_transaction(false);
    if (file->data().changed()) changed.push_back(file.get());
  }
  int rc = kNoError;
  try {
    if (changed.size() == 1) {
      rc = changed.front()->data().commit();
    } else if (changed.size() > 1) {
      const std::string& tcf = process_control_file();
      std::vector<std::string> names = tcf.empty() ? taken.control_files : std::vector{tcf};
      rc = commit_several(changed, names, tcf.empty() ? kControlFilePlaceholder : tcf);
    }
  } catch (const CorruptionError&) {
    for (const auto& file : taken.files) file->data().discard_changes();
    throw;
  }
  // Every listed file ends its operation here, not only the one COMMIT was called for.
  for (const auto& file : taken.files) {
    if (int ended = file->data().end_operation(); ended != kNoError && rc == kNoError) rc = ended;
  }
  return rc;
}

int rollback_transaction() {
  TransactionList taken = std::move(transaction_list());
  transaction_list() = {};
  for (const auto& file : taken.files) {
    file->set_in_transaction(false);
    if (file->data().changed()) {
      file->data().discard_changes();
    } else {
      file->data().end_operation();
    }
    file->locks().release_all_slots();
  }
  return kNoError;
}

bool transaction_decided(platform::FileSystem& fs, const std::string& data_file,
                         const Record& marker) {
  KeyView data = marker.data();
  if (data.size() < 5) return false;
  uint32_t id = load_u32_le(data.data());
  KeyView rest = data.substr(4);
  std::string name(rest.begin(), std::find(rest.begin(), rest.end(), uint8_t(0)));
  if (equal_ignoring_case(name, kControlFilePlaceholder)) {
    name = control_file_beside(data_file);
  }
  const int mode = om::kReadOnly | om::kDenyNone;
  std::unique_ptr<platform::File> file;
  uint32_t started = platform::tick_count_ms();
  int rc;
  while ((rc = fs.open(name, mode, platform::Disposition::kOpenExisting, &file)) == kAccessDenied &&
         platform::tick_count_ms() - started < kAccessRetryMs) {
    platform::sleep_ms(1);
  }
  if (rc != kNoError) return false;
  SharingLocks locks(file.get(), mode, first_reader_slot());
  DataFileOptions options;
  options.locks = &locks;
  std::unique_ptr<DataFile> control;
  // A damaged control file cannot show that the commit point was passed.
  bool present = true;
  try {
    if (DataFile::open(std::move(file), mode, std::move(options), &control) != kNoError) {
      return false;
    }
    Bytes key = id_key(id);
    present = control->tree().find_equal(view(key)) != nullptr;
    control->end_operation();
  } catch (const CorruptionError& e) {
    // A read the system failed tells nothing: the decision waits for the next refresh.
    if (e.check() == kReadFailedCheck) throw;
    return false;  // the locks go with the handle
  }
  return !present;
}

}  // namespace orvel::datafile
