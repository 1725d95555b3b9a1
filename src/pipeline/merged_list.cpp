#include "pipeline/merged_list.hpp"

#include <chrono>
#include <cstdint>
#include <deque>
#include <string_view>
#include <unordered_set>

#include "platform/platform.hpp"
#include "readers/text_lines.hpp"

namespace {

bool IsLabelByteKept(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
         c == '-';
}

// 100-nanosecond ticks since 1970-01-01.
std::int64_t CurrentTicks() {
  using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
  return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch()).count();
}

bool PathExists(const std::string& path) {
  return platform::GetFileAttributes(path) != platform::kInvalidAttributes;
}

}  // namespace

std::string SanitizeMergedListLabel(const std::string& label) {
  std::string sanitized = label;
  for (char& c : sanitized) {
    if (!IsLabelByteKept(c)) c = '_';
  }
  return sanitized;
}

std::string CreateMergedList(const std::vector<std::string>& paths, const std::string& label) {
  std::vector<MergedLineOrigin> origins;
  return CreateMergedList(paths, label, origins);
}

std::string CreateMergedList(const std::vector<std::string>& paths, const std::string& label,
                             std::vector<MergedLineOrigin>& origins) {
  origins.clear();
  if (paths.empty()) return {};

  // The seen lines point into the texts read, which must not move while they are kept.
  std::deque<std::string> contents;
  std::unordered_set<std::string_view> seen;
  std::vector<std::string_view> lines;
  for (const std::string& path : paths) {
    std::string text;
    if (!platform::ReadWholeFile(path, text)) continue;
    contents.push_back(std::move(text));
    int number = 0;
    for (const std::string_view line : SplitLines(contents.back())) {
      ++number;
      if (!line.empty() && seen.insert(line).second) {
        lines.push_back(line);
        origins.push_back({path, number});
      }
    }
  }
  if (lines.empty()) {
    origins.clear();
    return {};
  }

  const std::string folder = platform::TempFolder();
  if (folder.empty()) return {};
  const std::string stem = folder + "Vintrel_merged_" + SanitizeMergedListLabel(label) + "_";
  // A coarse system clock can repeat a tick; never overwrite another merge's file.
  std::int64_t ticks = CurrentTicks();
  std::string path = stem + std::to_string(ticks) + ".txt";
  while (PathExists(path)) path = stem + std::to_string(++ticks) + ".txt";

  std::string output;
  for (const std::string_view line : lines) {
    output.append(line);
    output += "\r\n";
  }
  platform::File file = platform::File::CreateForWrite(path);
  if (!file.IsOpen()) return {};
  const bool written = file.Write(output.data(), output.size()) && file.Flush();
  file.Close();
  if (!written) {
    platform::DeleteFile(path);
    return {};
  }
  return path;
}
