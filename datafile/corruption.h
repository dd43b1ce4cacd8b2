// Corruption checks: how the engine halts on an inconsistency it cannot continue from.
//
// corruption_check(N) throws CorruptionError carrying N, the fixed number that names the
// place of the check. Inside a file operation the operation's frame catches it: the
// operation ends with error 90 "File System Error", the error text "Possible data
// corruption in file" and N as the file error code, and the table refuses further work
// until it is closed. Outside an operation nothing catches it but run_or_end_program(),
// which ends the program with the text and N in parentheses.
//
// Checks test the contents of files and the engine's own state; they are never asserts, so
// a damaged file ends an operation cleanly in every build.
#pragma once

#include <exception>
#include <string>

namespace orvel::datafile {

inline constexpr const char* kCorruptionText = "Possible data corruption in file";

class CorruptionError : public std::exception {
 public:
  explicit CorruptionError(int check) : check_(check) {}
  int check() const { return check_; }
  const char* what() const noexcept override { return kCorruptionText; }

 private:
  int check_;
};

[[noreturn]] inline void corruption_check(int check) { throw CorruptionError(check); }

// "Possible data corruption in file (N)", the fatal text outside an operation.
inline std::string corruption_fatal_text(int check) {
  return std::string(kCorruptionText) + " (" + std::to_string(check) + ")";
}

}  // namespace orvel::datafile
