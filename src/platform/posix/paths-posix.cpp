#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/path_rules.hpp"
#include "platform/platform.hpp"

namespace platform {

std::string ToInternalPath(const std::string& nativePath) {
  // Already internal (a path field that holds "D:\ymir work\" stays on its missing drive).
  if (HasDriveLetter(nativePath)) return WithBackslashes(nativePath);
  std::string result;
  result.reserve(nativePath.size() + 2);
  if (!nativePath.empty() && nativePath[0] == '/') result = "Z:";
  for (char c : nativePath) {
    const bool separator = c == '/' || c == '\\';
    // POSIX reads "a//b" as "a/b"; the internal form should not carry the doubled separator.
    if (separator && !result.empty() && result.back() == '\\') continue;
    result.push_back(separator ? '\\' : c);
  }
  return result;
}

std::optional<std::string> ToNativePath(const std::string& internalPath) {
  std::string rest = internalPath;
  if (HasDriveLetter(internalPath)) {
    if (FoldToUpper(internalPath[0]) != 'Z') return std::nullopt;
    // "Z:x" is relative to the current folder of drive Z:, which is the current folder here.
    rest = internalPath.substr(2);
    if (rest.empty()) return std::string("/");
  } else if (rest.size() >= 2 && IsPathSeparator(rest[0]) && IsPathSeparator(rest[1])) {
    // A UNC share is no drive this system has.
    return std::nullopt;
  }
  for (char& c : rest) {
    if (c == '\\') c = '/';
  }
  return rest;
}

std::string CurrentFolder() {
  std::vector<char> buffer(512);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() > (1u << 20)) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  return WithoutTrailingSeparators(ToInternalPath(buffer.data()));
}

std::string LongPathForm(const std::string& path) { return path; }

}  // namespace platform
