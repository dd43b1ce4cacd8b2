#include "datafile/memo_store.h"

#include <gtest/gtest.h>

#include <string>

#include "datafile/byte_order.h"
#include "datafile/record_keys.h"
#include "datafile/tests/map_record_store.h"

namespace orvel::datafile {
namespace {

constexpr MemoSlot kSlot{3, 40, 1};
const MemoDecl kNote{"T:NOTE", "", 1000, 0};
const MemoDecl kScan{"T:SCAN", "", 0, memo_flag::kBlob};

KeyView view(const Bytes& b) {
  return KeyView(b.data(), b.size());
}

Bytes text(size_t length, char first = 'a') {
  Bytes out(length);
  for (size_t i = 0; i < length; ++i) out[i] = uint8_t(first + i % 26);
  return out;
}

std::vector<size_t> chunk_sizes(const MapRecordStore& store) {
  std::vector<size_t> sizes;
  for (const auto& [key, record] : store.records()) sizes.push_back(record.data().size());
  return sizes;
}

TEST(MemoStoreTest, MemoIsTrimmedAndCutInto256ByteChunks) {
  MapRecordStore store;
  Bytes value = text(600);
  value.resize(1000, ' ');
  store_memo(store, kSlot, kNote, false, view(value));
  EXPECT_EQ(chunk_sizes(store), (std::vector<size_t>{256, 256, 88}));
  EXPECT_EQ(store.records().begin()->first, memo_chunk_key(3, 40, 1, 0));
  EXPECT_EQ(read_memo(store, kSlot, kNote, false), value);
  EXPECT_TRUE(memo_matches(store, kSlot, kNote, false, view(value)));

  Bytes blank(1000, ' ');
  store_memo(store, kSlot, kNote, false, view(blank));
  EXPECT_TRUE(store.records().empty());
  EXPECT_EQ(read_memo(store, kSlot, kNote, false), blank);
}

TEST(MemoStoreTest, BlobChunksStartWithTheLength) {
  MapRecordStore store;
  Bytes value = text(25000);
  value[24999] = ' ';  // blobs keep trailing spaces
  store_memo(store, kSlot, kScan, false, view(value));
  EXPECT_EQ(chunk_sizes(store), (std::vector<size_t>{10244, 10240, 4520}));
  EXPECT_EQ(load_u32_le(store.records().begin()->second.data().data()), 25000u);
  EXPECT_EQ(read_memo(store, kSlot, kScan, false), value);

  // A blob whose first chunk is lost reads as empty rather than as a wrong length.
  MapRecordStore damaged = store;
  Bytes first = memo_chunk_key(3, 40, 1, 0);
  damaged.erase(view(first));
  EXPECT_TRUE(read_memo(damaged, kSlot, kScan, false).empty());

  store_memo(store, kSlot, kScan, false, KeyView());
  EXPECT_TRUE(store.records().empty());
  EXPECT_TRUE(read_memo(store, kSlot, kScan, false).empty());
}

TEST(MemoStoreTest, StoringAgainKeepsUnchangedChunks) {
  MapRecordStore store;
  // Neighbours that must not be touched: another memo of the record, another record.
  store_memo(store, {3, 40, 0}, kNote, false, view(text(300, 'A')));
  store_memo(store, {3, 41, 1}, kNote, false, view(text(300, 'A')));
  Bytes value = text(700);
  store_memo(store, kSlot, kNote, false, view(value));
  int inserts = store.inserts(), erases = store.erases();

  store_memo(store, kSlot, kNote, false, view(value));
  EXPECT_EQ(store.inserts(), inserts);
  EXPECT_EQ(store.erases(), erases);

  value[300] = 'Z';   // changes the second chunk only
  value.resize(520);  // and ends inside the third
  store_memo(store, kSlot, kNote, false, view(value));
  EXPECT_EQ(store.inserts() - inserts, 2);  // chunks 1 and 2 replaced
  EXPECT_EQ(store.erases() - erases, 2);
  EXPECT_EQ(read_memo(store, kSlot, kNote, false), [&] {
    Bytes padded = value;
    padded.resize(1000, ' ');
    return padded;
  }());

  value.resize(200);  // the later chunks go
  store_memo(store, kSlot, kNote, false, view(value));
  EXPECT_EQ(chunk_sizes(store), (std::vector<size_t>{256, 44, 200, 256, 44}));
  EXPECT_FALSE(memo_matches(store, kSlot, kNote, false, view(text(201))));

  delete_memos(store, 3, 40);
  EXPECT_EQ(chunk_sizes(store), (std::vector<size_t>{256, 44}));  // record 41 stays
}

TEST(MemoStoreTest, OemTablesConvertTextMemosOnly) {
  const uint8_t ansi[] = {0xC0, 0xE0, 'z', ' ', ' '};  // А а z
  KeyView value(ansi, sizeof ansi);
  MemoDecl note = kNote;
  note.size = 5;
  MapRecordStore store;
  store_memo(store, kSlot, note, true, value);
  EXPECT_EQ(store.records().begin()->second.data(), KeyView((const uint8_t*)"\x80\xA0z", 3));
  EXPECT_EQ(read_memo(store, kSlot, note, true), Bytes(ansi, ansi + 5));

  MemoDecl binary = note;
  binary.flags = memo_flag::kBinary;
  store_memo(store, kSlot, binary, true, value);
  EXPECT_EQ(store.records().begin()->second.data(), KeyView(ansi, 3));

  store_memo(store, kSlot, kScan, true, value);
  EXPECT_EQ(store.records().begin()->second.data().substr(4), value);
}

TEST(MemoStoreTest, ReadStopsAtTheDeclaredSize) {
  MapRecordStore store;
  store_memo(store, kSlot, kNote, false, view(text(700)));
  MemoDecl small = kNote;
  small.size = 300;
  EXPECT_EQ(read_memo(store, kSlot, small, false), text(300));
}

}  // namespace
}  // namespace orvel::datafile
