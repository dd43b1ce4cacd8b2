#include "datafile/placement.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "datafile/tests/test_file.h"

namespace orvel::datafile {
namespace {

using testing::check_of;

// Pages as numbers at addresses; refuses a move onto an occupied address or from an empty
// one.
class FakeMover final : public PageMover {
 public:
  void move_page(int32_t from, int32_t to) override {
    if (from == to) return;
    auto it = pages_.find(from);
    ASSERT_NE(it, pages_.end()) << "no page at " << from;
    ASSERT_EQ(pages_.count(to), 0u) << "address " << to << " is taken";
    int id = it->second;
    pages_.erase(it);
    pages_[to] = id;
    ++moves_;
  }
  int32_t next_negative_address() override { return next_negative_--; }

  int32_t add_unplaced(int id) {
    int32_t a = next_negative_address();
    pages_[a] = id;
    return a;
  }
  int32_t address_of(int id) const {
    for (const auto& [a, i] : pages_) {
      if (i == id) return a;
    }
    return INT32_MIN;
  }
  void remove(int32_t address) { pages_.erase(address); }
  const std::map<int32_t, int>& pages() const { return pages_; }
  int moves() const { return moves_; }

 private:
  std::map<int32_t, int> pages_;
  int32_t next_negative_ = -1;
  int moves_ = 0;
};

class PlacementTest : public ::testing::Test {
 protected:
  int32_t place_new(int id, int size_class) {
    int32_t a = mover_.add_unplaced(id);
    return placement_.place(a, size_class);
  }

  // Every page lies on a slot of the region of its class, every slot holds a page.
  void expect_sound(const std::map<int, int>& class_of_id) {
    ASSERT_TRUE(header_.regions_valid());
    EXPECT_EQ(header_.region_start(1), 0);
    size_t slots = 0;
    for (int i = 1; i <= kMaxClass; ++i) {
      for (int32_t a = header_.region_start(i); a < header_.region_end(i); a += i) {
        ++slots;
        auto it = mover_.pages().find(a);
        ASSERT_NE(it, mover_.pages().end()) << "empty slot " << a << " of region " << i;
        EXPECT_EQ(class_of_id.at(it->second), i) << "page " << it->second;
      }
    }
    EXPECT_EQ(slots, mover_.pages().size());
  }

  FileHeader header_ = FileHeader::new_file();
  FakeMover mover_;
  Placement placement_{&header_, &mover_};
};

TEST_F(PlacementTest, RegionOneStaysAtZeroAndHigherRegionsMakeRoom) {
  EXPECT_EQ(place_new(1, 2), 0);
  EXPECT_EQ(header_.region_start(2), 0);
  EXPECT_EQ(header_.region_end(2), 2);
  EXPECT_EQ(place_new(2, 1), 0) << "region 1 takes address 0";
  EXPECT_EQ(mover_.address_of(1), 1) << "region 2 moved up by one unit";
  EXPECT_EQ(place_new(3, 3), 3);
  expect_sound({{1, 2}, {2, 1}, {3, 3}});
  EXPECT_EQ(header_.computed_data_end(), 0x200u + 6 * 256);
}

TEST_F(PlacementTest, FreeingASlotMovesTheLastPageOfTheRegionIntoIt) {
  for (int id = 1; id <= 4; ++id) place_new(id, 2);
  int32_t first = mover_.address_of(1);
  int32_t last_id = mover_.pages().rbegin()->second;
  mover_.remove(first);
  placement_.free_slot(first, 2);
  EXPECT_EQ(mover_.address_of(last_id), first);
  EXPECT_EQ(header_.pages_in_region(2), 3);
}

TEST_F(PlacementTest, ChangingClassMovesOutAndBackIn) {
  for (int id = 1; id <= 3; ++id) place_new(id, 2);
  place_new(4, 3);
  int32_t a = mover_.address_of(2);
  placement_.place(a, 3);
  placement_.compact();
  expect_sound({{1, 2}, {2, 3}, {3, 2}, {4, 3}});
  EXPECT_EQ(header_.pages_in_region(2), 2);
  EXPECT_EQ(header_.pages_in_region(3), 2);
}

TEST_F(PlacementTest, RoomAboveForMoreUnitsThanTheClassIsCheck1781) {
  EXPECT_EQ(check_of([&] { placement_.make_room_above(3, 4); }), 1781);
}

// Random appearances, disappearances and class changes; after every round of placement
// and compaction the regions are packed, in order, without gaps that compaction can close.
TEST_F(PlacementTest, RandomChangesKeepTheRegionsPacked) {
  std::mt19937 rng(11);
  std::map<int, int> class_of_id;
  int next_id = 1;
  for (int round = 0; round < 300; ++round) {
    for (int change = 0; change < 5; ++change) {
      int what = int(rng() % 3);
      int size_class = 1 + int(rng() % 12 == 0 ? rng() % kMaxClass : rng() % 6);
      if (what == 0 || class_of_id.empty()) {
        class_of_id[next_id] = size_class;
        place_new(next_id++, size_class);
      } else {
        auto it = class_of_id.begin();
        std::advance(it, rng() % class_of_id.size());
        int32_t a = mover_.address_of(it->first);
        if (what == 1) {
          int k = it->second;
          mover_.remove(a);
          class_of_id.erase(it);
          placement_.free_slot(a, k);
        } else {
          it->second = size_class;
          placement_.place(a, size_class);
        }
      }
    }
    placement_.compact();
    ASSERT_NO_FATAL_FAILURE(expect_sound(class_of_id)) << "round " << round;
    for (int i = 2; i <= kMaxClass; ++i) {
      int32_t gap = header_.region_start(i) - header_.region_end(i - 1);
      if (header_.pages_in_region(i) >= 2) {
        EXPECT_LT(gap, i) << "region " << i;
      } else {
        EXPECT_EQ(gap, 0) << "region " << i;
      }
    }
  }
}

}  // namespace
}  // namespace orvel::datafile
