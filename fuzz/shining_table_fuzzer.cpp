// Besides surviving any input, the range-keeping table must answer exactly as the number-by-number
// expansion of the same lines would.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "readers/shining_table.hpp"
#include "readers/text_lines.hpp"

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

std::uint64_t Length(const ShiningTableLine& line) {
  return line.low > line.high ? 0 : static_cast<std::uint64_t>(std::int64_t{line.high} - line.low) + 1;
}

// The later line wins: the last one covering number.
const std::string* LastCovering(const std::vector<ShiningTableLine>& lines, std::int32_t number) {
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    if (it->low <= number && number <= it->high) return &it->value;
  }
  return nullptr;
}

std::uint64_t UnionSize(std::vector<ShiningTableLine> lines) {
  lines.erase(std::remove_if(lines.begin(), lines.end(), [](const auto& l) { return l.low > l.high; }),
              lines.end());
  std::sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) { return a.low < b.low; });
  std::uint64_t total = 0;
  std::int64_t coveredTo = std::int64_t{kMin} - 1;
  for (const auto& line : lines) {
    const std::int64_t from = std::max<std::int64_t>(line.low, coveredTo + 1);
    if (line.high >= from) {
      total += static_cast<std::uint64_t>(line.high - from + 1);
      coveredTo = line.high;
    }
  }
  return total;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::uint64_t assignments = 0;
  const ShiningTable table = ParseShiningTableText(text, assignments);

  std::vector<ShiningTableLine> lines;
  std::uint64_t expectedAssignments = 0;
  for (const std::string_view line : SplitLines(text)) {
    ShiningTableLine parsed;
    if (!ParseShiningTableLine(line, parsed)) continue;
    expectedAssignments += Length(parsed);
    lines.push_back(std::move(parsed));
  }
  Check(assignments == expectedAssignments);
  Check(table.DistinctCount() == UnionSize(lines));

  if (lines.size() <= 256) {
    for (const auto& line : lines) {
      for (const std::int64_t probe : {std::int64_t{line.low} - 1, std::int64_t{line.low},
                                       std::int64_t{line.high}, std::int64_t{line.high} + 1}) {
        if (probe < kMin || probe > kMax) continue;
        const std::string* expected = LastCovering(lines, static_cast<std::int32_t>(probe));
        const std::string* actual = table.Find(static_cast<std::int32_t>(probe));
        Check((expected == nullptr) == (actual == nullptr));
        Check(expected == nullptr || *expected == *actual);
      }
    }
  }

  if (expectedAssignments <= 4096) {
    std::map<std::int32_t, std::string> expanded;
    for (const auto& line : lines) {
      for (std::int64_t n = line.low; n <= line.high; ++n) {
        expanded[static_cast<std::int32_t>(n)] = line.value;
      }
    }
    Check(expanded.size() == table.DistinctCount());
    for (const auto& [number, value] : expanded) {
      const std::string* actual = table.Find(number);
      Check(actual != nullptr && *actual == value);
    }
  }
  return 0;
}
