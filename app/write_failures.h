// The count of lines an import or an export failed to write, with the first error.
//
// Import goes on past a refused add or change, and export past a refused append, so that
// one bad line does not stop the rest; but the loss must not pass for success. The caller
// shows the summary once at the end (a message box, or stderr and exit status 2 in the
// tool).
#pragma once

#include <cstdint>
#include <string>

namespace orvel::app {

struct WriteFailures {
  uint64_t count = 0;
  int first_error = 0;  // the error number of the first failure

  // Counts rc when it is an error; returns rc.
  int note(int rc) {
    if (rc != 0) {
      if (count++ == 0) first_error = rc;
    }
    return rc;
  }
};

enum class Operation { kImport, kExport };

// "3 lines could not be imported.  Error: Access Denied." Empty when nothing failed.
std::string failure_summary(const WriteFailures& failures, Operation operation);

}  // namespace orvel::app
