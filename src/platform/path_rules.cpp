#include "platform/path_rules.hpp"

#include <algorithm>

namespace platform {

bool HasDriveLetter(const std::string& path) {
  if (path.size() < 2 || path[1] != ':') return false;
  const char c = FoldToUpper(path[0]);
  return c >= 'A' && c <= 'Z';
}

bool IsAbsoluteInternal(const std::string& path) {
  return HasDriveLetter(path) || (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]));
}

std::string WithBackslashes(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string WithTrailingBackslash(std::string path) {
  if (path.empty() || !IsPathSeparator(path.back())) path.push_back('\\');
  return path;
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && IsPathSeparator(path.back())) path.pop_back();
  return path;
}

bool MatchesWildcard(const std::string& name, const std::string& pattern) {
  if (pattern == "*" || pattern == "*.*") return true;
  // Greedy match with one backtrack point: the last '*' seen and where its run now ends.
  std::size_t n = 0;
  std::size_t p = 0;
  std::size_t starPattern = std::string::npos;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || FoldToUpper(pattern[p]) == FoldToUpper(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starPattern = p++;
      starName = n;
    } else if (starPattern != std::string::npos) {
      p = starPattern + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool NtfsOrderLess(const std::string& a, const std::string& b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto fa = static_cast<unsigned char>(FoldToUpper(a[i]));
    const auto fb = static_cast<unsigned char>(FoldToUpper(b[i]));
    if (fa != fb) return fa < fb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

void SortInNtfsOrder(std::vector<DirEntry>& entries) {
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& x, const DirEntry& y) { return NtfsOrderLess(x.name, y.name); });
}

}  // namespace platform
