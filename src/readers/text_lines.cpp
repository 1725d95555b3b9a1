#include "readers/text_lines.hpp"

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\n' || c == '\r') {
      lines.push_back(text.substr(start, i - start));
      // CR CR LF is what a text-mode rewrite makes of CR LF: one line end, not two.
      if (c == '\r' && i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
        i += 2;
      } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        ++i;
      }
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::vector<std::string> SplitLinesCopy(std::string_view text) {
  std::vector<std::string> lines;
  for (std::string_view line : SplitLines(text)) lines.emplace_back(line);
  return lines;
}
