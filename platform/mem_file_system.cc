#include "platform/mem_file_system.h"

#include <algorithm>
#include <random>

#include "platform/error_codes.h"

namespace orvel::platform {
namespace {

constexpr int kNotLocked = 158;
constexpr uint64_t kSector = 512;

void apply_write(std::vector<uint8_t>* bytes, uint64_t offset, const uint8_t* data, size_t len) {
  if (len == 0) return;
  if (bytes->size() < offset + len) bytes->resize(offset + len, 0);
  std::copy(data, data + len, bytes->begin() + static_cast<std::ptrdiff_t>(offset));
}

}  // namespace

// A file keeps only its current bytes; every change since the last flush remembers what it
// replaced, so that the durable bytes can be had back by undoing the changes in reverse.
// A flush just forgets the undo information.
struct MemFileSystem::Node {
  struct Change {
    bool truncate = false;
    uint64_t offset = 0;  // for a truncation the new length
    std::vector<uint8_t> data;
    // Undo: the length before, and the bytes overwritten (a write) or cut off (a truncation).
    uint64_t old_size = 0;
    std::vector<uint8_t> old_bytes;
  };
  struct Opener {
    uint64_t owner;
    bool reads, writes, denies_read, denies_write;
  };
  struct Lock {
    uint64_t owner, offset, len;
  };

  static void apply_to(std::vector<uint8_t>* bytes, const Change& change) {
    if (change.truncate) {
      bytes->resize(change.offset, 0);
    } else {
      apply_write(bytes, change.offset, change.data.data(), change.data.size());
    }
  }

  // Applies a change to the current bytes and remembers it as unflushed.
  void change(Change change) {
    change.old_size = current.size();
    uint64_t from = change.offset;
    uint64_t to = change.truncate ? current.size() : change.offset + change.data.size();
    if (from < current.size()) {
      to = std::min<uint64_t>(to, current.size());
      change.old_bytes.assign(current.begin() + static_cast<std::ptrdiff_t>(from),
                              current.begin() + static_cast<std::ptrdiff_t>(to));
    }
    apply_to(&current, change);
    unflushed.push_back(std::move(change));
  }

  // The bytes as of the last flush.
  std::vector<uint8_t> durable() const {
    std::vector<uint8_t> bytes = current;
    for (auto it = unflushed.rbegin(); it != unflushed.rend(); ++it) {
      if (it->truncate) bytes.resize(it->old_size, 0);
      apply_write(&bytes, it->offset, it->old_bytes.data(), it->old_bytes.size());
      bytes.resize(it->old_size, 0);
    }
    return bytes;
  }

  std::vector<uint8_t> current;
  std::vector<Change> unflushed;
  std::vector<Opener> openers;
  std::vector<Lock> locks;
};

class MemFile final : public File {
 public:
  MemFile(MemFileSystem* fs, std::shared_ptr<MemFileSystem::Node> node, uint64_t owner,
          uint64_t generation, bool readable, bool writable)
      : fs_(fs),
        node_(std::move(node)),
        owner_(owner),
        generation_(generation),
        readable_(readable),
        writable_(writable) {}

  ~MemFile() override {
    std::lock_guard<std::mutex> guard(fs_->mutex_);
    if (!alive()) return;
    auto& openers = node_->openers;
    openers.erase(std::remove_if(openers.begin(), openers.end(),
                                 [&](const auto& o) { return o.owner == owner_; }),
                  openers.end());
    auto& locks = node_->locks;
    locks.erase(std::remove_if(locks.begin(), locks.end(),
                               [&](const auto& l) { return l.owner == owner_; }),
                locks.end());
  }

  int read_at(uint64_t offset, void* buf, size_t len, size_t* got) override {
    std::lock_guard<std::mutex> guard(fs_->mutex_);
    *got = 0;
    if (!alive()) return kSystemInvalidHandle;
    if (!readable_) return kAccessDenied;
    bool ignored;
    if (int rc = fs_->fault_for(FileCall::kRead, &ignored); rc != 0) return rc;
    const auto& bytes = node_->current;
    if (offset >= bytes.size()) return kNoError;
    size_t n = static_cast<size_t>(std::min<uint64_t>(len, bytes.size() - offset));
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), n, static_cast<uint8_t*>(buf));
    *got = n;
    return kNoError;
  }

  int write_at(uint64_t offset, const void* buf, size_t len, size_t* written) override {
    std::lock_guard<std::mutex> guard(fs_->mutex_);
    *written = 0;
    if (!alive()) return kSystemInvalidHandle;
    if (!writable_) return kAccessDenied;
    bool short_write = false;
    if (int rc = fs_->fault_for(FileCall::kWrite, &short_write); rc != 0) return rc;
    if (!fs_->change_allowed()) return kSystemIoError;
    size_t n = short_write ? len / 2 : len;
    MemFileSystem::Node::Change change;
    change.offset = offset;
    change.data.assign(static_cast<const uint8_t*>(buf), static_cast<const uint8_t*>(buf) + n);
    node_->change(std::move(change));
    *written = n;
    return kNoError;
  }

  int flush() override {
    std::lock_guard<std::mutex> guard(fs_->mutex_);
    if (!alive()) return kSystemInvalidHandle;
    bool ignored;
    if (int rc = fs_->fault_for(FileCall::kFlush, &ignored); rc != 0) return rc;
    if (!fs_->change_allowed()) return kSystemIoError;
    node_->unflushed.clear();
    return kNoError;
  }

  int truncate(uint64_t size) override {
    std::lock_guard<std::mutex> guard(fs_->mutex_);
    if (!alive()) return kSystemInvalidHandle;
    if (!writable_) return kAccessDenied;
    bool ignored;
    if (int rc = fs_->fault_for(FileCall::kTruncate, &ignored); rc != 0) return rc;
    if (!fs_->change_allowed()) return kSystemIoError;
    MemFileSystem::Node::Change change;
    change.truncate = true;
    change.offset = size;
    node_->change(std::move(change));
    return kNoError;
  }

  int size(uint64_t* size) override {
    std::lock_guard<std::mutex> guard(fs_->mutex_);
    if (!alive()) return kSystemInvalidHandle;
    *size = node_->current.size();
    return kNoError;
  }

  int lock(uint64_t offset, uint64_t len) override {
    std::lock_guard<std::mutex> guard(fs_->mutex_);
    if (!alive()) return kSystemInvalidHandle;
    for (const auto& l : node_->locks) {
      if (offset < l.offset + l.len && l.offset < offset + len) return kSystemLockViolation;
    }
    node_->locks.push_back({owner_, offset, len});
    return kNoError;
  }

  int unlock(uint64_t offset, uint64_t len) override {
    std::lock_guard<std::mutex> guard(fs_->mutex_);
    if (!alive()) return kSystemInvalidHandle;
    auto& locks = node_->locks;
    for (auto it = locks.begin(); it != locks.end(); ++it) {
      if (it->owner == owner_ && it->offset == offset && it->len == len) {
        locks.erase(it);
        return kNoError;
      }
    }
    return kNotLocked;
  }

 private:
  bool alive() const { return generation_ == fs_->generation_; }

  MemFileSystem* fs_;
  std::shared_ptr<MemFileSystem::Node> node_;
  uint64_t owner_;
  uint64_t generation_;
  bool readable_;
  bool writable_;
};

MemFileSystem::MemFileSystem() = default;
MemFileSystem::~MemFileSystem() = default;

bool MemFileSystem::is_directory(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  return path.empty() || path == "." || directories_.count(path) != 0;
}

void MemFileSystem::add_directory(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  directories_.insert(path);
}

int MemFileSystem::open(const std::string& path, int mode, Disposition disposition,
                        std::unique_ptr<File>* file) {
  file->reset();
  if (path.empty()) return kInvalidFilename;
  auto slash = path.find_last_of('/');
  if (slash != std::string::npos && !is_directory(path.substr(0, slash))) return kPathNotFound;
  std::lock_guard<std::mutex> guard(mutex_);
  if (directories_.count(path)) return kAccessDenied;
  bool reads = open_mode::can_read(mode);
  bool writes = open_mode::can_write(mode);
  if (disposition != Disposition::kOpenExisting && !writes) return kAccessDenied;
  auto it = files_.find(path);
  if (it == files_.end() && disposition == Disposition::kOpenExisting) return kFileNotFound;
  if (it != files_.end() && disposition == Disposition::kCreateNew) return kAccessDenied;
  std::shared_ptr<Node> node = it == files_.end() ? std::make_shared<Node>() : it->second;
  int share = open_mode::sharing(mode);
  bool denies_read = share == open_mode::kDenyAll || share == open_mode::kDenyRead;
  bool denies_write = share == open_mode::kDenyAll || share == open_mode::kDenyWrite;
  for (const auto& o : node->openers) {
    if ((reads && o.denies_read) || (writes && o.denies_write) || (denies_read && o.reads) ||
        (denies_write && o.writes)) {
      return kAccessDenied;
    }
  }
  if (it == files_.end()) files_[path] = node;
  uint64_t owner = next_owner_++;
  node->openers.push_back({owner, reads, writes, denies_read, denies_write});
  auto opened = std::make_unique<MemFile>(this, node, owner, generation_, reads, writes);
  if (disposition == Disposition::kCreateTruncate && !node->current.empty()) {
    Node::Change change;
    change.truncate = true;
    node->change(std::move(change));
  }
  *file = std::move(opened);
  return kNoError;
}

int MemFileSystem::remove(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (path.empty()) return kInvalidFilename;
  if (files_.erase(path) == 0) return kFileNotFound;
  return kNoError;
}

bool MemFileSystem::exists(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  return files_.count(path) != 0;
}

std::vector<std::string> MemFileSystem::file_names() {
  std::lock_guard<std::mutex> guard(mutex_);
  std::vector<std::string> names;
  for (const auto& entry : files_) names.push_back(entry.first);
  return names;
}

std::vector<uint8_t> MemFileSystem::contents(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  auto it = files_.find(path);
  return it == files_.end() ? std::vector<uint8_t>() : it->second->current;
}

std::vector<uint8_t> MemFileSystem::durable_contents(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  auto it = files_.find(path);
  return it == files_.end() ? std::vector<uint8_t>() : it->second->durable();
}

void MemFileSystem::set_contents(const std::string& path, std::vector<uint8_t> bytes) {
  std::lock_guard<std::mutex> guard(mutex_);
  auto& node = files_[path];
  if (!node) node = std::make_shared<Node>();
  node->current = std::move(bytes);
  node->unflushed.clear();
}

void MemFileSystem::inject_fault(const Fault& fault) {
  std::lock_guard<std::mutex> guard(mutex_);
  faults_.push_back({fault, counts_[static_cast<int>(fault.call)]});
}

void MemFileSystem::clear_faults() {
  std::lock_guard<std::mutex> guard(mutex_);
  faults_.clear();
}

uint64_t MemFileSystem::call_count(FileCall call) {
  std::lock_guard<std::mutex> guard(mutex_);
  return counts_[static_cast<int>(call)];
}

uint64_t MemFileSystem::change_call_count() {
  std::lock_guard<std::mutex> guard(mutex_);
  return change_calls_;
}

size_t MemFileSystem::open_file_count() {
  std::lock_guard<std::mutex> guard(mutex_);
  size_t n = 0;
  for (const auto& [path, node] : files_) n += node->openers.size();
  return n;
}

size_t MemFileSystem::lock_count() {
  std::lock_guard<std::mutex> guard(mutex_);
  size_t n = 0;
  for (const auto& [path, node] : files_) n += node->locks.size();
  return n;
}

void MemFileSystem::cut_power_after(uint64_t change_calls) {
  std::lock_guard<std::mutex> guard(mutex_);
  power_cut_armed_ = true;
  power_cut_at_ = change_calls_ + change_calls;
}

bool MemFileSystem::power_is_cut() {
  std::lock_guard<std::mutex> guard(mutex_);
  return power_cut_armed_ && change_calls_ >= power_cut_at_;
}

int MemFileSystem::fault_for(FileCall call, bool* short_write) {
  *short_write = false;
  uint64_t count = ++counts_[static_cast<int>(call)];
  for (auto& f : faults_) {
    if (f.fault.call != call || f.spent) continue;
    uint64_t nth = count - f.base;
    bool hit = f.fault.persistent ? nth >= f.fault.nth : nth == f.fault.nth;
    if (!hit) continue;
    if (!f.fault.persistent) f.spent = true;
    if (f.fault.short_write && call == FileCall::kWrite) {
      *short_write = true;
      return kNoError;
    }
    return f.fault.error;
  }
  return kNoError;
}

bool MemFileSystem::change_allowed() {
  if (power_cut_armed_ && change_calls_ >= power_cut_at_) return false;
  ++change_calls_;
  return true;
}

void MemFileSystem::power_loss(uint64_t seed, PowerLossMode mode) {
  std::lock_guard<std::mutex> guard(mutex_);
  std::mt19937_64 rng(seed);
  for (auto& [path, node] : files_) {
    std::vector<uint8_t> durable = node->durable();
    std::vector<Node::Change> survivors;
    uint64_t length_reached = durable.size();
    for (auto& change : node->unflushed) {
      if (!change.truncate) {
        length_reached = std::max<uint64_t>(length_reached, change.offset + change.data.size());
      }
      if (mode == PowerLossMode::kDropUnflushed || mode == PowerLossMode::kGarbageExtended) {
        continue;
      }
      if (mode == PowerLossMode::kKeepUnflushed || mode == PowerLossMode::kReordered) {
        survivors.push_back(change);
        continue;
      }
      if (mode == PowerLossMode::kTornUnflushed) {
        if (change.truncate) {
          survivors.push_back(change);
          continue;
        }
        // Cut at one of the sector boundaries inside the write, or at its end.
        uint64_t end = change.offset + change.data.size();
        std::vector<uint64_t> cuts;
        for (uint64_t b = (change.offset / kSector + 1) * kSector; b < end; b += kSector) {
          cuts.push_back(b);
        }
        cuts.push_back(end);
        uint64_t cut = cuts[rng() % cuts.size()];
        Node::Change piece;
        piece.offset = change.offset;
        piece.data.assign(change.data.begin(),
                          change.data.begin() + static_cast<std::ptrdiff_t>(cut - change.offset));
        survivors.push_back(std::move(piece));
        continue;
      }
      if (change.truncate) {
        if (rng() % 2) survivors.push_back(change);
        continue;
      }
      switch (rng() % 4) {
        case 0:  // dropped
          break;
        case 1:  // written whole
          survivors.push_back(change);
          break;
        case 2: {  // torn: each 512-byte sector of the file independently
          uint64_t pos = change.offset;
          uint64_t end = change.offset + change.data.size();
          while (pos < end) {
            uint64_t sector_end = std::min(end, (pos / kSector + 1) * kSector);
            if (rng() % 2) {
              Node::Change piece;
              piece.offset = pos;
              piece.data.assign(
                  change.data.begin() + static_cast<std::ptrdiff_t>(pos - change.offset),
                  change.data.begin() + static_cast<std::ptrdiff_t>(sector_end - change.offset));
              survivors.push_back(std::move(piece));
            }
            pos = sector_end;
          }
          break;
        }
        default: {  // only the file's new length survived, over garbage
          uint64_t end = change.offset + change.data.size();
          if (end > durable.size()) {
            Node::Change garbage;
            garbage.offset = std::max<uint64_t>(change.offset, durable.size());
            garbage.data.resize(end - garbage.offset);
            for (auto& b : garbage.data) b = static_cast<uint8_t>(rng());
            survivors.push_back(std::move(garbage));
          }
          break;
        }
      }
    }
    if (mode == PowerLossMode::kRandom || mode == PowerLossMode::kReordered) {
      std::shuffle(survivors.begin(), survivors.end(), rng);
    }
    if (mode == PowerLossMode::kReordered) survivors.resize(rng() % (survivors.size() + 1));
    for (const auto& change : survivors) Node::apply_to(&durable, change);
    if (mode == PowerLossMode::kGarbageExtended && length_reached > durable.size()) {
      size_t from = durable.size();
      durable.resize(length_reached);
      for (size_t i = from; i < durable.size(); ++i) durable[i] = static_cast<uint8_t>(rng());
    }
    node->current = std::move(durable);
    node->unflushed.clear();
    node->openers.clear();
    node->locks.clear();
  }
  ++generation_;
  power_cut_armed_ = false;
  faults_.clear();
}

}  // namespace orvel::platform
