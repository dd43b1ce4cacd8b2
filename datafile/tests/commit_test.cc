#include <gtest/gtest.h>

#include <random>

#include "datafile/byte_order.h"
#include "datafile/data_file.h"
#include "datafile/tests/test_file.h"

namespace orvel::datafile {
namespace {

using platform::FileCall;
using testing::bytes_of;
using testing::check_of;
using testing::Contents;
using testing::joined;
using testing::key_of;
using testing::make_record;
using testing::TestFile;
namespace om = platform::open_mode;

Bytes random_bytes(std::mt19937& rng, size_t n) {
  Bytes b(n);
  for (auto& c : b) c = uint8_t(rng());
  return b;
}

FileHeader disk_header(TestFile& t) {
  Bytes b = t.bytes();
  EXPECT_GE(b.size(), kFileHeaderSize);
  return FileHeader::from_bytes(b.data());
}

class CommitTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(t_.open(), kNoError); }
  void commit_and_check() {
    ASSERT_EQ(t_.file().commit(), kNoError);
    auto problems = t_.check();
    ASSERT_TRUE(problems.empty()) << joined(problems);
  }
  // Adds n records after those added before.
  void fill(int n, size_t data_length = 60) {
    for (int i = 0; i < n; ++i, ++filled_) {
      t_.insert(make_record("r" + std::to_string(1000 + filled_), data_length, 'a' + i % 26));
    }
  }

  TestFile t_;
  int filled_ = 0;
};

TEST_F(CommitTest, ShortOrForeignFilesDoNotOpen) {
  TestFile other;
  other.fs().set_contents(other.path(), Bytes(300, 0));
  EXPECT_EQ(other.open(), kInvalidDataFile);
  FileHeader h = FileHeader::new_file();
  Bytes header(h.bytes(), h.bytes() + kFileHeaderSize);
  header[0x0E] = 'X';
  other.fs().set_contents(other.path(), header);
  EXPECT_EQ(other.open(), kInvalidDataFile);
}

TEST_F(CommitTest, FirstCommitPutsTheRootAtAddressZeroAndJournalsOnlyTheHeader) {
  t_.insert(make_record("a", 10));
  ASSERT_EQ(t_.file().commit_phase1(), kNoError);
  FileHeader on_disk = disk_header(t_);
  EXPECT_TRUE(on_disk.all_regions_empty()) << "the header at 0 still describes the old state";
  EXPECT_EQ(on_disk.data_end(), 0x300u);
  EXPECT_EQ(on_disk.journal_end(), 0x500u) << "the journal holds only the header copy";
  Bytes file = t_.bytes();
  EXPECT_EQ(load_u32_le(file.data() + 0x200), 0x200u) << "the root went straight to its place";
  t_.file().commit_phase2();
  on_disk = disk_header(t_);
  EXPECT_EQ(on_disk.data_end(), 0x300u);
  EXPECT_EQ(on_disk.journal_end(), 0x300u);
  EXPECT_EQ(on_disk.root(), 0);
  EXPECT_EQ(on_disk.region_start(1), 0);
  EXPECT_EQ(on_disk.region_end(1), 1);
  EXPECT_TRUE(t_.check().empty());
}

TEST_F(CommitTest, ACommitFlushesTwiceInEachPhase) {
  t_.insert(make_record("a", 10));
  commit_and_check();
  t_.insert(make_record("b", 10));
  uint64_t flushes = t_.fs().call_count(FileCall::kFlush);
  ASSERT_EQ(t_.file().commit_phase1(), kNoError);
  EXPECT_EQ(t_.fs().call_count(FileCall::kFlush) - flushes, 2u);
  t_.file().commit_phase2();
  EXPECT_EQ(t_.fs().call_count(FileCall::kFlush) - flushes, 4u);
}

TEST_F(CommitTest, IssuedNumbersAloneStillJournalTheHeader) {
  t_.insert(make_record("a", 10));
  commit_and_check();
  EXPECT_EQ(t_.file().issue_number(), 1u);
  EXPECT_EQ(t_.file().issue_number(), 2u);
  ASSERT_EQ(t_.file().commit_phase1(), kNoError);
  FileHeader on_disk = disk_header(t_);
  EXPECT_EQ(on_disk.journal_end() - on_disk.data_end(), 512u);
  t_.file().commit_phase2();
  t_.reopen();
  EXPECT_EQ(t_.file().header().last_issued(), 2u);
  EXPECT_EQ(t_.file().issue_number(), 3u);
}

TEST_F(CommitTest, APageGrowingFromTwoToThreeUnitsMovesToRegionThree) {
  std::mt19937 rng(5);
  // Many leaves, then three records of 100 random bytes left in each: pages of two units.
  for (int i = 0; i < 400; ++i) {
    t_.insert(make_record(bytes_of("r" + std::to_string(1000 + i)), random_bytes(rng, 100)));
  }
  commit_and_check();
  Page* root = t_.file().load_page(t_.file().root_address());
  std::vector<int32_t> leaves = root->contents.children;
  for (int32_t leaf : leaves) {
    Page* p = t_.file().load_page(leaf);
    std::vector<Bytes> keys;
    for (size_t k = 3; k < p->contents.records.size(); ++k) {
      keys.emplace_back(p->contents.records[k].key().begin(), p->contents.records[k].key().end());
    }
    for (const Bytes& k : keys) t_.tree().erase(key_of(k));
  }
  commit_and_check();
  const FileHeader before = t_.file().header();
  ASSERT_GE(before.pages_in_region(2), 3);
  ASSERT_EQ(before.pages_in_region(3), 0);

  int32_t grown = before.region_start(2);
  int32_t last = before.region_end(2) - 2;
  Page* p = t_.file().load_page(grown);
  Bytes grown_first(p->contents.records[0].key().begin(), p->contents.records[0].key().end());
  Bytes last_first(t_.file().load_page(last)->contents.records[0].key().begin(),
                   t_.file().load_page(last)->contents.records[0].key().end());
  for (const char* suffix : {"a", "b"}) {
    Bytes k = grown_first;
    k.push_back(uint8_t(suffix[0]));
    t_.tree().insert(make_record(k, random_bytes(rng, 100)));
  }
  commit_and_check();
  const FileHeader& after = t_.file().header();
  EXPECT_EQ(after.pages_in_region(2), before.pages_in_region(2) - 1);
  EXPECT_EQ(after.pages_in_region(3), 1);
  Page* filled = t_.file().load_page(grown);
  EXPECT_EQ(filled->contents.records[0].key(), key_of(last_first))
      << "the last page of region 2 moved into the freed slot";
  Page* moved = t_.file().load_page(after.region_start(3));
  EXPECT_EQ(moved->contents.records[0].key(), key_of(grown_first));
}

TEST_F(CommitTest, ClosingCutsTheFileAtTheDataEnd) {
  fill(300);
  commit_and_check();
  fill(1);  // rewrites live pages: a journal is appended past the data end
  ASSERT_EQ(t_.file().commit(), kNoError);
  EXPECT_GT(t_.bytes().size(), t_.file().header().data_end());
  uint32_t data_end = t_.file().header().data_end();
  t_.close();
  EXPECT_EQ(t_.bytes().size(), data_end);

  TestFile untouched;
  ASSERT_EQ(untouched.open(), kNoError);
  untouched.close();
  EXPECT_EQ(untouched.bytes().size(), 0u) << "a file never committed stays empty";
}

TEST_F(CommitTest, RefreshKeepsTheCacheUntilAnotherCommitRaisesTheCounter) {
  fill(300);
  commit_and_check();
  ASSERT_EQ(t_.file().end_operation(), kNoError);
  Bytes key = bytes_of("r1100");
  ASSERT_NE(t_.tree().find_equal(key_of(key)), nullptr);
  Page* page = nullptr;
  size_t index = 0;
  t_.tree().find_equal_with_page(key_of(key), &page, &index);
  uint64_t serial = page->serial;
  ASSERT_EQ(t_.file().end_operation(), kNoError);
  t_.tree().find_equal_with_page(key_of(key), &page, &index);
  EXPECT_EQ(page->serial, serial) << "an equal change counter keeps the cached pages";
  ASSERT_EQ(t_.file().end_operation(), kNoError);

  std::unique_ptr<DataFile> other;
  ASSERT_EQ(t_.open_into(&other), kNoError);
  other->tree().insert(make_record("new", 5));
  ASSERT_EQ(other->end_operation(), kNoError);
  EXPECT_NE(t_.tree().find_equal(key_of(bytes_of("new"))), nullptr);
}

TEST_F(CommitTest, AWriterRollsAnAnnouncedJournalForward) {
  fill(200);
  commit_and_check();
  Contents old_contents = t_.contents();
  fill(220);
  Contents new_contents = t_.contents();
  ASSERT_EQ(t_.file().commit_phase1(), kNoError);
  ASSERT_LT(disk_header(t_).data_end(), disk_header(t_).journal_end());
  // The program ends before phase 2.
  std::unique_ptr<DataFile> writer;
  ASSERT_EQ(t_.open_into(&writer), kNoError);
  EXPECT_EQ(TestFile::contents_of(*writer), new_contents);
  FileHeader on_disk = disk_header(t_);
  EXPECT_EQ(on_disk.data_end(), on_disk.journal_end());
  EXPECT_NE(new_contents, old_contents);
}

TEST_F(CommitTest, AJournalCutShortIsDiscarded) {
  fill(200);
  commit_and_check();
  Contents old_contents = t_.contents();
  fill(220);
  ASSERT_EQ(t_.file().commit_phase1(), kNoError);
  Bytes file = t_.bytes();
  file.resize(disk_header(t_).journal_end() - 256);  // the header copy is cut
  t_.fs().set_contents(t_.path(), file);
  std::unique_ptr<DataFile> writer;
  ASSERT_EQ(t_.open_into(&writer), kNoError);
  EXPECT_EQ(TestFile::contents_of(*writer), old_contents);
  EXPECT_EQ(disk_header(t_).data_end(), disk_header(t_).journal_end());
  EXPECT_TRUE(check_integrity(writer.get()).empty());
}

TEST_F(CommitTest, AReaderSeesAPendingJournalWithoutWriting) {
  fill(200);
  commit_and_check();
  fill(220);
  Contents new_contents = t_.contents();
  ASSERT_EQ(t_.file().commit_phase1(), kNoError);
  Bytes pending = t_.bytes();

  std::unique_ptr<DataFile> reader;
  ASSERT_EQ(t_.open_into(&reader, om::kReadOnly | om::kDenyNone), kNoError);
  EXPECT_EQ(TestFile::contents_of(*reader), new_contents);
  EXPECT_TRUE(reader->reading_through_journal());
  EXPECT_EQ(t_.bytes(), pending) << "the reader wrote nothing";
  ASSERT_EQ(reader->end_operation(), kNoError);
  EXPECT_EQ(TestFile::contents_of(*reader), new_contents) << "still pending: same view";

  t_.file().commit_phase2();
  ASSERT_EQ(reader->end_operation(), kNoError);
  EXPECT_EQ(TestFile::contents_of(*reader), new_contents);
  EXPECT_FALSE(reader->reading_through_journal());
}

TEST_F(CommitTest, AReaderThatTurnsWriterFinishesThePendingJournal) {
  fill(200);
  commit_and_check();
  fill(220);
  Contents new_contents = t_.contents();
  ASSERT_EQ(t_.file().commit_phase1(), kNoError);
  SingleUserLocks locks(false);
  DataFileOptions options;
  options.locks = &locks;
  std::unique_ptr<DataFile> other;
  ASSERT_EQ(t_.open_into(&other, om::kReadWrite | om::kDenyNone, options), kNoError);
  ASSERT_TRUE(other->reading_through_journal());
  ASSERT_EQ(other->end_operation(), kNoError);
  locks.set_writing(true);
  other->tree().insert(make_record("after", 3));
  EXPECT_FALSE(other->reading_through_journal());
  ASSERT_EQ(other->end_operation(), kNoError);
  new_contents[bytes_of("after")] = Bytes(3, 'x');
  EXPECT_EQ(TestFile::contents_of(*other), new_contents);
  EXPECT_TRUE(check_integrity(other.get()).empty());
}

TEST_F(CommitTest, AReaderSeesTheOldStateWhenTheJournalIsIncomplete) {
  fill(200);
  commit_and_check();
  Contents old_contents = t_.contents();
  fill(220);
  ASSERT_EQ(t_.file().commit_phase1(), kNoError);
  Bytes file = t_.bytes();
  file.resize(disk_header(t_).journal_end() - 256);
  t_.fs().set_contents(t_.path(), file);
  std::unique_ptr<DataFile> reader;
  ASSERT_EQ(t_.open_into(&reader, om::kReadOnly | om::kDenyNone), kNoError);
  EXPECT_EQ(TestFile::contents_of(*reader), old_contents);
  EXPECT_EQ(t_.bytes(), file);
}

TEST_F(CommitTest, AnUndecidedTransactionDiscardsTheJournal) {
  fill(50);
  commit_and_check();
  Contents old_contents = t_.contents();
  t_.insert(make_record(Bytes{0xFF}, Bytes{1, 2, 3, 4, 'x', 0}));
  fill(60);
  ASSERT_EQ(t_.file().commit_phase1(), kNoError);
  int asked = 0;
  DataFileOptions options;
  options.transaction_decided = [&](const Record& marker) {
    ++asked;
    EXPECT_EQ(marker.data(), key_of(Bytes{1, 2, 3, 4, 'x', 0}));
    return false;
  };
  std::unique_ptr<DataFile> writer;
  ASSERT_EQ(t_.open_into(&writer, om::kReadWrite | om::kDenyNone, options), kNoError);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(TestFile::contents_of(*writer), old_contents);
}

TEST_F(CommitTest, DiscardingForgetsChangesAndIssuedNumbers) {
  fill(10);
  commit_and_check();
  Contents old_contents = t_.contents();
  t_.file().issue_number();
  fill(30);
  t_.file().discard_changes();
  EXPECT_FALSE(t_.file().changed());
  EXPECT_EQ(t_.contents(), old_contents);
  EXPECT_EQ(t_.file().header().last_issued(), 0u);
}

}  // namespace
}  // namespace orvel::datafile
