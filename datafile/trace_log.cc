#include "datafile/trace_log.h"

#include <cstdlib>
#include <fstream>
#include <mutex>

namespace orvel::datafile {
namespace {

const char* log_path() {
  const char* path = std::getenv("ORVEL_TRACE_LOG");
  return path != nullptr && *path != '\0' ? path : nullptr;
}

}  // namespace

bool trace_enabled() {
  return log_path() != nullptr;
}

void trace_line(const std::string& line) {
  const char* path = log_path();
  if (path == nullptr) return;
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  std::ofstream out(path, std::ios::app | std::ios::binary);
  out << line << '\n';
}

}  // namespace orvel::datafile
