// A child process running another program, with its standard input and output as pipes,
// for tests that need real separate programs sharing a file. Tests only; one implementation
// per system (posix_child_process.cc, win32_child_process.cc).
//
// Every wait has a timeout, so that a test fails instead of hanging; a child still running
// when the object goes is killed.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace orvel::testing {

class ChildProcess {
 public:
  // What wait() gives for a child that was killed, by kill_now() or by itself through
  // kill_this_process().
  static constexpr int kKilled = -9;

  // args[0] is the program's path. With merge_errors the child's standard error goes to the
  // same pipe as its standard output.
  explicit ChildProcess(const std::vector<std::string>& args, bool merge_errors = false);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const;

  // The next line the child writes, without its newline (and without a carriage return
  // before it); "" at its end or after timeout_ms.
  std::string read_line(int timeout_ms = 30000);

  // Everything the child writes until it closes its output, or until timeout_ms.
  std::string read_all(int timeout_ms = 60000);

  void write_line(const std::string& line);

  // The exit code, kKilled for a killed child, or -1000 after timeout_ms (the child is
  // killed then).
  int wait(int timeout_ms = 60000);

  void kill_now();

 private:
  struct System;  // the system's handles of the child, in each implementation
  std::unique_ptr<System> system_;
  std::string buffer_;
};

// Ends the calling process at once, as a crash or a kill would: no destructors, no flushing
// of the program's own buffers.
[[noreturn]] void kill_this_process();

}  // namespace orvel::testing
