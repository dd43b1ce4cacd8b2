// The engine's trace log: a text file to which the lock layer writes a line for every
// failed attempt on a record or table lock byte and for every failed round of a table lock.
//
// It is enabled for every table of the process by the environment variable
// ORVEL_TRACE_LOG=path, read at each line; lines are appended to that file, each ended by a
// newline. Without the variable nothing is written. A log that cannot be written is
// ignored. Thread-safe.
#pragma once

#include <string>

namespace orvel::datafile {

bool trace_enabled();
void trace_line(const std::string& line);

}  // namespace orvel::datafile
