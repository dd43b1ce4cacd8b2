// A child process running another program, with its standard input and output as pipes,
// for tests that need real separate programs sharing a file. POSIX only; tests only.
//
// Every wait has a timeout, so that a test fails instead of hanging; a child still running
// when the object goes is killed.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace orvel::testing {

class ChildProcess {
 public:
  // args[0] is the program's path; env entries "NAME=value" are added to the child's
  // environment.
  explicit ChildProcess(const std::vector<std::string>& args,
                        const std::vector<std::string>& env = {}) {
    int to_child[2], from_child[2];
    if (::pipe(to_child) != 0 || ::pipe(from_child) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(to_child[0], 0);
      ::dup2(from_child[1], 1);
      ::close(to_child[0]);
      ::close(to_child[1]);
      ::close(from_child[0]);
      ::close(from_child[1]);
      for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
      std::vector<char*> argv;
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(to_child[0]);
    ::close(from_child[1]);
    in_ = to_child[1];
    out_ = from_child[0];
  }
  ~ChildProcess() {
    if (running()) {
      ::kill(pid_, SIGKILL);
      wait();
    }
    if (in_ >= 0) ::close(in_);
    if (out_ >= 0) ::close(out_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }

  // The next line the child writes, without its newline; "" at its end or after timeout_ms.
  std::string read_line(int timeout_ms = 30000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      if (size_t nl = buffer_.find('\n'); nl != std::string::npos) {
        std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        return line;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      deadline - std::chrono::steady_clock::now())
                      .count();
      if (left <= 0) return "";
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, int(left)) <= 0) continue;
      char chunk[512];
      ssize_t n = ::read(out_, chunk, sizeof chunk);
      if (n <= 0) return "";
      buffer_.append(chunk, size_t(n));
    }
  }

  void write_line(const std::string& line) {
    std::string text = line + "\n";
    if (::write(in_, text.data(), text.size()) < 0) return;
  }

  // The exit code, or minus the signal that ended the child; -1000 after timeout_ms (the
  // child is killed then).
  int wait(int timeout_ms = 60000) {
    if (done_) return status_;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    int status = 0;
    for (;;) {
      pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_) break;
      if (r < 0) return -1000;
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        done_ = true;
        status_ = -1000;
        return status_;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    done_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    return status_;
  }

  void kill_now() {
    if (running()) ::kill(pid_, SIGKILL);
  }

 private:
  bool running() const { return pid_ > 0 && !done_; }

  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string buffer_;
  bool done_ = false;
  int status_ = 0;
};

}  // namespace orvel::testing
