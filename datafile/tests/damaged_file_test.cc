// Damaged files: every operation either works or ends with a corruption check (or error 36
// at open); none may crash, hang or read out of bounds (the sanitizers watch).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "datafile/tests/test_file.h"

namespace orvel::datafile {
namespace {

using testing::bytes_of;
using testing::check_of;
using testing::Contents;
using testing::joined;
using testing::key_of;
using testing::make_record;
using testing::TestFile;

Bytes sound_file() {
  TestFile t;
  EXPECT_EQ(t.open(), kNoError);
  std::mt19937 rng(3);
  for (int i = 0; i < 1500; ++i) {
    Bytes data(rng() % 200);
    for (auto& b : data) b = uint8_t(rng() % 4 == 0 ? rng() : 'a');
    t.insert(make_record(bytes_of("key" + std::to_string(100000 + i)), data));
  }
  t.close();
  return t.bytes();
}

// Reads everything, checks, changes and commits; returns the check that stopped it, or 0.
int exercise(TestFile& t) {
  return check_of([&] {
    Contents all = t.contents();
    t.check();
    for (int i = 0; i < 40; ++i) t.insert(make_record("new" + std::to_string(i), 300));
    for (const auto& [key, data] : all) {
      if (key.size() % 3 == 0) t.tree().erase(key_of(key));
    }
    t.file().commit();
    t.check();
  });
}

TEST(DamagedFileTest, DamagedPagesAndHeadersEndInCorruptionChecks) {
  const Bytes sound = sound_file();
  ASSERT_GT(sound.size(), 20000u);
  int stopped = 0, survived = 0;
  for (uint32_t seed = 0; seed < 300; ++seed) {
    std::mt19937 rng(seed);
    Bytes damaged = sound;
    int flips = 1 + int(rng() % 8);
    for (int i = 0; i < flips; ++i) {
      // A third of the damage goes to the header, the rest to the pages.
      size_t at = rng() % 3 == 0 ? rng() % kFileHeaderSize : rng() % damaged.size();
      damaged[at] = uint8_t(rng());
    }
    TestFile t;
    t.fs().set_contents(t.path(), damaged);
    int rc = kNoError;
    int check = check_of([&] { rc = t.open(); });
    if (check != 0 || rc != kNoError) {
      ++stopped;
      continue;
    }
    (exercise(t) == 0 ? survived : stopped)++;
  }
  std::printf("%d damaged files stopped by a check, %d still worked\n", stopped, survived);
  EXPECT_GT(stopped, 0);
}

TEST(DamagedFileTest, AHeaderThatGoesBadAfterOpenStopsTheTreeAndTheClose) {
  TestFile t;
  ASSERT_EQ(t.open(), kNoError);
  t.insert(make_record("a", 10));
  ASSERT_EQ(t.file().commit(), kNoError);
  ASSERT_EQ(t.file().end_operation(), kNoError);
  t.fs().set_contents(t.path(), Bytes(300, 0));
  EXPECT_EQ(check_of([&] { t.tree().find_equal(key_of(bytes_of("a"))); }), 1013);
  EXPECT_EQ(check_of([&] { t.file().issue_number(); }), 1164);
  EXPECT_EQ(check_of([&] { t.file().close(); }), 1143);
}

// A page that placement must move but that the tree does not reach: its parent is not
// found.
TEST(DamagedFileTest, AnUnreachablePageThatMustMoveIsCheck1894) {
  TestFile t;
  ASSERT_EQ(t.open(), kNoError);
  for (int i = 0; i < 200; ++i) t.insert(make_record("k" + std::to_string(1000 + i), 100));
  ASSERT_EQ(t.file().commit(), kNoError);
  const FileHeader& h = t.file().header();
  Page* root = t.file().load_page(t.file().root_address());
  ASSERT_EQ(root->contents.level, 1);
  std::vector<int32_t> leaves = root->contents.children;
  // A region holding two leaves: the last one is made unreachable, the first one grows out.
  int region = 0;
  for (int r = 1; r <= kMaxClass && !region; ++r) {
    if (h.pages_in_region(r) >= 2) region = r;
  }
  ASSERT_NE(region, 0);
  int32_t lost = h.region_end(region) - region;
  int32_t grower = h.region_start(region);
  auto index_of = [&](int32_t a) {
    return size_t(std::find(leaves.begin(), leaves.end(), a) - leaves.begin());
  };
  size_t lost_index = index_of(lost);
  ASSERT_LT(lost_index, leaves.size());
  root->contents.children[lost_index] = leaves[lost_index == 0 ? 1 : lost_index - 1];
  t.file().mark_changed(root);
  ASSERT_EQ(t.file().commit(), kNoError);

  Page* g = t.file().load_page(grower);
  Bytes first(g->contents.records.front().key().begin(), g->contents.records.front().key().end());
  std::mt19937 rng(1);
  int result = check_of([&] {
    for (int i = 0; i < 12; ++i) {
      Bytes k = first;
      k.push_back(uint8_t('0' + i));
      Bytes data(200);
      for (auto& b : data) b = uint8_t(rng());
      t.tree().insert(make_record(k, data));
    }
    t.file().commit();
  });
  EXPECT_EQ(result, 1894);
}

// The checker itself: each kind of damage is named.
TEST(DamagedFileTest, TheIntegrityCheckerNamesEachKindOfDamage) {
  auto has = [](const std::vector<std::string>& lines, const std::string& text) {
    for (const auto& l : lines) {
      if (l.find(text) != std::string::npos) return true;
    }
    return false;
  };
  auto build = [](TestFile& t) {
    ASSERT_EQ(t.open(), kNoError);
    for (int i = 0; i < 200; ++i) t.insert(make_record("k" + std::to_string(1000 + i), 100));
    ASSERT_EQ(t.file().commit(), kNoError);
    ASSERT_TRUE(t.check().empty());
  };
  struct Case {
    const char* damage;
    std::function<void(TestFile&)> apply;
  } cases[] = {
      {"differs from its child's first key",
       [](TestFile& t) {
         Page* root = t.file().load_page(t.file().root_address());
         root->contents.records[1].bytes.push_back('!');
         root->contents.records[1].key_length++;
         root->contents.size_estimate++;
         t.file().mark_changed(root);
       }},
      {"is not in the tree",
       [](TestFile& t) {
         Page* root = t.file().load_page(t.file().root_address());
         root->contents.children[2] = root->contents.children[1];
         t.file().mark_changed(root);
       }},
      {"stores size estimate",
       [](TestFile& t) {
         Page* leaf =
             t.file().load_page(t.file().load_page(t.file().root_address())->contents.children[0]);
         leaf->contents.size_estimate += 7;
         t.file().mark_changed(leaf);
       }},
      {"does not follow the key before it",
       [](TestFile& t) {
         Page* root = t.file().load_page(t.file().root_address());
         Page* leaf = t.file().load_page(root->contents.children[1]);
         Record& last = leaf->contents.records.back();
         last.bytes[1] = '0';  // sorts before the keys of the page's own range
         t.file().mark_changed(leaf);
       }},
  };
  for (const Case& c : cases) {
    TestFile t;
    build(t);
    c.apply(t);
    ASSERT_EQ(t.file().commit(), kNoError);
    EXPECT_TRUE(has(t.check(), c.damage)) << c.damage << "\n" << joined(t.check());
  }
  // Damage to the stored bytes.
  TestFile t;
  build(t);
  t.close();
  Bytes bytes = t.bytes();
  bytes[0x200] ^= 0x40;  // the root's own offset
  t.fs().set_contents(t.path(), bytes);
  ASSERT_EQ(t.open(), kNoError);
  EXPECT_TRUE(has(t.check(), "carries the offset")) << joined(t.check());
  // A data end that no longer matches the journal end reads as an interrupted commit:
  // recovery finds no journal there and ends it.
  bytes[0x200] ^= 0x40;
  bytes[0x06] ^= 0x01;
  t.fs().set_contents(t.path(), bytes);
  ASSERT_EQ(t.open(), kNoError);
  EXPECT_TRUE(t.check().empty()) << joined(t.check());
  EXPECT_EQ(t.contents().size(), 200u);
}

TEST(DamagedFileTest, ARecordTooLongForAPageOfItsOwnIsCheck1364) {
  TestFile t;
  ASSERT_EQ(t.open(), kNoError);
  EXPECT_EQ(check_of([&] { t.insert(make_record("big", kSplitAlways - 13 - 5 - 3 + 1)); }), 1364);
}

}  // namespace
}  // namespace orvel::datafile
