#include "support/debug_log_capture.hpp"

#include <algorithm>

#include "log/debug_log.hpp"
#include "platform/platform.hpp"
#include "readers/text_lines.hpp"

namespace testenv {

DebugLogCapture::DebugLogCapture() {
  StopLogWriter();
  std::string before;
  platform::ReadWholeFile(DebugLogPath(), before);
  offset_ = before.size();
}

std::vector<std::string> DebugLogCapture::Lines() {
  StopLogWriter();
  std::string all;
  platform::ReadWholeFile(DebugLogPath(), all);
  std::vector<std::string> lines;
  for (std::string_view line : SplitLines(std::string_view(all).substr(std::min(offset_, all.size())))) {
    const std::size_t stamp = line.find("] ");
    lines.emplace_back(stamp == std::string_view::npos ? line : line.substr(stamp + 2));
  }
  return lines;
}

}  // namespace testenv
