// Page images: the bytes of one page of the record tree as stored in the file, and the
// run-length compression of their record area.
//
// Page image layout (little-endian):
//   offset  width   field
//   0       u32     file offset of the page (A x 256 + 0x200), filled in when written
//   4       u16     stored size: bytes from 0 to the end of the stored record area
//   6       u16     uncompressed size: the same, were the record area not compressed
//   8       u16     size estimate of the content (drives splits), kept across reloads
//   10      u16     record count n
//   12      u8      level: 0 for a leaf
//   13      u32 x n child page addresses, only when level > 0, filled in when written
//   ...             record area, framed records, compressed when stored < uncompressed
//   stored  ...     padding 0xB0 up to the next multiple of 256
// A page image is 1 to 59 units of 256 bytes; that number is its size class.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "datafile/record.h"

namespace orvel::datafile {

inline constexpr size_t kPageUnit = 256;
inline constexpr int kMaxSizeClass = 59;
inline constexpr size_t kMaxPageImage = kMaxSizeClass * kPageUnit;  // 0x3B00
inline constexpr size_t kPageHeaderSize = 13;

// A page's contents in memory, as loaded from an image or to be built into one.
struct PageContents {
  uint8_t level = 0;
  uint16_t size_estimate = kPageHeaderSize;
  std::vector<Record> records;
  std::vector<int32_t> children;  // one per record when level > 0, else empty
};

struct PageImage {
  Bytes bytes;         // size_class x 256 bytes
  int size_class = 0;  // 1 to 59
};

// Parses the image of a page of the given size class (image_length == size_class x 256).
// Corruption checks 1477 (stored size does not fit the class), 1602 (records do not end at
// the uncompressed size), 522 and 530 (bad compressed stream).
void load_page_image(const uint8_t* image, size_t image_length, int size_class, PageContents* out);

// Builds the image of a page: framing, compression when it saves a 256-byte unit, padding.
// Offset 0 and the child addresses are left zero; the writer fills them in once placement
// has fixed every address. Corruption checks 1659 (framed content above the size estimate)
// and 1678 (image above 0x3B00 bytes).
PageImage build_page_image(const PageContents& page);

}  // namespace orvel::datafile
