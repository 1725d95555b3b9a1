#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/crash_handlers.hpp"
#include "platform/platform.hpp"

namespace platform {
namespace {

constexpr int kMaxFrames = 62;

struct FaultSignal {
  int number;
  const char* name;
};
constexpr FaultSignal kFaultSignals[] = {
    {SIGSEGV, "SIGSEGV"}, {SIGBUS, "SIGBUS"}, {SIGFPE, "SIGFPE"}, {SIGILL, "SIGILL"}, {SIGABRT, "SIGABRT"}};

// A stack overflow leaves no room on the faulting stack for the handler. Only the thread that
// installs the handlers gets this stack; a fault on another thread runs on that thread's stack.
alignas(16) char alternateStack[64 * 1024];
std::atomic<bool> installed{false};

// Text built without allocating, for use inside a signal handler.
class FixedText {
 public:
  FixedText& Add(const char* text) {
    while (*text != '\0' && length_ + 1 < sizeof text_) text_[length_++] = *text++;
    text_[length_] = '\0';
    return *this;
  }
  FixedText& AddNumber(std::uintptr_t value, unsigned base) {
    char digits[32];
    int count = 0;
    do {
      digits[count++] = "0123456789abcdef"[value % base];
      value /= base;
    } while (value != 0);
    char reversed[33];
    for (int i = 0; i < count; ++i) reversed[i] = digits[count - 1 - i];
    reversed[count] = '\0';
    return Add(reversed);
  }
  const char* c_str() const { return text_; }
  std::size_t size() const { return length_; }

 private:
  char text_[512] = {};
  std::size_t length_ = 0;
};

void WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

// The path is worked out once, before any fault, so the handler only reads it.
const std::string& NativeCrashLogPath() {
  static const std::string path = ToNativePath(CrashLogPath()).value_or(std::string());
  return path;
}

int OpenCrashLog() {
  const std::string& path = NativeCrashLogPath();
  if (path.empty()) return -1;
  int fd;
  do {
    fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

void OnFatalSignal(int number, siginfo_t* info, void*) {
  const int savedErrno = errno;
  const char* name = "signal";
  for (const FaultSignal& fault : kFaultSignals) {
    if (fault.number == number) name = fault.name;
  }
  FixedText record;
  record.Add("Unhandled exception: code=")
      .Add(name)
      .Add(" (")
      .AddNumber(static_cast<std::uintptr_t>(number), 10);
  record.Add(") addr=0x")
      .AddNumber(reinterpret_cast<std::uintptr_t>(info != nullptr ? info->si_addr : nullptr), 16);
  WriteCrashLog(record.c_str());

  void* frames[kMaxFrames];
  const int count = backtrace(frames, kMaxFrames);
  const int fd = OpenCrashLog();
  if (fd >= 0) {
    const char header[] = "[STACK] Stack trace:\n";
    WriteAll(fd, header, sizeof header - 1);
    for (int i = 0; i < count; ++i) {
      FixedText index;
      index.Add("#").AddNumber(static_cast<std::uintptr_t>(i), 10).Add(" ");
      WriteAll(fd, index.c_str(), index.size());
      // Writes "module(symbol+offset) [0xaddress]" and a line feed without allocating.
      backtrace_symbols_fd(&frames[i], 1, fd);
    }
    WriteAll(fd, "\r\n", 2);
    close(fd);
  }
  errno = savedErrno;
  // SA_RESETHAND put the default action back: the raised signal ends the process once this
  // handler returns, also for a signal that was sent rather than caused by a fault.
  raise(number);
}

}  // namespace

std::string CrashLogPath() {
  const std::string folder = UserDataFolder();
  return folder.empty() ? std::string() : folder + "crash.log";
}

void WriteCrashLog(const char* text) {
  const int fd = OpenCrashLog();
  if (fd < 0) return;
  WriteAll(fd, text, std::strlen(text));
  WriteAll(fd, "\r\n", 2);
  close(fd);
}

void InstallFaultHandlers(CrashLineSink) {
  if (installed.exchange(true)) return;
  NativeCrashLogPath();
  // The first backtrace loads the unwinder, which allocates: done here rather than in a handler.
  void* warmUp[1];
  backtrace(warmUp, 1);
  stack_t stack = {};
  stack.ss_sp = alternateStack;
  stack.ss_size = sizeof alternateStack;
  sigaltstack(&stack, nullptr);
  struct sigaction action = {};
  action.sa_sigaction = OnFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (const FaultSignal& fault : kFaultSignals) sigaction(fault.number, &action, nullptr);
}

}  // namespace platform
