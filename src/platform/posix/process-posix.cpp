#include <pthread.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/path_rules.hpp"
#include "platform/platform.hpp"
#include "platform/posix/posix_support.hpp"

namespace platform {
namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
  std::vector<char> buffer(16384);
  struct passwd record {};
  struct passwd* found = nullptr;
  if (getpwuid_r(getuid(), &record, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return std::string();
}

}  // namespace

std::string UserDataFolder() {
  std::string base;
  // Relative values are to be ignored, as the XDG base directory rules say.
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
    base = WithoutTrailingSlashes(state);
  } else {
    const std::string home = HomeFolder();
    if (home.empty()) return std::string();
    base = WithoutTrailingSlashes(home) + "/.local/state";
  }
  const std::string folder = (base == "/" ? std::string() : base) + "/Vintrel";
  if (posix::CreateNativeFolders(folder) == CreateFolderResult::Failed) return std::string();
  return WithTrailingBackslash(ToInternalPath(folder));
}

std::string ExecutablePath() {
  std::vector<char> buffer(1024);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return std::string();
    if (static_cast<std::size_t>(length) < buffer.size()) {
      return ToInternalPath(std::string(buffer.data(), static_cast<std::size_t>(length)));
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string ExecutableFolder() {
  const std::string path = ExecutablePath();
  const std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string TempFolder() {
  std::string folder = "/tmp";
  if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && tmp[0] == '/') folder = tmp;
  return WithTrailingBackslash(ToInternalPath(WithoutTrailingSlashes(folder)));
}

std::uint64_t CurrentProcessId() { return static_cast<std::uint64_t>(getpid()); }

std::uint64_t CurrentThreadId() {
#ifdef SYS_gettid
  return static_cast<std::uint64_t>(syscall(SYS_gettid));
#else
  return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(pthread_self()));
#endif
}

std::optional<std::string> GetEnvironmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

bool SetEnvironmentVariable(const std::string& name, const std::string& value) {
  return setenv(name.c_str(), value.c_str(), 1) == 0;
}

bool UnsetEnvironmentVariable(const std::string& name) { return unsetenv(name.c_str()) == 0; }

std::string FormatLocalTime(std::time_t t, const char* format) {
  struct tm local {};
  if (format == nullptr || format[0] == '\0' || localtime_r(&t, &local) == nullptr) return std::string();
  // strftime gives 0 both for "too small" and for an empty result; grow a few times, then give up.
  for (std::size_t size = 128; size <= 64 * 1024; size *= 4) {
    std::vector<char> buffer(size);
    const std::size_t length = std::strftime(buffer.data(), buffer.size(), format, &local);
    if (length > 0) return std::string(buffer.data(), length);
  }
  return std::string();
}

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

void EnableConsoleColours() {}

}  // namespace platform
