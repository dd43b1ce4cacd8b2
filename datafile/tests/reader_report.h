// The last line of the checking readers of the process tests (sharing_helper.cc,
// stress_helper.cc): "reads N passes P bad B".
#pragma once

#include <sstream>
#include <string>

namespace orvel::datafile::testing {

struct ReaderReport {
  long reads = 0;
  long passes = 0;
  long bad = -1;  // stays -1 for a line of another form
};

inline ReaderReport parse_reader_report(const std::string& line) {
  ReaderReport report;
  std::istringstream words(line);
  std::string reads, passes, bad;
  words >> reads >> report.reads >> passes >> report.passes >> bad >> report.bad;
  return report;
}

}  // namespace orvel::datafile::testing
