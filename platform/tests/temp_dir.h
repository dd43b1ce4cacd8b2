// For tests on the machine's file system: a private temporary directory, removed with
// everything in it when the object goes (at the end of the test, also when an assertion ends
// it half-way), and a change of the current directory that is undone the same way.
//
// The directory is made by mkdtemp, so only its owner can list or enter it, in $TMPDIR when
// that is set, else in the given base (/tmp unless a test asks for memory_backed_base()); a
// run with TMPDIR pointing at a fresh directory shows exactly what the tests leave behind. A
// directory that cannot be made throws, which fails the test.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace orvel::platform::testing {

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "orvel-test", const std::string& base = "/tmp") {
    const char* chosen = std::getenv("TMPDIR");
    std::string pattern = (chosen && *chosen ? chosen : base) + "/" + prefix + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("no temporary directory " + pattern);
    }
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string path(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// For tests that commit thousands of times: a file system whose flushes cost nothing, when
// the machine has one.
inline std::string memory_backed_base() {
  return std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
}

// Makes a directory the current one for the life of the object, then returns to the one
// before, also when an assertion ends the test half-way.
class InDirectory {
 public:
  explicit InDirectory(const std::filesystem::path& dir)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~InDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
  }
  InDirectory(const InDirectory&) = delete;
  InDirectory& operator=(const InDirectory&) = delete;

 private:
  std::filesystem::path previous_;
};

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void write_file(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

}  // namespace orvel::platform::testing
