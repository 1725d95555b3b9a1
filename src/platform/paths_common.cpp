#include <chrono>
#include <thread>

#include "platform/path_rules.hpp"
#include "platform/platform.hpp"

namespace platform {

std::string AbsoluteInternalPath(const std::string& path) {
  if (IsAbsoluteInternal(path)) return path;
  const std::string current = CurrentFolder();
  if (current.empty()) return path;
  if (path.empty()) return current;
  // "\x" is rooted on the current folder's drive.
  if (IsPathSeparator(path[0])) {
    return (HasDriveLetter(current) ? current.substr(0, 2) : std::string()) + WithBackslashes(path);
  }
  return WithTrailingBackslash(current) + path;
}

void SleepMilliseconds(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace platform
