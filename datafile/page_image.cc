#include "datafile/page_image.h"

#include <cstring>

#include "datafile/byte_order.h"
#include "datafile/corruption.h"
#include "datafile/record_framing.h"
#include "datafile/run_length.h"

namespace orvel::datafile {
namespace {

constexpr size_t kStoredSizeAt = 4;
constexpr size_t kUncompressedSizeAt = 6;
constexpr size_t kSizeEstimateAt = 8;
constexpr size_t kRecordCountAt = 10;
constexpr size_t kLevelAt = 12;
constexpr uint8_t kPadding = 0xB0;

size_t round_up_to_unit(size_t n) {
  return (n + kPageUnit - 1) & ~(kPageUnit - 1);
}

size_t header_length(uint8_t level, size_t record_count) {
  return kPageHeaderSize + (level > 0 ? 4 * record_count : 0);
}

}  // namespace

void load_page_image(const uint8_t* image, size_t image_length, int size_class, PageContents* out) {
  if (size_class < 1 || size_class > kMaxSizeClass ||
      image_length != size_t(size_class) * kPageUnit) {
    corruption_check(1477);
  }
  size_t stored = load_u16_le(image + kStoredSizeAt);
  size_t uncompressed = load_u16_le(image + kUncompressedSizeAt);
  if (round_up_to_unit(stored) != image_length) corruption_check(1477);
  size_t count = load_u16_le(image + kRecordCountAt);
  uint8_t level = image[kLevelAt];
  size_t h = header_length(level, count);
  // The page header and the child addresses are never compressed, so both sizes cover them.
  if (h > stored || h > uncompressed) corruption_check(1602);

  out->level = level;
  out->size_estimate = load_u16_le(image + kSizeEstimateAt);
  if (stored < uncompressed) {
    // One buffer per thread for the decompressed area: loading a page allocates nothing
    // for it.
    thread_local Bytes area;
    if (area.size() < uncompressed - h) area.resize(uncompressed - h);
    run_length_decode(image + h, stored - h, area.data(), uncompressed - h);
    parse_records(area.data(), uncompressed - h, count, &out->records);
  } else {
    parse_records(image + h, uncompressed - h, count, &out->records);
  }
  out->children.clear();
  if (level > 0) {
    out->children.resize(count);
    for (size_t k = 0; k < count; ++k) {
      out->children[k] = int32_t(load_u32_le(image + kPageHeaderSize + 4 * k));
    }
  }
}

PageImage build_page_image(const PageContents& page) {
  size_t count = page.records.size();
  size_t h = header_length(page.level, count);
  Bytes framed;
  frame_records(page.records, &framed);
  size_t uncompressed = h + framed.size();
  if (uncompressed > page.size_estimate) corruption_check(1659);

  Bytes encoded(run_length_bound(framed.size()));
  size_t encoded_length = run_length_encode(framed.data(), framed.size(), encoded.data());
  bool compress =
      encoded_length != 0 && round_up_to_unit(h + encoded_length) < round_up_to_unit(uncompressed);
  size_t stored = compress ? h + encoded_length : uncompressed;
  size_t rounded = round_up_to_unit(stored);
  if (rounded > kMaxPageImage) corruption_check(1678);

  PageImage result;
  result.size_class = int(rounded / kPageUnit);
  result.bytes.assign(rounded, 0);
  uint8_t* p = result.bytes.data();
  const Bytes& area = compress ? encoded : framed;
  if (stored > h) std::memcpy(p + h, area.data(), stored - h);
  std::memset(p + stored, kPadding, rounded - stored);
  store_u16_le(p + kStoredSizeAt, uint16_t(stored));
  store_u16_le(p + kUncompressedSizeAt, uint16_t(uncompressed));
  store_u16_le(p + kSizeEstimateAt, page.size_estimate);
  store_u16_le(p + kRecordCountAt, uint16_t(count));
  p[kLevelAt] = page.level;
  return result;
}

}  // namespace orvel::datafile
