// The debug.log lines written while a capture lives, without their date stamps.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "log/debug_log.hpp"
#include "platform/platform.hpp"
#include "readers/text_lines.hpp"

namespace testenv {

class DebugLogCapture {
 public:
  DebugLogCapture() : offset_(Contents().size()) {}

  // Flushes the log writer first, so every line logged so far is there.
  std::vector<std::string> Lines() const {
    const std::string all = Contents();
    std::vector<std::string> lines;
    for (std::string_view line : SplitLines(std::string_view(all).substr(std::min(offset_, all.size())))) {
      const std::size_t stamp = line.find("] ");
      lines.emplace_back(stamp == std::string_view::npos ? line : line.substr(stamp + 2));
    }
    return lines;
  }

 private:
  static std::string Contents() {
    StopLogWriter();
    std::string all;
    platform::ReadWholeFile(DebugLogPath(), all);
    return all;
  }

  std::size_t offset_;
};

}  // namespace testenv
