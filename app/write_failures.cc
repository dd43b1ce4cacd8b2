#include "app/write_failures.h"

#include "platform/error_codes.h"

namespace orvel::app {

std::string failure_summary(const WriteFailures& failures, Operation operation) {
  if (failures.count == 0) return {};
  std::string text = std::to_string(failures.count);
  text += failures.count == 1 ? " line could not be " : " lines could not be ";
  text += operation == Operation::kImport ? "imported" : "exported";
  text += ".  Error: " + error_text(failures.first_error) + ".";
  return text;
}

}  // namespace orvel::app
