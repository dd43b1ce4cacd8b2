// Transactions over several files of one process, on the in-memory file system: LOGOUT,
// COMMIT, ROLLBACK, the transaction marker and control file, failures at every write of a
// commit, and the gate that keeps other threads out of a transaction.
#include "datafile/transaction.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "datafile/byte_order.h"
#include "datafile/data_file.h"
#include "datafile/engine_lock.h"
#include "datafile/table.h"
#include "datafile/tests/passport_declaration.h"
#include "datafile/tests/passport_record.h"
#include "platform/error_codes.h"
#include "platform/mem_file_system.h"

namespace orvel::datafile {
namespace {

using namespace testing;
namespace om = platform::open_mode;
constexpr int kShared = om::kReadWrite | om::kDenyNone;

class TransactionTest : public ::testing::Test {
 protected:
  TransactionTest() {
    fs_ = std::make_unique<platform::MemFileSystem>();
    for (const char* name : {"a.hvk", "b.hvk"}) {
      decls_.push_back(passport_declaration());
      decls_.back().file_name = name;
    }
  }
  void SetUp() override {
    for (TableDecl& d : decls_) {
      Table t(d, *fs_);
      ASSERT_EQ(t.create(), kNoError);
      ASSERT_EQ(t.open(kShared), kNoError);
      store_passport(t, {"S", "1", "OLD"});
      ASSERT_EQ(t.add(), kNoError);
    }
  }

  std::unique_ptr<Table> open(int i) {
    auto t = std::make_unique<Table>(decls_[i], *fs_);
    EXPECT_EQ(t->open(kShared), kNoError);
    return t;
  }
  static int rename(Table& t, const std::string& fio) {
    store_passport(t, {"S", "1", ""});
    if (int rc = t.get(kNumSer); rc != kNoError) return rc;
    Passport p = loaded_passport(t);
    p.fio = fio;
    store_passport(t, p);
    return t.put();
  }
  std::string name_in(int i) {
    auto t = open(i);
    store_passport(*t, {"S", "1", ""});
    EXPECT_EQ(t->get(kNumSer), kNoError);
    return loaded_passport(*t).fio;
  }
  // A raw look at a record of a file: its data, or none.
  std::optional<Bytes> raw(const std::string& path, const Bytes& key) {
    std::unique_ptr<platform::File> f;
    int mode = om::kReadOnly | om::kDenyNone;
    if (fs_->open(path, mode, platform::Disposition::kOpenExisting, &f) != kNoError) {
      return std::nullopt;
    }
    std::unique_ptr<DataFile> data;
    EXPECT_EQ(DataFile::open(std::move(f), mode, {}, &data), kNoError);
    const Record* r = data->tree().find_equal(KeyView(key.data(), key.size()));
    if (!r) return std::nullopt;
    return Bytes(r->data().begin(), r->data().end());
  }
  // Every key of a control file (ids little-endian).
  std::vector<uint32_t> ids_in(const std::string& path) {
    std::vector<uint32_t> ids;
    std::unique_ptr<platform::File> f;
    int mode = om::kReadOnly | om::kDenyNone;
    EXPECT_EQ(fs_->open(path, mode, platform::Disposition::kOpenExisting, &f), kNoError);
    std::unique_ptr<DataFile> data;
    EXPECT_EQ(DataFile::open(std::move(f), mode, {}, &data), kNoError);
    Bytes key;
    while (const Record* r = data->tree().find_first_above(KeyView(key.data(), key.size()))) {
      key.assign(r->key().begin(), r->key().end());
      if (key.size() == 4) ids.push_back(load_u32_le(key.data()));
    }
    return ids;
  }

  std::unique_ptr<platform::MemFileSystem> fs_;
  std::vector<TableDecl> decls_;
};

TEST_F(TransactionTest, CommitOfTwoFilesWritesMarkersAndLeavesNoIdBehind) {
  auto a = open(0), b = open(1);
  ASSERT_EQ(a->logout(), kNoError);
  ASSERT_EQ(b->logout(), kNoError);
  ASSERT_EQ(rename(*a, "NEW"), kNoError);
  ASSERT_EQ(rename(*b, "NEW"), kNoError);
  EXPECT_EQ(raw("a.hvk", Bytes{0xFF}), std::nullopt) << "nothing reaches the disk before COMMIT";
  ASSERT_EQ(a->commit(), kNoError);
  EXPECT_EQ(b->commit(), kNoError) << "the list is empty by now";
  EXPECT_EQ(name_in(0), "NEW");
  EXPECT_EQ(name_in(1), "NEW");
  std::optional<Bytes> ma = raw("a.hvk", Bytes{0xFF}), mb = raw("b.hvk", Bytes{0xFF});
  ASSERT_TRUE(ma && mb);
  EXPECT_EQ(*ma, *mb) << "one id for the whole transaction";
  ASSERT_EQ(ma->size(), 4u + 13u + 1u);
  EXPECT_EQ(std::string(ma->begin() + 4, ma->end() - 1), "C:\\hAlviK.TCF");
  EXPECT_EQ(ma->back(), 0);
  EXPECT_TRUE(ids_in("halvik.tcf").empty());
  // The files were released: another program may write at once.
  EXPECT_EQ(rename(*a, "AFTER"), kNoError);
}

TEST_F(TransactionTest, OneChangedFileCommitsAloneAndRollbackForgetsEverything) {
  auto a = open(0), b = open(1);
  ASSERT_EQ(a->logout(), kNoError);
  ASSERT_EQ(b->logout(), kNoError);
  ASSERT_EQ(rename(*a, "NEW"), kNoError);
  ASSERT_EQ(a->commit(), kNoError);
  EXPECT_EQ(name_in(0), "NEW");
  EXPECT_FALSE(fs_->exists("halvik.tcf")) << "no control file for one file";

  ASSERT_EQ(a->logout(), kNoError);
  ASSERT_EQ(b->logout(), kNoError);
  ASSERT_EQ(rename(*a, "GONE"), kNoError);
  ASSERT_EQ(rename(*b, "GONE"), kNoError);
  ASSERT_EQ(b->rollback(), kNoError);
  EXPECT_EQ(a->rollback(), kNoError);
  EXPECT_EQ(name_in(0), "NEW");
  EXPECT_EQ(name_in(1), "OLD");
  EXPECT_EQ(rename(*b, "LATER"), kNoError) << "locks were released";
  EXPECT_EQ(name_in(1), "LATER");
}

TEST_F(TransactionTest, TakenIdsAreSkipped) {
  uint32_t now = uint32_t(std::time(nullptr));
  {
    std::unique_ptr<platform::File> f;
    ASSERT_EQ(fs_->open("halvik.tcf", kShared, platform::Disposition::kOpenOrCreate, &f), kNoError);
    std::unique_ptr<DataFile> control;
    ASSERT_EQ(DataFile::open(std::move(f), kShared, {}, &control), kNoError);
    for (uint32_t id = now; id < now + 5; ++id) {
      Bytes key(4);
      store_u32_le(key.data(), id);
      control->tree().insert(make_record(KeyView(key.data(), 4), KeyView()));
    }
    ASSERT_EQ(control->close(), kNoError);
  }
  auto a = open(0), b = open(1);
  ASSERT_EQ(a->logout(), kNoError);
  ASSERT_EQ(b->logout(), kNoError);
  ASSERT_EQ(rename(*a, "NEW"), kNoError);
  ASSERT_EQ(rename(*b, "NEW"), kNoError);
  ASSERT_EQ(a->commit(), kNoError);
  std::optional<Bytes> marker = raw("a.hvk", Bytes{0xFF});
  ASSERT_TRUE(marker);
  EXPECT_GE(load_u32_le(marker->data()), now + 5);
  EXPECT_LT(load_u32_le(marker->data()), now + 100);
  EXPECT_EQ(ids_in("halvik.tcf").size(), 5u) << "only the transaction's own id is deleted";
}

// Whichever write of the commit fails, both files end old or both new.
TEST_F(TransactionTest, AFailedWriteAnywhereInTheCommitLeavesBothFilesAlike) {
  int failures = 0;
  for (uint64_t n = 1; n < 200; ++n) {
    SCOPED_TRACE(n);
    TearDown();
    fs_ = std::make_unique<platform::MemFileSystem>();
    SetUp();
    int rc;
    {
      auto a = open(0), b = open(1);
      ASSERT_EQ(a->logout(), kNoError);
      ASSERT_EQ(b->logout(), kNoError);
      ASSERT_EQ(rename(*a, "NEW"), kNoError);
      ASSERT_EQ(rename(*b, "NEW"), kNoError);
      uint64_t before = fs_->call_count(platform::FileCall::kWrite);
      fs_->inject_fault({platform::FileCall::kWrite, n});
      rc = a->commit();
      bool hit = fs_->call_count(platform::FileCall::kWrite) >= before + n;
      fs_->clear_faults();
      if (!hit) break;  // the commit had fewer writes than n: every write was tried
    }
    std::string na = name_in(0), nb = name_in(1);
    EXPECT_EQ(na, nb) << "rc " << rc;
    EXPECT_EQ(na, rc == kNoError ? "NEW" : "OLD") << "rc " << rc;
    if (rc != kNoError) ++failures;
  }
  EXPECT_GT(failures, 5) << "the faults reached the commit";
}

TEST_F(TransactionTest, MoreThanAHundredControlFilesIsACorruptionCheck) {
  std::vector<TableDecl> decls;
  std::vector<std::unique_ptr<Table>> tables;
  decls.reserve(101);
  int rc = kNoError;
  for (int i = 0; i < 101 && rc == kNoError; ++i) {
    std::string dir = "d" + std::to_string(i);
    fs_->add_directory(dir);
    decls.push_back(passport_declaration());
    decls.back().file_name = dir + "/p.hvk";
    ASSERT_EQ(Table(decls.back(), *fs_).create(), kNoError);
    tables.push_back(std::make_unique<Table>(decls.back(), *fs_));
    ASSERT_EQ(tables.back()->open(kShared), kNoError);
    rc = tables.back()->logout();
    if (i < 100) {
      EXPECT_EQ(rc, kNoError);
    }
  }
  EXPECT_EQ(rc, kFileSystemError);
  EXPECT_EQ(last_error().file_code, 2183);
  EXPECT_EQ(tables.front()->rollback(), kNoError);
}

// A table that ends with a corruption check inside a transaction serves only close; closing
// it rolls the transaction back, so that the transaction keeps neither its files open nor
// other threads out.
TEST_F(TransactionTest, ClosingATableThatFailedInsideATransactionRollsItBack) {
  {
    auto a = open(0), b = open(1);
    ASSERT_EQ(a->logout(), kNoError);
    ASSERT_EQ(b->logout(), kNoError);
    ASSERT_EQ(rename(*b, "GONE"), kNoError);
    fs_->inject_fault({platform::FileCall::kRead, 1, true});
    EXPECT_EQ(rename(*a, "GONE"), kFileSystemError);
    fs_->clear_faults();
    EXPECT_EQ(a->rollback(), kFileSystemError);
    EXPECT_TRUE(transaction_open());
    EXPECT_EQ(a->close(), kNoError);
    EXPECT_FALSE(transaction_open());
    auto other = std::async(std::launch::async, [&] { return name_in(1); });
    if (other.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      ADD_FAILURE() << "another thread still waits for the transaction";
      transaction_gate().leave();
    }
    EXPECT_EQ(other.get(), "OLD") << "the changes of the other file were rolled back";
  }
  EXPECT_EQ(fs_->open_file_count(), 0u);
}

TEST_F(TransactionTest, OtherThreadsWaitUntilTheTransactionEnds) {
  auto a = open(0);
  ASSERT_EQ(a->logout(), kNoError);
  ASSERT_EQ(rename(*a, "NEW"), kNoError);
  std::atomic<bool> done{false};
  std::string seen;
  std::thread other([&] {
    // With the thread attribute this thread has its own physical file object.
    seen = name_in(0);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(done);
  ASSERT_EQ(a->commit(), kNoError);
  other.join();
  EXPECT_EQ(seen, "NEW");
}

}  // namespace
}  // namespace orvel::datafile
