// Where the record reader takes its bytes from: the file seen through windows.
//
// The reader asks for the bytes from an offset on and scans the window it gets with plain
// loops, so a source is called once per window, not once per byte. The file object puts its
// file buffer (or direct reads) behind this interface; tests put memory behind it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvel::textfile {

class ByteSource {
 public:
  virtual ~ByteSource() = default;

  // Makes the bytes of the file from offset on available: *data points at them and *len is
  // their number, at least min_len unless the file ends sooner; *len is 0 at or past the end
  // of the file. The bytes stay valid until the next call. Returns 0 or an error number, in
  // which case *len is 0.
  virtual int window(uint64_t offset, size_t min_len, const uint8_t** data, size_t* len) = 0;
};

}  // namespace orvel::textfile
