// An in-memory FileSystem for tests: files, byte-range locks and sharing behave as the real
// ones do, and a test can inject faults and simulate a loss of power.
//
// Files. Every file keeps its durable bytes (what survived the last flush) and a log of the
// writes and truncations made since. Reads see the durable bytes with the log applied, as
// an operating system's cache would show them. flush() of any File of a file makes the whole
// log durable.
//
// Locks and sharing. Locks are exclusive and conflict between File objects, also within one
// process; a File must not lock a byte it holds (kSystemLockViolation) and unlocks exactly
// what it locked (158 otherwise). The sharing of open modes is checked as on the real file
// system: reading conflicts with an earlier open denying reads, writing with one denying
// writes, and denying with an earlier open that reads or writes. remove() unlinks the name;
// open Files keep their bytes.
//
// Faults. inject_fault() makes the n-th read, write, flush or truncate (counted over the whole
// file system from the moment of injection) fail once or from then on with a chosen error,
// or makes a write short: it stores a prefix and reports success with fewer bytes written.
// cut_power_after(n) lets n more writes, flushes and truncations through; every later one
// fails with kSystemIoError and has no effect, as if the machine had died at that moment.
//
// Power loss. power_loss(seed) decides, for every write and truncation not yet flushed, what
// reached the disk: nothing, all of it, some of its 512-byte sectors (torn), or only a larger
// file length filled with garbage; the survivors land in a random order. The other modes
// give one outcome to every unflushed change, so that a test can try each on its own. The
// outcome is a function of the seed. Afterwards every File opened before is dead
// (kSystemInvalidHandle), all locks and sharing are gone, and the durable bytes are what the
// files hold.
//
// Thread-safe: one mutex guards the whole file system and its Files.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/file.h"

namespace orvel::platform {

enum class FileCall { kRead, kWrite, kFlush, kTruncate };

struct Fault {
  FileCall call = FileCall::kWrite;
  uint64_t nth = 1;          // 1 for the next such call
  bool persistent = false;   // fail that call and every later one
  int error = 1117;          // kSystemIoError
  bool short_write = false;  // store the first half and report success with fewer bytes
};

enum class PowerLossMode {
  kRandom,         // each unflushed change dropped, kept, torn or turned into garbage
  kDropUnflushed,  // nothing since the last flush survives
  kKeepUnflushed,  // everything written survives, in order
  kTornUnflushed,  // each write survives up to a 512-byte boundary of the file, in order
  kReordered,      // the writes land in a random order until the power fails
  kGarbageExtended,  // nothing survives but the file lengths reached, over garbage
};

class MemFileSystem final : public FileSystem {
 public:
  MemFileSystem();
  ~MemFileSystem() override;
  MemFileSystem(const MemFileSystem&) = delete;
  MemFileSystem& operator=(const MemFileSystem&) = delete;

  int open(const std::string& path, int mode, Disposition disposition,
           std::unique_ptr<File>* file) override;
  int remove(const std::string& path) override;
  // "" and "." are directories; others exist once add_directory() named them. A path with a
  // '/' opens only when the part before the last '/' is a directory.
  bool is_directory(const std::string& path) override;

  void add_directory(const std::string& path);
  bool exists(const std::string& path);
  // The names of every file, in name order.
  std::vector<std::string> file_names();
  // The bytes as reads see them now (durable bytes with unflushed changes applied).
  std::vector<uint8_t> contents(const std::string& path);
  // The bytes that would survive a loss of power that dropped every unflushed change.
  std::vector<uint8_t> durable_contents(const std::string& path);
  // Creates or replaces the file with these bytes, all durable.
  void set_contents(const std::string& path, std::vector<uint8_t> bytes);

  void inject_fault(const Fault& fault);
  void clear_faults();
  // Number of calls of that kind made so far on every File.
  uint64_t call_count(FileCall call);
  // Writes, flushes and truncations made so far.
  uint64_t change_call_count();
  // Files open now, and byte-range locks held now, over every file: what a test expects to
  // be 0 once everything it opened is closed.
  size_t open_file_count();
  size_t lock_count();

  void cut_power_after(uint64_t change_calls);
  bool power_is_cut();

  void power_loss(uint64_t seed, PowerLossMode mode = PowerLossMode::kRandom);

 private:
  friend class MemFile;
  struct Node;
  struct ActiveFault {
    Fault fault;
    uint64_t base;  // call count when injected
    bool spent = false;
  };

  // Returns the error a call must fail with, 0 to proceed; *short_write for a short write.
  int fault_for(FileCall call, bool* short_write);
  bool change_allowed();

  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<Node>> files_;
  std::set<std::string> directories_;
  std::vector<ActiveFault> faults_;
  uint64_t counts_[4] = {0, 0, 0, 0};
  uint64_t change_calls_ = 0;
  bool power_cut_armed_ = false;
  uint64_t power_cut_at_ = 0;
  uint64_t generation_ = 1;  // Files of an older generation died in a loss of power
  uint64_t next_owner_ = 1;
};

}  // namespace orvel::platform
