// Fuzz target for loading page images.
//
// The first 256 x c bytes of the input are loaded as a page of size class c, for every class
// the input is long enough for, each from a heap copy of exactly that size so that
// AddressSanitizer sees a read beyond the image. A damaged image may only be refused with a
// CorruptionError. A page that loads is built again, its child addresses filled in as the
// writer does, and loaded once more: it must give the same contents. The build may refuse a
// page whose content is above its size estimate or whose image would be too large, since a
// hostile image can claim both.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "datafile/byte_order.h"
#include "datafile/corruption.h"
#include "datafile/page_image.h"
#include "fuzz/fuzz_check.h"

namespace orvel::datafile {
namespace {

using fuzz::require;

bool same_contents(const PageContents& a, const PageContents& b) {
  return a.level == b.level && a.size_estimate == b.size_estimate && a.records == b.records &&
         a.children == b.children;
}

void check_rebuild(const PageContents& page) {
  PageImage image;
  try {
    image = build_page_image(page);
  } catch (const CorruptionError& e) {
    require(e.check() == 1659 || e.check() == 1678,
            "a loaded page is refused by the build only for its estimate or its size");
    return;
  }
  require(image.size_class >= 1 && image.size_class <= kMaxSizeClass &&
              image.bytes.size() == size_t(image.size_class) * kPageUnit,
          "a built image fills its size class");
  for (size_t k = 0; k < page.children.size(); ++k) {
    store_u32_le(image.bytes.data() + kPageHeaderSize + 4 * k, uint32_t(page.children[k]));
  }
  PageContents again;
  load_page_image(image.bytes.data(), image.bytes.size(), image.size_class, &again);
  require(same_contents(page, again), "a rebuilt page loads the same contents");
}

void check_load(const uint8_t* data, int size_class) {
  const size_t length = size_t(size_class) * kPageUnit;
  std::vector<uint8_t> image(data, data + length);
  PageContents page;
  try {
    load_page_image(image.data(), image.size(), size_class, &page);
  } catch (const CorruptionError&) {
    return;
  }
  require(page.children.size() == (page.level > 0 ? page.records.size() : 0),
          "an inner page has one child per record, a leaf none");
  for (const Record& record : page.records) {
    require(record.key_length <= record.bytes.size() && record.bytes.size() <= kMaxRecordLength,
            "a loaded record has a key inside it and a length a file allows");
  }
  check_rebuild(page);
}

}  // namespace
}  // namespace orvel::datafile

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvel::datafile;
  const int classes = int(std::min<size_t>(size / kPageUnit, kMaxSizeClass));
  for (int size_class = 1; size_class <= classes; ++size_class) check_load(data, size_class);
  return 0;
}
