// The lock protocol of a physical file object, on the in-memory file system, whose locks
// conflict between File objects as those of two programs would.
#include "datafile/sharing_locks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "datafile/data_file.h"
#include "datafile/file_header.h"
#include "datafile/table.h"
#include "datafile/tests/passport_declaration.h"
#include "datafile/tests/passport_record.h"
#include "datafile/tests/test_file.h"
#include "platform/error_codes.h"
#include "platform/mem_file_system.h"

namespace orvel::datafile {
namespace {

namespace om = platform::open_mode;
using testing::Contents;
using testing::make_record;
using testing::TestFile;

constexpr int kShared = om::kReadWrite | om::kDenyNone;

// One open of the shared file, as one program has it.
struct Opener {
  Opener(platform::MemFileSystem& fs, int mode, int first_slot = 0) {
    if (!fs.exists("f.hvk")) fs.set_contents("f.hvk", {});
    EXPECT_EQ(fs.open("f.hvk", mode, platform::Disposition::kOpenExisting, &file), kNoError);
    locks = std::make_unique<SharingLocks>(file.get(), mode, first_slot);
  }
  std::unique_ptr<platform::File> file;
  std::unique_ptr<SharingLocks> locks;
};

// True when another open could take region now (and gives it back).
bool free_for_others(platform::File& other, LockRegion region) {
  if (other.lock(region.offset, region.length) != kNoError) return false;
  other.unlock(region.offset, region.length);
  return true;
}

void set_trace_log(const std::string& path) {
#ifdef _WIN32
  _putenv_s("ORVEL_TRACE_LOG", path.c_str());
#else
  if (path.empty()) {
    unsetenv("ORVEL_TRACE_LOG");
  } else {
    setenv("ORVEL_TRACE_LOG", path.c_str(), 1);
  }
#endif
}

class SharingLocksTest : public ::testing::Test {
 protected:
  platform::MemFileSystem fs_;
};

TEST(LockRegionsTest, RegionsLieWhereOtherProgramsLookForThem) {
  struct Case {
    LockRegion region;
    uint64_t offset;
    uint64_t length;
  } cases[] = {
      {reader_slot_region(0), 0x80000000ULL, 1},
      {reader_slot_region(1022), 0x800003FEULL, 1},
      {all_reader_slots_region(), 0x80000000ULL, 1023},
      {writer_byte_region(), 0x800003FFULL, 1},
      {lock_byte_region(0), 0x80000401ULL, 1},
      {lock_byte_region(7), 0x80000408ULL, 1},
      {lock_byte_region(0xFFFFFFFFu), 0x80000401ULL + 0xFFFFFFFFULL, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.region.offset, c.offset);
    EXPECT_EQ(c.region.length, c.length);
  }
  EXPECT_GE(first_reader_slot(), 0);
  EXPECT_LT(first_reader_slot(), kReaderSlots);
}

TEST_F(SharingLocksTest, ReadersTakeTheirOwnSlotsAndMoveOnWhenOneIsTaken) {
  Opener a(fs_, kShared, 1022), b(fs_, kShared, 1022), spy(fs_, kShared);
  a.locks->take_operation_lock();
  b.locks->take_operation_lock();
  EXPECT_EQ(a.locks->reader_slot(), 1022);
  EXPECT_EQ(b.locks->reader_slot(), 0) << "moves on modulo 1023";
  EXPECT_FALSE(a.locks->held_for_writing());
  EXPECT_FALSE(free_for_others(*spy.file, reader_slot_region(1022)));
  EXPECT_FALSE(free_for_others(*spy.file, reader_slot_region(0)));
  EXPECT_TRUE(free_for_others(*spy.file, writer_byte_region())) << "readers leave writers be";
  a.locks->release_operation_lock();
  b.locks->release_operation_lock();
  EXPECT_TRUE(free_for_others(*spy.file, all_reader_slots_region()));
}

TEST_F(SharingLocksTest, SwitchingToWritingGivesUpTheSlotAndTakesTheWriterByteNext) {
  Opener a(fs_, kShared), spy(fs_, kShared);
  a.locks->take_operation_lock();
  EXPECT_TRUE(a.locks->switch_to_writing()) << "the refresh must be repeated";
  EXPECT_TRUE(free_for_others(*spy.file, reader_slot_region(a.locks->reader_slot())));
  EXPECT_FALSE(a.locks->switch_to_writing());
  a.locks->take_operation_lock();
  EXPECT_TRUE(a.locks->held_for_writing());
  EXPECT_FALSE(free_for_others(*spy.file, writer_byte_region()));
  // A commit's all-slots lock does not meet the writer byte it already holds.
  a.locks->take_all_slots();
  EXPECT_FALSE(free_for_others(*spy.file, reader_slot_region(500)));
  a.locks->release_all_slots();
  a.locks->release_operation_lock();
  EXPECT_FALSE(a.locks->writing()) << "the end of an operation returns to reading";
  EXPECT_TRUE(free_for_others(*spy.file, writer_byte_region()));
  EXPECT_TRUE(free_for_others(*spy.file, all_reader_slots_region()));
}

// The waits without end end when the other releases; a lower bound only on the wait.
TEST_F(SharingLocksTest, WaitsWithoutEndLastUntilTheOtherReleases) {
  struct Case {
    const char* what;
    void (*hold)(SharingLocks&);
    void (*release)(SharingLocks&);
    void (*wait)(SharingLocks&);
  } cases[] = {
      {"a commit waits for a reader", [](SharingLocks& l) { l.take_operation_lock(); },
       [](SharingLocks& l) { l.release_operation_lock(); },
       [](SharingLocks& l) {
         l.switch_to_writing();
         l.take_operation_lock();
         l.take_all_slots();
       }},
      {"a writer waits for a writer",
       [](SharingLocks& l) {
         l.switch_to_writing();
         l.take_operation_lock();
       },
       [](SharingLocks& l) { l.release_operation_lock(); },
       [](SharingLocks& l) {
         l.switch_to_writing();
         l.take_operation_lock();
       }},
      {"a reader waits for a commit",
       [](SharingLocks& l) {
         l.switch_to_writing();
         l.take_operation_lock();
         l.take_all_slots();
       },
       [](SharingLocks& l) { l.release_all_slots(); },
       [](SharingLocks& l) { l.take_operation_lock(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    platform::MemFileSystem fs;
    Opener holder(fs, kShared), waiter(fs, kShared);
    c.hold(*holder.locks);
    std::atomic<bool> done{false};
    std::thread t([&] {
      c.wait(*waiter.locks);
      done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(done);
    c.release(*holder.locks);
    t.join();
    EXPECT_TRUE(done);
    waiter.locks->release_everything();
    holder.locks->release_everything();
  }
}

TEST_F(SharingLocksTest, ProtocolFollowsTheSharingOfTheMode) {
  struct Case {
    int mode;
    bool writer_from_the_start;
    bool all_slots_in_commits;
    bool shared_with_readers;  // others may open to read, and so see lock bytes
  } cases[] = {
      {om::kReadWrite | om::kDenyWrite, true, true, true},
      {om::kReadOnly | om::kDenyWrite, false, true, true},
      {om::kReadWrite | om::kDenyAll, true, false, false},
      {om::kReadWrite | om::kDenyRead, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    platform::MemFileSystem fs;
    Opener a(fs, c.mode);
    a.locks->take_operation_lock();
    EXPECT_EQ(a.locks->held_for_writing(), c.writer_from_the_start);
    EXPECT_FALSE(a.locks->operation_lock_held()) << "no operation lock without deny none";
    a.locks->take_all_slots();
    EXPECT_EQ(a.locks->all_slots_held(), c.all_slots_in_commits);
    a.locks->release_all_slots();
    EXPECT_TRUE(a.locks->hold(5));
    if (c.shared_with_readers) {
      Opener reader(fs, om::kReadOnly | om::kDenyNone);
      EXPECT_FALSE(reader.locks->hold(5));
      EXPECT_TRUE(reader.locks->begin_repair() == false) << "a reader never repairs";
    }
    a.locks->release_hold();
    EXPECT_EQ(a.locks->hold_count(), 0);
  }
}

TEST_F(SharingLocksTest, OneLockByteAtMostAndTheLastReleaseGivesBackTheOneReallyHeld) {
  Opener a(fs_, kShared), other(fs_, kShared);
  ASSERT_TRUE(a.locks->hold(5));
  ASSERT_TRUE(a.locks->hold(7)) << "a nested hold only counts";
  EXPECT_EQ(a.locks->hold_count(), 2);
  EXPECT_TRUE(free_for_others(*other.file, lock_byte_region(7)));
  EXPECT_FALSE(other.locks->hold(5));
  a.locks->release_hold();  // the table that held 5 lets go first
  EXPECT_FALSE(free_for_others(*other.file, lock_byte_region(5)));
  a.locks->release_hold();
  EXPECT_EQ(a.locks->hold_count(), 0);
  EXPECT_TRUE(other.locks->hold(5)) << "byte 5 is free again, not leaked";
  other.locks->release_hold();
  a.locks->release_hold();  // more releases than holds change nothing
  EXPECT_EQ(a.locks->hold_count(), 0);
}

TEST_F(SharingLocksTest, ReleaseEverythingFreesEveryRegion) {
  Opener a(fs_, kShared), spy(fs_, kShared);
  ASSERT_TRUE(a.locks->hold(9));
  a.locks->switch_to_writing();
  a.locks->take_operation_lock();
  a.locks->take_all_slots();
  a.locks->release_everything();
  EXPECT_TRUE(free_for_others(*spy.file, all_reader_slots_region()));
  EXPECT_TRUE(free_for_others(*spy.file, writer_byte_region()));
  EXPECT_TRUE(free_for_others(*spy.file, lock_byte_region(9)));
  EXPECT_EQ(a.locks->hold_count(), 0);
}

TEST_F(SharingLocksTest, FailedAttemptsOnLockBytesGoToTheTraceLog) {
  std::string path = ::testing::TempDir() + "sharing_locks_trace.log";
  std::remove(path.c_str());
  set_trace_log(path);
  Opener a(fs_, kShared), b(fs_, kShared);
  ASSERT_TRUE(a.locks->hold(3));
  EXPECT_FALSE(b.locks->hold(3));
  a.locks->switch_to_writing();
  a.locks->take_operation_lock();
  std::thread waiter([&] { b.locks->take_operation_lock(); });  // not a lock byte: not logged
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  a.locks->release_operation_lock();
  waiter.join();
  set_trace_log("");
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            "LockFile failed with error 33\nLockFile failed with error 33\n"
            "LockFile failed with error 33\n");
  std::remove(path.c_str());
}

// DataFiles over the locks, as two programs sharing one file.
class SharedDataFileTest : public ::testing::Test {
 protected:
  std::unique_ptr<DataFile> open(std::unique_ptr<SharingLocks>* locks, int mode = kShared) {
    std::unique_ptr<platform::File> file;
    EXPECT_EQ(t_.fs().open(t_.path(), mode, platform::Disposition::kOpenOrCreate, &file), kNoError);
    *locks = std::make_unique<SharingLocks>(file.get(), mode, 0);
    DataFileOptions options;
    options.locks = locks->get();
    std::unique_ptr<DataFile> data;
    EXPECT_EQ(DataFile::open(std::move(file), mode, std::move(options), &data), kNoError);
    return data;
  }
  void insert(DataFile& data, const std::string& key) {
    data.switch_to_writing();
    data.tree().insert(make_record(key, 10));
  }

  TestFile t_;
};

TEST_F(SharedDataFileTest, AReaderThatSwitchesToWritingSeesCommitsMadeMeanwhile) {
  std::unique_ptr<SharingLocks> la, lb;
  auto a = open(&la), b = open(&lb);
  insert(*a, "first");
  ASSERT_EQ(a->end_operation(), kNoError);
  ASSERT_NE(b->tree().find_equal(testing::key_of(testing::bytes_of("first"))), nullptr);
  // b has read under its slot; a commits; b then changes the file in the same operation.
  std::thread writer([&] {
    insert(*a, "second");
    EXPECT_EQ(a->end_operation(), kNoError);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  insert(*b, "third");  // gives up the slot, so a's commit can go through
  writer.join();
  ASSERT_EQ(b->end_operation(), kNoError);
  Contents contents = TestFile::contents_of(*a);
  EXPECT_EQ(contents.size(), 3u) << "b's commit kept a's record";
  EXPECT_EQ(a->end_operation(), kNoError);
}

TEST_F(SharedDataFileTest, AReaderLeavesAPendingJournalToTheNextWriter) {
  std::unique_ptr<SharingLocks> la, lb;
  auto a = open(&la);
  insert(*a, "old");
  ASSERT_EQ(a->end_operation(), kNoError);
  insert(*a, "new");
  ASSERT_EQ(a->commit_phase1(), kNoError);
  Bytes pending = t_.bytes();
  la->release_everything();  // a dies between the phases
  auto b = open(&lb);
  EXPECT_EQ(TestFile::contents_of(*b).size(), 2u) << "the reader sees the new state";
  EXPECT_TRUE(b->reading_through_journal());
  EXPECT_EQ(t_.bytes(), pending) << "and writes nothing";
  ASSERT_EQ(b->end_operation(), kNoError);
  insert(*b, "later");
  ASSERT_EQ(b->end_operation(), kNoError);
  EXPECT_FALSE(b->reading_through_journal());
  EXPECT_EQ(TestFile::contents_of(*b).size(), 3u);
  EXPECT_EQ(b->header().data_end(), b->header().journal_end());
  EXPECT_TRUE(check_integrity(b.get()).empty());
  b->end_operation();
}

// After a corruption check nothing is known about where the operation stopped; closing the
// table lets go of every region, the held record's byte included.
TEST(SharedTableTest, ClosingAfterACorruptionCheckReleasesEveryRegion) {
  platform::MemFileSystem fs;
  TableDecl decl = passport_declaration();
  ASSERT_EQ(Table(decl, fs).create(), kNoError);
  Table t(decl, fs);
  ASSERT_EQ(t.open(kShared), kNoError);
  for (int i = 0; i < 50; ++i) {
    testing::store_passport(t, {"S", std::to_string(i), "NAME"});
    ASSERT_EQ(t.add(), kNoError);
  }
  const uint32_t held = t.pointer();
  ASSERT_EQ(t.hold(), kNoError);
  ASSERT_EQ(t.get_by_number(held), kNoError);

  // Another program's "commit" that leaves garbage pages behind.
  Bytes bytes = fs.contents(decl.file_name);
  FileHeader header = FileHeader::from_bytes(bytes.data());
  header.set_change_counter(header.change_counter() + 1);
  std::copy(header.bytes(), header.bytes() + kFileHeaderSize, bytes.begin());
  std::fill(bytes.begin() + kFileHeaderSize, bytes.end(), uint8_t(0xA5));
  fs.set_contents(decl.file_name, bytes);
  uint32_t count = 0;
  ASSERT_EQ(t.records(&count), kFileSystemError);

  std::unique_ptr<platform::File> spy;
  ASSERT_EQ(fs.open(decl.file_name, kShared, platform::Disposition::kOpenExisting, &spy), kNoError);
  EXPECT_FALSE(free_for_others(*spy, lock_byte_region(held))) << "still held until close";
  t.close();
  EXPECT_TRUE(free_for_others(*spy, lock_byte_region(held)));
  EXPECT_TRUE(free_for_others(*spy, all_reader_slots_region()));
  EXPECT_TRUE(free_for_others(*spy, writer_byte_region()));
}

}  // namespace
}  // namespace orvel::datafile
