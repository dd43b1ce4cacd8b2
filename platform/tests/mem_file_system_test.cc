#include "platform/mem_file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/error_codes.h"

namespace orvel::platform {
namespace {

using namespace open_mode;
using Bytes = std::vector<uint8_t>;

class MemFileSystemTest : public ::testing::Test {
 protected:
  std::unique_ptr<File> open_ok(const std::string& name, int mode = kReadWrite | kDenyNone,
                                Disposition d = Disposition::kOpenOrCreate) {
    std::unique_ptr<File> f;
    EXPECT_EQ(fs_.open(name, mode, d, &f), kNoError);
    return f;
  }
  static void write(File* f, uint64_t offset, const Bytes& bytes) {
    size_t n = 0;
    ASSERT_EQ(f->write_at(offset, bytes.data(), bytes.size(), &n), kNoError);
    ASSERT_EQ(n, bytes.size());
  }

  MemFileSystem fs_;
};

TEST_F(MemFileSystemTest, PositionedIoTruncateAndSize) {
  auto f = open_ok("a");
  write(f.get(), 100, {1, 2, 3});
  uint64_t size = 0;
  ASSERT_EQ(f->size(&size), kNoError);
  EXPECT_EQ(size, 103u);
  uint8_t buf[8] = {};
  size_t got = 0;
  ASSERT_EQ(f->read_at(101, buf, sizeof buf, &got), kNoError);
  EXPECT_EQ(got, 2u) << "a read past the end returns what there is";
  EXPECT_EQ(buf[0], 2);
  ASSERT_EQ(f->truncate(50), kNoError);
  ASSERT_EQ(f->size(&size), kNoError);
  EXPECT_EQ(size, 50u);
  EXPECT_EQ(fs_.contents("a"), Bytes(50, 0));
}

TEST_F(MemFileSystemTest, ErrorsOfOpen) {
  std::unique_ptr<File> f;
  EXPECT_EQ(fs_.open("missing", kReadWrite, Disposition::kOpenExisting, &f), kFileNotFound);
  EXPECT_EQ(fs_.open("dir/x", kReadWrite, Disposition::kOpenOrCreate, &f), kPathNotFound);
  EXPECT_EQ(fs_.open("", kReadWrite, Disposition::kOpenOrCreate, &f), kInvalidFilename);
  fs_.add_directory("dir");
  EXPECT_EQ(fs_.open("dir/x", kReadWrite, Disposition::kOpenOrCreate, &f), kNoError);
  EXPECT_EQ(fs_.open("dir", kReadWrite, Disposition::kOpenExisting, &f), kAccessDenied);
}

TEST_F(MemFileSystemTest, AccessOfTheModeIsEnforced) {
  open_ok("r");
  auto f = open_ok("r", kReadOnly | kDenyNone, Disposition::kOpenExisting);
  size_t n = 0;
  EXPECT_EQ(f->write_at(0, "x", 1, &n), kAccessDenied);
  EXPECT_EQ(f->truncate(0), kAccessDenied);
}

TEST_F(MemFileSystemTest, LocksConflictBetweenFilesAndEndWithTheOpen) {
  auto a = open_ok("l");
  auto b = open_ok("l", kReadWrite | kDenyNone, Disposition::kOpenExisting);
  ASSERT_EQ(a->lock(0x80000000, 10), kNoError);
  EXPECT_EQ(b->lock(0x80000005, 1), kSystemLockViolation);
  EXPECT_EQ(a->lock(0x80000000, 1), kSystemLockViolation) << "locks do not nest";
  EXPECT_EQ(b->lock(0x8000000A, 1), kNoError) << "adjacent bytes are free";
  EXPECT_NE(a->unlock(0x80000000, 5), kNoError) << "only the range as locked";
  EXPECT_EQ(a->unlock(0x80000000, 10), kNoError);
  EXPECT_EQ(b->lock(0x80000000, 1), kNoError);
  b.reset();
  EXPECT_EQ(a->lock(0x80000000, 1), kNoError) << "closing releases the locks";
}

TEST_F(MemFileSystemTest, SharingOfOpenModes) {
  struct Case {
    int first, second, expected;
  } cases[] = {
      {kReadWrite | kDenyNone, kReadWrite | kDenyNone, kNoError},
      {kReadWrite | kDenyAll, kReadOnly | kDenyNone, kAccessDenied},
      {kReadWrite | kDenyWrite, kReadOnly | kDenyNone, kNoError},
      {kReadWrite | kDenyWrite, kReadWrite | kDenyNone, kAccessDenied},
      {kReadWrite | kDenyRead, kReadOnly | kDenyNone, kAccessDenied},
      {kReadOnly | kDenyNone, kReadWrite | kDenyWrite, kNoError},
      {kReadWrite | kDenyNone, kReadWrite | kDenyWrite, kAccessDenied},
      {kReadWrite | kDenyNone, kReadOnly | kDenyAll, kAccessDenied},
  };
  for (const auto& c : cases) {
    MemFileSystem fs;
    fs.set_contents("s", {});
    std::unique_ptr<File> first, second;
    ASSERT_EQ(fs.open("s", c.first, Disposition::kOpenExisting, &first), kNoError);
    EXPECT_EQ(fs.open("s", c.second, Disposition::kOpenExisting, &second), c.expected)
        << std::hex << c.first << " then " << c.second;
  }
}

TEST_F(MemFileSystemTest, FaultsFailTheNthCallOnceOrFromThenOn) {
  auto f = open_ok("f");
  fs_.inject_fault({FileCall::kWrite, 2, false, kSystemDiskFull});
  size_t n = 0;
  EXPECT_EQ(f->write_at(0, "a", 1, &n), kNoError);
  EXPECT_EQ(f->write_at(1, "b", 1, &n), kSystemDiskFull);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(f->write_at(1, "c", 1, &n), kNoError) << "a single fault fails once";
  EXPECT_EQ(fs_.contents("f"), (Bytes{'a', 'c'}));

  fs_.inject_fault({FileCall::kFlush, 1, true, kSystemIoError});
  EXPECT_EQ(f->flush(), kSystemIoError);
  EXPECT_EQ(f->flush(), kSystemIoError);
  fs_.clear_faults();
  EXPECT_EQ(f->flush(), kNoError);

  fs_.inject_fault({FileCall::kRead, 1, false, kSystemIoError});
  uint8_t buf[2];
  EXPECT_EQ(f->read_at(0, buf, 2, &n), kSystemIoError);
  fs_.inject_fault({FileCall::kTruncate, 1, false, kSystemIoError});
  EXPECT_EQ(f->truncate(0), kSystemIoError);

  Fault short_write;
  short_write.short_write = true;
  fs_.inject_fault(short_write);
  EXPECT_EQ(f->write_at(0, "wxyz", 4, &n), kNoError);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(fs_.contents("f"), (Bytes{'w', 'x'}));
}

TEST_F(MemFileSystemTest, PowerLossKeepsWhatWasFlushed) {
  auto f = open_ok("p");
  write(f.get(), 0, Bytes(1024, 1));
  ASSERT_EQ(f->flush(), kNoError);
  write(f.get(), 0, Bytes(1024, 2));
  EXPECT_EQ(fs_.durable_contents("p"), Bytes(1024, 1));
  EXPECT_EQ(fs_.contents("p"), Bytes(1024, 2));
  fs_.power_loss(1, PowerLossMode::kDropUnflushed);
  EXPECT_EQ(fs_.contents("p"), Bytes(1024, 1));
  size_t n;
  EXPECT_EQ(f->write_at(0, "x", 1, &n), kSystemInvalidHandle) << "Files die with the power";
  f.reset();
  auto g = open_ok("p", kReadWrite | kDenyAll, Disposition::kOpenExisting);
  EXPECT_EQ(g->lock(0, 1), kNoError) << "no sharing or locks survive";
  write(g.get(), 2048, Bytes(512, 3));
  fs_.power_loss(1, PowerLossMode::kKeepUnflushed);
  EXPECT_EQ(fs_.contents("p").size(), 2560u);
}

// Random outcomes are made of whole 512-byte sectors, repeat for a seed, and differ between
// seeds.
TEST_F(MemFileSystemTest, RandomPowerLossTearsAtSectorsAndRepeatsForASeed) {
  auto outcome = [](uint64_t seed) {
    MemFileSystem fs;
    std::unique_ptr<File> f;
    fs.open("t", kReadWrite, Disposition::kOpenOrCreate, &f);
    size_t n;
    Bytes old_bytes(4096, 0xAA);
    f->write_at(0, old_bytes.data(), old_bytes.size(), &n);
    f->flush();
    for (int i = 0; i < 4; ++i) {
      Bytes b(2048, static_cast<uint8_t>(i + 1));
      f->write_at(static_cast<uint64_t>(i) * 1024, b.data(), b.size(), &n);
    }
    fs.power_loss(seed);
    return fs.contents("t");
  };
  std::set<Bytes> seen;
  for (uint64_t seed = 0; seed < 40; ++seed) {
    Bytes result = outcome(seed);
    EXPECT_EQ(result, outcome(seed)) << "seed " << seed;
    for (size_t sector = 0; sector + 512 <= result.size() && sector < 4096; sector += 512) {
      for (size_t i = sector; i < sector + 512; ++i) {
        ASSERT_EQ(result[i], result[sector]) << "seed " << seed << " sector " << sector;
      }
    }
    seen.insert(result);
  }
  EXPECT_GT(seen.size(), 10u);
}

// Each single-outcome mode over the same unflushed writes: two writes of 1024 bytes of 2 and
// 3 over a flushed file of 1024 bytes of 1, the first at 256 (straddling the file's end, so
// crossing sector boundaries at 512 and 1024), the second at 2048 (extending the file).
TEST_F(MemFileSystemTest, EachPowerLossModeGivesItsOwnOutcome) {
  auto outcome = [](PowerLossMode mode, uint64_t seed) {
    MemFileSystem fs;
    std::unique_ptr<File> f;
    fs.open("m", kReadWrite, Disposition::kOpenOrCreate, &f);
    size_t n;
    Bytes flushed(1024, 1), first(1024, 2), second(1024, 3);
    f->write_at(0, flushed.data(), flushed.size(), &n);
    f->flush();
    f->write_at(256, first.data(), first.size(), &n);
    f->write_at(2048, second.data(), second.size(), &n);
    fs.power_loss(seed, mode);
    return fs.contents("m");
  };
  for (uint64_t seed = 0; seed < 20; ++seed) {
    SCOPED_TRACE(seed);
    Bytes torn = outcome(PowerLossMode::kTornUnflushed, seed);
    // The first write is cut at 512, 1024 or its end (1280); past a cut nothing of it is there.
    ASSERT_GE(torn.size(), 1024u);
    size_t kept = 256;
    while (kept < std::min<size_t>(torn.size(), 1280) && torn[kept] == 2) ++kept;
    EXPECT_TRUE(kept == 512 || kept == 1024 || kept == 1280) << kept;
    for (size_t i = kept; i < 1024; ++i) ASSERT_EQ(torn[i], 1) << i;

    Bytes garbage = outcome(PowerLossMode::kGarbageExtended, seed);
    ASSERT_EQ(garbage.size(), 3072u) << "the length the writes reached";
    EXPECT_EQ(Bytes(garbage.begin(), garbage.begin() + 1024), Bytes(1024, 1));
    EXPECT_NE(Bytes(garbage.begin() + 2048, garbage.end()), Bytes(1024, 3));

    // Reordered: any subset of the two writes, each whole.
    Bytes reordered = outcome(PowerLossMode::kReordered, seed);
    bool first_landed = reordered[256] == 2, second_landed = reordered.size() == 3072;
    EXPECT_EQ(std::count(reordered.begin(), reordered.end(), 2), first_landed ? 1024 : 0);
    if (second_landed) {
      EXPECT_EQ(reordered.back(), 3);
    }
  }
  std::set<Bytes> reorderings;
  for (uint64_t seed = 0; seed < 40; ++seed) {
    reorderings.insert(outcome(PowerLossMode::kReordered, seed));
  }
  EXPECT_EQ(reorderings.size(), 4u) << "none, either one, or both";
  EXPECT_EQ(outcome(PowerLossMode::kKeepUnflushed, 0).size(), 3072u);
}

TEST_F(MemFileSystemTest, OpenFilesAndLocksAreCounted) {
  auto f = open_ok("a");
  auto g = open_ok("b");
  ASSERT_EQ(f->lock(10, 2), kNoError);
  EXPECT_EQ(fs_.open_file_count(), 2u);
  EXPECT_EQ(fs_.lock_count(), 1u);
  f.reset();
  EXPECT_EQ(fs_.open_file_count(), 1u);
  EXPECT_EQ(fs_.lock_count(), 0u) << "a lock ends with its File";
}

TEST_F(MemFileSystemTest, CutPowerStopsLaterChanges) {
  auto f = open_ok("c");
  fs_.cut_power_after(2);
  size_t n;
  EXPECT_EQ(f->write_at(0, "a", 1, &n), kNoError);
  EXPECT_EQ(f->flush(), kNoError);
  EXPECT_TRUE(fs_.power_is_cut());
  EXPECT_EQ(f->write_at(1, "b", 1, &n), kSystemIoError);
  EXPECT_EQ(f->truncate(0), kSystemIoError);
  fs_.power_loss(7);
  EXPECT_EQ(fs_.contents("c"), Bytes{'a'});
}

}  // namespace
}  // namespace orvel::platform
