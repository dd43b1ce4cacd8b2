// Child processes for tests on POSIX systems: fork and exec, pipes, SIGKILL.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "datafile/tests/child_process.h"

namespace orvel::testing {

static_assert(ChildProcess::kKilled == -SIGKILL);

struct ChildProcess::System {
  pid_t pid = -1;
  int in = -1;
  int out = -1;
  bool done = false;
  int status = 0;

  bool running() const { return pid > 0 && !done; }
};

ChildProcess::ChildProcess(const std::vector<std::string>& args, bool merge_errors)
    : system_(std::make_unique<System>()) {
  int to_child[2], from_child[2];
  if (::pipe(to_child) != 0) return;
  if (::pipe(from_child) != 0) {
    ::close(to_child[0]);
    ::close(to_child[1]);
    return;
  }
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(to_child[0], 0);
    ::dup2(from_child[1], 1);
    if (merge_errors) ::dup2(from_child[1], 2);
    ::close(to_child[0]);
    ::close(to_child[1]);
    ::close(from_child[0]);
    ::close(from_child[1]);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(to_child[0]);
  ::close(from_child[1]);
  system_->pid = pid;
  system_->in = to_child[1];
  system_->out = from_child[0];
}

ChildProcess::~ChildProcess() {
  if (system_->running()) {
    ::kill(system_->pid, SIGKILL);
    wait();
  }
  if (system_->in >= 0) ::close(system_->in);
  if (system_->out >= 0) ::close(system_->out);
}

bool ChildProcess::started() const {
  return system_->pid > 0;
}

std::string ChildProcess::read_line(int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (size_t nl = buffer_.find('\n'); nl != std::string::npos) {
      std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) return "";
    pollfd p{system_->out, POLLIN, 0};
    if (::poll(&p, 1, int(left)) <= 0) continue;
    char chunk[512];
    ssize_t n = ::read(system_->out, chunk, sizeof chunk);
    if (n <= 0) return "";
    buffer_.append(chunk, size_t(n));
  }
}

std::string ChildProcess::read_all(int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) break;
    pollfd p{system_->out, POLLIN, 0};
    if (::poll(&p, 1, int(left)) <= 0) continue;
    char chunk[4096];
    ssize_t n = ::read(system_->out, chunk, sizeof chunk);
    if (n <= 0) break;
    buffer_.append(chunk, size_t(n));
  }
  return std::move(buffer_);
}

void ChildProcess::write_line(const std::string& line) {
  std::string text = line + "\n";
  if (::write(system_->in, text.data(), text.size()) < 0) return;
}

int ChildProcess::wait(int timeout_ms) {
  System& s = *system_;
  if (s.pid <= 0) return -1000;
  if (s.done) return s.status;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  int status = 0;
  for (;;) {
    pid_t r = ::waitpid(s.pid, &status, WNOHANG);
    if (r == s.pid) break;
    if (r < 0) return -1000;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(s.pid, SIGKILL);
      ::waitpid(s.pid, &status, 0);
      s.done = true;
      s.status = -1000;
      return s.status;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  s.done = true;
  s.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  return s.status;
}

void ChildProcess::kill_now() {
  if (system_->running()) ::kill(system_->pid, SIGKILL);
}

void kill_this_process() {
  ::raise(SIGKILL);
  ::_exit(127);
}

}  // namespace orvel::testing
