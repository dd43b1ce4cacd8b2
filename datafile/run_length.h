// Run-length compression of the record area of a page image.
//
// A compressed area is a sequence of blocks: a literal count L, L bytes copied as they are,
// then a repeat count R saying that the last of those bytes occurs R more times. Counts are
// variable-length numbers, seven bits per byte with the least significant group first and
// 0x80 set on every byte but the last (300 is AC 02). The stream ends when the output is
// complete; the encoder always ends it with a literal count, possibly 0, and its bytes.
//
// The encoder turns only runs of 4 or more equal bytes into repeats; shorter runs stay
// literal. Neither function allocates: callers own both buffers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvel::datafile {

// The most bytes run_length_encode can write for n input bytes.
constexpr size_t run_length_bound(size_t n) {
  return n + n / 4 + 8;
}

// Encodes in[0, n) into out, which must hold run_length_bound(n) bytes. Returns the encoded
// length, or 0 when the area holds no run of 4 equal bytes and is stored as it is.
size_t run_length_encode(const uint8_t* in, size_t n, uint8_t* out);

// Decodes the stream in[0, in_length) into exactly out_length bytes at out. A literal count
// beyond the remaining output or the remaining input is corruption check 522; a repeat count
// beyond the remaining output, or a repeat with no byte before it, corruption check 530.
// Bytes after the point where the output is complete are ignored.
void run_length_decode(const uint8_t* in, size_t in_length, uint8_t* out, size_t out_length);

// Writes value as a variable-length count at out (at most 10 bytes); returns the length.
size_t put_count(uint8_t* out, uint64_t value);

}  // namespace orvel::datafile
