#include "datafile/run_length.h"

#include <cstring>

#include "datafile/corruption.h"

namespace orvel::datafile {
namespace {

constexpr size_t kMinRun = 4;

// Reads a count at in[*pos, in_length). A count that does not end inside the stream or does
// not fit 32 bits returns false; no valid area is that long.
bool get_count(const uint8_t* in, size_t in_length, size_t* pos, uint64_t* value) {
  uint64_t result = 0;
  for (int shift = 0; shift < 35; shift += 7) {
    if (*pos >= in_length) return false;
    uint8_t byte = in[(*pos)++];
    result |= uint64_t(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) {
      *value = result;
      return true;
    }
  }
  return false;
}

}  // namespace

size_t put_count(uint8_t* out, uint64_t value) {
  size_t length = 0;
  while (value >= 0x80) {
    out[length++] = uint8_t(value | 0x80);
    value >>= 7;
  }
  out[length++] = uint8_t(value);
  return length;
}

size_t run_length_encode(const uint8_t* in, size_t n, uint8_t* out) {
  size_t written = 0;
  size_t pending = 0;  // start of the literal bytes not yet written
  bool any_run = false;
  size_t i = 0;
  while (i < n) {
    uint8_t byte = in[i];
    size_t end = i + 1;
    while (end < n && in[end] == byte) ++end;
    if (end - i >= kMinRun) {
      size_t literal = i - pending + 1;
      written += put_count(out + written, literal);
      std::memcpy(out + written, in + pending, literal);
      written += literal;
      written += put_count(out + written, end - i - 1);
      pending = end;
      any_run = true;
    }
    i = end;
  }
  if (!any_run) return 0;
  written += put_count(out + written, n - pending);
  if (n > pending) std::memcpy(out + written, in + pending, n - pending);
  return written + (n - pending);
}

void run_length_decode(const uint8_t* in, size_t in_length, uint8_t* out, size_t out_length) {
  size_t pos = 0;
  size_t done = 0;
  for (;;) {
    uint64_t literal = 0;
    if (!get_count(in, in_length, &pos, &literal)) corruption_check(522);
    if (literal > out_length - done || literal > in_length - pos) corruption_check(522);
    if (literal != 0) std::memcpy(out + done, in + pos, literal);
    pos += literal;
    done += literal;
    if (done == out_length) return;
    uint64_t repeat = 0;
    if (!get_count(in, in_length, &pos, &repeat)) corruption_check(530);
    if (repeat > out_length - done) corruption_check(530);
    if (repeat != 0) {
      if (done == 0) corruption_check(530);
      std::memset(out + done, out[done - 1], repeat);
      done += repeat;
    }
    if (done == out_length) return;
  }
}

}  // namespace orvel::datafile
