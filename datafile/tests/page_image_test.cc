#include "datafile/page_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>

#include "datafile/byte_order.h"
#include "datafile/corruption.h"

namespace orvel::datafile {
namespace {

Record record_of(const Bytes& key, const Bytes& data) {
  return make_record(KeyView(key.data(), key.size()), KeyView(data.data(), data.size()));
}

// Bytes without any run of 4 equal bytes.
Bytes varied(size_t length, uint8_t seed) {
  Bytes out(length);
  for (size_t i = 0; i < length; ++i) out[i] = uint8_t(seed + i * 7 + i / 251);
  return out;
}

PageContents leaf_of(std::vector<Record> records, uint16_t estimate = 0xFFFF) {
  PageContents page;
  page.records = std::move(records);
  page.size_estimate = estimate;
  return page;
}

PageContents load(const PageImage& image) {
  PageContents page;
  load_page_image(image.bytes.data(), image.bytes.size(), image.size_class, &page);
  return page;
}

int check_of(const std::function<void()>& action) {
  try {
    action();
  } catch (const CorruptionError& e) {
    return e.check();
  }
  return 0;
}

int load_check(const Bytes& image, int size_class) {
  return check_of([&] {
    PageContents page;
    load_page_image(image.data(), image.size(), size_class, &page);
  });
}

uint16_t stored_size(const PageImage& image) {
  return load_u16_le(image.bytes.data() + 4);
}
uint16_t uncompressed_size(const PageImage& image) {
  return load_u16_le(image.bytes.data() + 6);
}

TEST(PageImageTest, CompressedLeafLayout) {
  // A data record of blank-padded text compresses well.
  Bytes text(700, 0x20);
  std::copy_n("IVANOV", 6, text.begin());
  PageContents page =
      leaf_of({record_of({}, {}), record_of({0, 0, 0, 1, 0xF3, 0, 0, 0, 1}, text)}, 1000);
  PageImage image = build_page_image(page);
  ASSERT_EQ(image.size_class, 1);
  ASSERT_EQ(image.bytes.size(), 256u);
  const uint8_t* p = image.bytes.data();
  EXPECT_EQ(load_u32_le(p), 0u);  // the writer fills in the page's offset
  EXPECT_LT(stored_size(image), uncompressed_size(image));
  EXPECT_EQ(uncompressed_size(image), 13 + 5 + 5 + 709);
  EXPECT_EQ(load_u16_le(p + 8), 1000);
  EXPECT_EQ(load_u16_le(p + 10), 2);
  EXPECT_EQ(p[12], 0);
  for (size_t i = stored_size(image); i < 256; ++i) ASSERT_EQ(p[i], 0xB0) << i;

  PageContents loaded = load(image);
  EXPECT_EQ(loaded.records, page.records);
  EXPECT_EQ(loaded.size_estimate, 1000);
  EXPECT_EQ(loaded.level, 0);
  EXPECT_TRUE(loaded.children.empty());
}

TEST(PageImageTest, NewRootLeafHoldsOnlyTheSentinel) {
  PageContents root;
  root.records = {Record{}};
  root.size_estimate = 18;
  PageImage image = build_page_image(root);
  Bytes head(image.bytes.begin(), image.bytes.begin() + 18);
  EXPECT_EQ(head, (Bytes{0, 0, 0, 0, 18, 0, 18, 0, 18, 0, 1, 0, 0, 0xC0, 0, 0, 0, 0}));
  EXPECT_EQ(image.bytes[18], 0xB0);
  EXPECT_EQ(load(image).records, root.records);

  PageContents empty = leaf_of({}, kPageHeaderSize);
  EXPECT_TRUE(load(build_page_image(empty)).records.empty());
}

TEST(PageImageTest, IncompressibleAreaIsStoredAsIs) {
  PageContents page = leaf_of({record_of(varied(4, 1), varied(300, 9))});
  PageImage image = build_page_image(page);
  EXPECT_EQ(stored_size(image), uncompressed_size(image));
  EXPECT_EQ(stored_size(image), 13 + 5 + 304);
  EXPECT_EQ(image.size_class, 2);
  Bytes framed_bytes(image.bytes.begin() + 18, image.bytes.begin() + 18 + 304);
  EXPECT_EQ(framed_bytes, page.records[0].bytes);
  EXPECT_EQ(load(image).records, page.records);
}

TEST(PageImageTest, CompressionIsKeptOnlyWhenItSavesAUnit) {
  // One run of 10 saves a few bytes, not a unit: 13 + 5 + 201 = 219 bytes framed, 1 unit
  // either way.
  Bytes data = varied(190, 3);
  data.insert(data.end(), 10, 0x20);
  PageImage same_units = build_page_image(leaf_of({record_of({1}, data)}));
  EXPECT_EQ(stored_size(same_units), uncompressed_size(same_units));
  EXPECT_EQ(stored_size(same_units), 219);

  // 300 blanks take 2 units framed but a few bytes compressed.
  Bytes blanks = varied(100, 3);
  blanks.insert(blanks.end(), 300, 0x20);
  PageImage saves = build_page_image(leaf_of({record_of({1}, blanks)}));
  EXPECT_EQ(uncompressed_size(saves), 13 + 5 + 401);
  EXPECT_LT(stored_size(saves), 256);
  EXPECT_EQ(saves.size_class, 1);
}

TEST(PageImageTest, PageEndingOnAUnitHasNoPadding) {
  PageImage image = build_page_image(leaf_of({record_of({7}, varied(237, 5))}));
  EXPECT_EQ(stored_size(image), 256);
  EXPECT_EQ(image.bytes.size(), 256u);
  EXPECT_NE(image.bytes[255], 0xB0);
}

TEST(PageImageTest, InnerPageKeepsChildAddressesOutsideTheRecordArea) {
  PageContents page;
  page.level = 2;
  page.size_estimate = 2000;
  for (uint8_t k = 0; k < 3; ++k) page.records.push_back(record_of({k}, Bytes(200, 0)));
  page.children = {5, 9, -3};
  PageImage image = build_page_image(page);
  // Child addresses are left zero for the writer to fill.
  for (size_t i = 13; i < 25; ++i) EXPECT_EQ(image.bytes[i], 0) << i;
  EXPECT_LT(stored_size(image), uncompressed_size(image));
  store_u32_le(image.bytes.data() + 13, 5);
  store_u32_le(image.bytes.data() + 17, 9);
  store_u32_le(image.bytes.data() + 21, uint32_t(-3));
  PageContents loaded = load(image);
  EXPECT_EQ(loaded.level, 2);
  EXPECT_EQ(loaded.records, page.records);
  EXPECT_EQ(loaded.children, page.children);
}

TEST(PageImageTest, BuildLimits) {
  // Framed content of 13 + 5 + 101 bytes against estimates just below and at it.
  PageContents page = leaf_of({record_of({1}, varied(100, 1))}, 118);
  EXPECT_EQ(check_of([&] { build_page_image(page); }), 1659);
  page.size_estimate = 119;
  EXPECT_EQ(check_of([&] { build_page_image(page); }), 0);

  // Two incompressible records of 8000 bytes need more than 59 units.
  PageContents big = leaf_of({record_of({1}, varied(8000, 1)), record_of({2}, varied(8000, 2))});
  EXPECT_EQ(check_of([&] { build_page_image(big); }), 1678);
  // The same bytes fit once compression saves enough.
  big.records[1] = record_of({2}, Bytes(8000, 0x20));
  EXPECT_EQ(check_of([&] { build_page_image(big); }), 0);
}

TEST(PageImageTest, DamagedImagesAreCorruption) {
  Bytes text(600, 0x20);
  std::copy_n("PETROV", 6, text.begin());
  PageContents page = leaf_of({record_of({1}, text), record_of({2}, text)});
  PageImage compressed = build_page_image(page);
  ASSERT_LT(stored_size(compressed), uncompressed_size(compressed));
  PageImage plain = build_page_image(leaf_of({record_of({1}, varied(300, 1))}));
  ASSERT_EQ(plain.size_class, 2);

  struct Case {
    const char* name;
    const PageImage& base;
    std::function<void(Bytes&)> damage;
    int size_class;  // 0: the image's own
    int check;
  };
  const Case cases[] = {
      {"stored size of another class", plain, [](Bytes& b) { store_u16_le(b.data() + 4, 200); }, 0,
       1477},
      {"image read with the wrong class", plain, [](Bytes&) {}, 1, 1477},
      {"class beyond 59", plain, [](Bytes&) {}, 60, 1477},
      {"one record more", plain, [](Bytes& b) { b[10] = 2; }, 0, 1602},
      {"uncompressed size one short", plain,
       [](Bytes& b) { store_u16_le(b.data() + 6, uint16_t(load_u16_le(b.data() + 6) - 1)); }, 0,
       1602},
      {"child addresses beyond the image", plain,
       [](Bytes& b) {
         b[12] = 1;
         store_u16_le(b.data() + 10, 200);
       },
       0, 1602},
      {"uncompressed size below the header", plain, [](Bytes& b) { store_u16_le(b.data() + 6, 4); },
       0, 1602},
      {"decompressed records one short", compressed,
       [](Bytes& b) { store_u16_le(b.data() + 6, uint16_t(load_u16_le(b.data() + 6) + 1)); }, 0,
       530},
      {"literal count beyond the area", compressed, [](Bytes& b) { b[13] = 0x7F; }, 0, 522},
      {"records of a compressed page end early", compressed, [](Bytes& b) { b[10] = 1; }, 0, 1602},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = c.base.bytes;
    c.damage(bytes);
    EXPECT_EQ(load_check(bytes, c.size_class ? c.size_class : c.base.size_class), c.check);
  }
}

std::vector<Record> random_records(std::mt19937& rng, size_t budget) {
  std::vector<Record> records;
  size_t used = 0;
  Bytes key = {0, 0, 0, uint8_t(rng() % 4), 0xF3};
  int count = int(rng() % 40);
  for (int k = 0; k < count; ++k) {
    // Keys grow in order: bump the last byte, sometimes lengthen or shorten.
    if (rng() % 5 == 0) key.push_back(uint8_t(rng()));
    key.back() = uint8_t(key.back() + 1 + rng() % 3);
    if (key.back() < 3) key.push_back(0);
    size_t data_length = rng() % 3 == 0 ? rng() % 800 : rng() % 40;
    Bytes data(data_length);
    uint8_t fill = uint8_t(rng());
    for (auto& b : data) b = rng() % 3 == 0 ? uint8_t(rng()) : fill;
    if (used + key.size() + data.size() + 5 > budget) break;
    used += key.size() + data.size() + 5;
    records.push_back(record_of(key, data));
  }
  return records;
}

TEST(PageImageTest, RandomPagesRoundTrip) {
  std::random_device device;
  unsigned seed = device();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  for (int round = 0; round < 300; ++round) {
    PageContents page;
    page.level = uint8_t(rng() % 3);
    page.records = random_records(rng, 12000);
    if (page.level > 0) page.children.assign(page.records.size(), 0);
    page.size_estimate = 0xF000;
    PageImage image = build_page_image(page);
    ASSERT_EQ(image.bytes.size(), size_t(image.size_class) * kPageUnit);
    PageContents loaded = load(image);
    ASSERT_EQ(loaded.records, page.records);
    ASSERT_EQ(loaded.level, page.level);
    ASSERT_EQ(loaded.children, page.children);
    ASSERT_EQ(loaded.size_estimate, page.size_estimate);
  }
}

// Damaged and random images end in a corruption check or load; nothing else may happen,
// and the sanitizers watch every read.
TEST(PageImageTest, GarbageImagesNeverReadOutOfBounds) {
  std::random_device device;
  unsigned seed = device();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  for (int round = 0; round < 3000; ++round) {
    Bytes bytes;
    int size_class;
    if (round % 4 == 0) {
      size_class = 1 + int(rng() % 4);
      bytes.resize(size_t(size_class) * kPageUnit);
      for (auto& b : bytes) b = uint8_t(rng() % 2 ? rng() : rng() % 4);
      store_u16_le(bytes.data() + 4, uint16_t(bytes.size() - rng() % 256));
    } else {
      PageContents page;
      page.level = uint8_t(rng() % 2);
      page.records = random_records(rng, 3000);
      if (page.level > 0) page.children.assign(page.records.size(), 0);
      page.size_estimate = 0xF000;
      PageImage image = build_page_image(page);
      bytes = image.bytes;
      size_class = image.size_class;
      int flips = 1 + int(rng() % 4);
      for (int f = 0; f < flips; ++f) {
        size_t at = rng() % 3 == 0 ? 4 + rng() % 9 : rng() % bytes.size();
        bytes[at] = uint8_t(rng() % 2 ? rng() : bytes[at] ^ (1u << (rng() % 8)));
      }
    }
    // Load from an exact-size heap copy so that any overrun is caught.
    auto copy = std::make_unique<uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), copy.get());
    PageContents page;
    try {
      load_page_image(copy.get(), bytes.size(), size_class, &page);
    } catch (const CorruptionError& e) {
      ASSERT_TRUE(e.check() == 522 || e.check() == 530 || e.check() == 1477 || e.check() == 1602)
          << e.check();
    }
  }
}

}  // namespace
}  // namespace orvel::datafile
