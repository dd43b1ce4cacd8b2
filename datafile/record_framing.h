// The framing of records in the record area of a page.
//
// Each record of a page is written as:
//   width   field
//   u8      flags: low six bits s, the count of leading bytes shared with the record before
//   u16     total length L, present when flags has 0x80; else L is the previous record's
//   u16     key length K, present when flags has 0x40; else K is the previous record's
//   L - s   the record's bytes after the shared ones
// The writer gives the first record of a page s = 0 and both lengths; for the others s is
// the common prefix of the two records over all their bytes, at most 63 and at most the
// shorter length, and a length is written only when it differs from the previous record's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "datafile/record.h"

namespace orvel::datafile {

// Appends the framing of records, in the order given, to out. A record longer than
// kMaxRecordLength or with a key longer than itself is corruption check 824.
void frame_records(const std::vector<Record>& records, Bytes* out);

// Parses exactly count records from area[0, length) into out (replacing its contents, whose
// buffers are reused). The
// records must end exactly at length; anything else, including a shared prefix or length
// that cannot hold, is corruption check 1602. Never reads outside the area.
void parse_records(const uint8_t* area, size_t length, size_t count, std::vector<Record>* out);

}  // namespace orvel::datafile
