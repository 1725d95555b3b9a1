// The debug.log lines written while a capture lives, without their date stamps.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace testenv {

class DebugLogCapture {
 public:
  DebugLogCapture();
  // Flushes the log writer first, so every line logged so far is there.
  std::vector<std::string> Lines();

 private:
  std::size_t offset_ = 0;
};

}  // namespace testenv
