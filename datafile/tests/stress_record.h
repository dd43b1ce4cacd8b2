// The records of the stress run (stress_helper.cc, stress_test.cc): passports whose every
// field follows from the series, the number and a version, so that whoever reads one can
// check it on its own and a torn, mixed or stale-key record shows.
//
// Worker w owns two series: "W<w>" for records it adds, changes and deletes in one file at a
// time, and "T<w>" for pairs it changes only in transactions over both files, where the two
// records of a pair always carry the same version. A version is the sequence number of the
// operation that wrote it; a worker's sequence numbers only grow, across restarts too.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "datafile/tests/passport_record.h"

namespace orvel::datafile::testing {

// The two shared files of the run, in the order every transaction changes them (one order
// for all, so that two transactions never wait for each other's writer byte).
inline constexpr const char* kStressFiles[] = {"a.hvk", "b.hvk"};
inline constexpr int kStressFileCount = 2;

inline std::string single_series(int worker) {
  return "W" + std::to_string(worker);
}
inline std::string pair_series(int worker) {
  return "T" + std::to_string(worker);
}
inline std::string stress_number(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%06d", n);
  return text;
}

inline uint64_t stress_checksum(const std::string& ser, const std::string& num, int32_t version) {
  uint64_t h = 1469598103934665603ull;
  for (char c : ser + "|" + num + "|" + std::to_string(version)) {
    h = (h ^ uint8_t(c)) * 1099511628211ull;
  }
  return h;
}

inline Passport stress_record(const std::string& ser, const std::string& num, int32_t version) {
  char sum[24];
  std::snprintf(sum, sizeof sum, "%016llx",
                static_cast<unsigned long long>(stress_checksum(ser, num, version)));
  // The comment's length varies with the version, so that changes move pages between size
  // classes and commits journal them.
  std::string comment = sum;
  const std::string filler = " " + ser + "/" + num;
  while (comment.size() < 16 + size_t(version % 23) * 20) comment += filler;
  return {ser,     num,           "V" + std::to_string(version) + " " + ser + " " + num,
          version, version % 997, comment.substr(0, 500)};
}

// Whether p is a record stress_record() makes: its version is the one field it carries.
inline bool stress_record_sound(const Passport& p) {
  return p.date_pas > 0 && p == stress_record(p.ser, p.num, p.date_pas);
}

}  // namespace orvel::datafile::testing
