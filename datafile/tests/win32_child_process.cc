// Child processes for tests on Windows: CreateProcessA with pipes for standard input and
// output, TerminateProcess for a kill.
#include <windows.h>

#include <chrono>
#include <thread>

#include "datafile/tests/child_process.h"

namespace orvel::testing {
namespace {

// The exit code of a killed process; nothing here exits with it otherwise.
constexpr UINT kKilledExitCode = 0x4B494C4C;

// One argument quoted so that the child's command-line parser gives it back unchanged.
std::string quoted(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, '\\');
  return out + "\"";
}

int milliseconds_until(std::chrono::steady_clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                  deadline - std::chrono::steady_clock::now())
                  .count();
  return left > 0 ? int(left) : 0;
}

}  // namespace

struct ChildProcess::System {
  HANDLE process = nullptr;
  HANDLE in = nullptr;
  HANDLE out = nullptr;
  bool done = false;
  int status = 0;

  bool running() const { return process != nullptr && !done; }

  // Appends what the pipe holds to buffer; waits up to timeout_ms for something. False at
  // the end of the output.
  bool read_some(std::string* buffer, int timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      DWORD available = 0;
      if (!::PeekNamedPipe(out, nullptr, 0, nullptr, &available, nullptr)) return false;
      if (available > 0) break;
      if (milliseconds_until(deadline) == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    char chunk[4096];
    DWORD n = 0;
    if (!::ReadFile(out, chunk, sizeof chunk, &n, nullptr) || n == 0) return false;
    buffer->append(chunk, n);
    return true;
  }
};

ChildProcess::ChildProcess(const std::vector<std::string>& args, bool merge_errors)
    : system_(std::make_unique<System>()) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE child_in = nullptr, child_out = nullptr;
  if (!::CreatePipe(&child_in, &system_->in, &inherit, 0)) return;
  if (!::CreatePipe(&system_->out, &child_out, &inherit, 0)) {
    ::CloseHandle(child_in);
    return;
  }
  // Only the child's ends are inherited.
  ::SetHandleInformation(system_->in, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(system_->out, HANDLE_FLAG_INHERIT, 0);

  std::string command_line;
  for (const std::string& a : args) command_line += (command_line.empty() ? "" : " ") + quoted(a);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = child_in;
  startup.hStdOutput = child_out;
  startup.hStdError = merge_errors ? child_out : ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  if (::CreateProcessA(args[0].c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       nullptr, &startup, &info)) {
    ::CloseHandle(info.hThread);
    system_->process = info.hProcess;
  }
  ::CloseHandle(child_in);
  ::CloseHandle(child_out);
}

ChildProcess::~ChildProcess() {
  if (system_->running()) {
    ::TerminateProcess(system_->process, kKilledExitCode);
    wait();
  }
  if (system_->process) ::CloseHandle(system_->process);
  if (system_->in) ::CloseHandle(system_->in);
  if (system_->out) ::CloseHandle(system_->out);
}

bool ChildProcess::started() const {
  return system_->process != nullptr;
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
    int left = milliseconds_until(deadline);
    if (left == 0 || !system_->read_some(&buffer_, left)) return "";
  }
}

std::string ChildProcess::read_all(int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (int left; (left = milliseconds_until(deadline)) > 0;) {
    if (!system_->read_some(&buffer_, left)) break;
  }
  return std::move(buffer_);
}

void ChildProcess::write_line(const std::string& line) {
  std::string text = line + "\n";
  DWORD written = 0;
  ::WriteFile(system_->in, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

int ChildProcess::wait(int timeout_ms) {
  System& s = *system_;
  if (s.process == nullptr) return -1000;
  if (s.done) return s.status;
  if (::WaitForSingleObject(s.process, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0) {
    ::TerminateProcess(s.process, kKilledExitCode);
    ::WaitForSingleObject(s.process, INFINITE);
    s.done = true;
    s.status = -1000;
    return s.status;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(s.process, &code);
  s.done = true;
  s.status = code == kKilledExitCode ? kKilled : static_cast<int>(code);
  return s.status;
}

void ChildProcess::kill_now() {
  if (system_->running()) ::TerminateProcess(system_->process, kKilledExitCode);
}

void kill_this_process() {
  ::TerminateProcess(::GetCurrentProcess(), kKilledExitCode);
  ::ExitProcess(kKilledExitCode);
}

}  // namespace orvel::testing
