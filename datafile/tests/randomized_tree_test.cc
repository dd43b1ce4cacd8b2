// Random inserts and deletes against an ordered map, with commits and reopenings at random
// points; the file is checked for integrity after every commit.
//
// ORVEL_RANDOM_OPS sets the number of operations (default 100000), ORVEL_RANDOM_SEED the
// seed (default fixed; printed either way).
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "datafile/tests/test_file.h"

namespace orvel::datafile {
namespace {

using testing::Contents;
using testing::joined;
using testing::key_of;
using testing::make_record;
using testing::TestFile;

// The longest record that still fits a page of its own.
constexpr size_t kLongestRecord = kSplitAlways - kPageHeaderSize - 5;

uint64_t env_or(const char* name, uint64_t fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtoull(v, nullptr, 10) : fallback;
}

class RandomRecords {
 public:
  explicit RandomRecords(uint64_t seed) : rng_(seed) {}

  uint64_t below(uint64_t n) { return rng_() % n; }

  // Keys of 1 to 40 bytes from a limited space, so that deletes and re-inserts meet.
  Bytes key() {
    uint64_t id = below(4000);
    Bytes k{uint8_t(id >> 8), uint8_t(id)};
    size_t extra = id % 7 == 0 ? 38 : id % 3;
    for (size_t i = 0; i < extra; ++i) k.push_back(uint8_t('a' + (id + i) % 26));
    if (id % 11 == 0) k.resize(1);  // some one-byte keys, prefixes of others
    return k;
  }

  // Mostly small, some medium, a few up to the longest a page holds.
  Bytes data(size_t key_length) {
    uint64_t pick = below(100);
    size_t n = pick < 80 ? below(60) : pick < 96 ? 60 + below(2000) : 2000 + below(13000);
    if (pick == 99) n = kLongestRecord;
    n = std::min(n, kLongestRecord - key_length);
    Bytes d(n);
    uint8_t fill = uint8_t(rng_());
    for (size_t i = 0; i < n; ++i) {
      if (below(8) == 0) fill = uint8_t(rng_());  // runs that compress, and bytes that do not
      d[i] = fill;
    }
    return d;
  }

 private:
  std::mt19937_64 rng_;
};

TEST(RandomizedTreeTest, InsertsAndDeletesMatchAnOrderedMap) {
  const uint64_t operations = env_or("ORVEL_RANDOM_OPS", 100000);
  const uint64_t seed = env_or("ORVEL_RANDOM_SEED", 20261211);
  std::printf("randomized tree test: %llu operations, seed %llu\n",
              static_cast<unsigned long long>(operations), static_cast<unsigned long long>(seed));
  SCOPED_TRACE("seed " + std::to_string(seed));
  RandomRecords random(seed);
  TestFile t;
  ASSERT_EQ(t.open(), kNoError);
  Contents model;
  int commits = 0, reopenings = 0;

  for (uint64_t op = 0; op < operations; ++op) {
    Bytes key = random.key();
    auto it = model.find(key);
    if (it == model.end()) {
      Bytes data = random.data(key.size());
      t.insert(make_record(key, data));
      model.emplace(key, std::move(data));
    } else if (random.below(3) != 0) {
      t.tree().erase(key_of(key));
      model.erase(it);
    } else {
      const Record* r = t.tree().find_equal(key_of(key));
      ASSERT_NE(r, nullptr) << "op " << op;
      ASSERT_EQ(r->data(), key_of(it->second)) << "op " << op;
    }

    if (random.below(200) == 0 || op + 1 == operations) {
      ASSERT_EQ(t.file().commit(), kNoError) << "op " << op;
      ++commits;
      auto problems = t.check();
      ASSERT_TRUE(problems.empty()) << "after op " << op << ":\n" << joined(problems);
      if (random.below(10) == 0 || op + 1 == operations) {
        t.reopen();
        ++reopenings;
        ASSERT_EQ(t.contents(), model) << "after reopening at op " << op;
      }
    }
  }
  std::printf("%d commits, %d reopenings, %zu records, file of %zu bytes\n", commits, reopenings,
              model.size(), t.bytes().size());
}

}  // namespace
}  // namespace orvel::datafile
