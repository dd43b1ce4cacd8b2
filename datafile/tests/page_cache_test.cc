#include "datafile/page_cache.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvel::datafile {
namespace {

class PageCacheTest : public ::testing::Test {
 protected:
  Page* add(int32_t address) {
    auto page = std::make_unique<Page>();
    page->address = address;
    return cache_.insert(std::move(page));
  }
  // A lookup as the file does it: trim, find, touch.
  Page* lookup(int32_t address) {
    cache_.trim();
    Page* p = cache_.find(address);
    if (!p) p = add(address);
    cache_.touch(p);
    return p;
  }

  PageCache cache_;
};

TEST_F(PageCacheTest, FindsPagesByAddressAcrossBuckets) {
  for (int32_t a : {0, 100, 200, -1, -101, 7}) add(a);
  for (int32_t a : {0, 100, 200, -1, -101, 7}) {
    ASSERT_NE(cache_.find(a), nullptr) << a;
    EXPECT_EQ(cache_.find(a)->address, a);
  }
  EXPECT_EQ(cache_.find(300), nullptr);
  Page* p = cache_.find(100);
  uint64_t serial = p->serial;
  cache_.rekey(p, 300);
  EXPECT_EQ(cache_.find(100), nullptr);
  EXPECT_EQ(cache_.find(300), p);
  EXPECT_NE(p->serial, serial) << "a moved page is not the page positions saw";
}

TEST_F(PageCacheTest, TrimsTo99ThenByTheAgeRule) {
  for (int32_t a = 0; a < 150; ++a) add(a);
  // An old hot page makes the clock run far ahead of the number of pages.
  for (int i = 0; i < 5000; ++i) cache_.touch(cache_.find(149));
  for (int32_t a = 0; a < 150; ++a) cache_.touch(cache_.find(a));
  ASSERT_EQ(cache_.unchanged_count(), 150u);
  lookup(149);
  EXPECT_EQ(cache_.unchanged_count(), 99u)
      << "recently used pages stay once fewer than 100 are kept";
  EXPECT_EQ(cache_.find(50), nullptr) << "the least recently used went first";
  EXPECT_NE(cache_.find(51), nullptr);

  // Pages left idle for long compared with their age go, but never below 20.
  for (int i = 0; i < 1000; ++i) cache_.touch(cache_.find(149));
  lookup(149);
  EXPECT_LT(cache_.unchanged_count(), 99u);
  EXPECT_GE(cache_.unchanged_count(), 20u);
  EXPECT_NE(cache_.find(149), nullptr);
  for (int i = 0; i < 100000; ++i) cache_.touch(cache_.find(149));
  lookup(5000);
  EXPECT_EQ(cache_.unchanged_count(), 20u) << "19 kept, and the page loaded";
}

TEST_F(PageCacheTest, ChangedPagesAreNeverTrimmed) {
  std::vector<Page*> changed;
  for (int32_t a = 0; a < 130; ++a) {
    Page* p = add(a);
    if (a % 2 == 0) {
      cache_.mark_changed(p);
      changed.push_back(p);
    }
  }
  for (int i = 0; i < 10000; ++i) lookup(1000 + i % 300);
  EXPECT_EQ(cache_.changed_count(), 65u);
  EXPECT_LT(cache_.unchanged_count(), 100u);
  EXPECT_EQ(cache_.changed_pages(), changed) << "in the order they were changed";
  for (Page* p : changed) EXPECT_EQ(cache_.find(p->address), p);
  cache_.drop_all();
  EXPECT_EQ(cache_.changed_count() + cache_.unchanged_count(), 0u);
}

}  // namespace
}  // namespace orvel::datafile
