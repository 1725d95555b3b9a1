// The glow effects of items: "shiningtable.txt" ties item numbers and number ranges to effect scripts.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

// Item number to effect script path. Ranges are kept as ranges, so a line covering most of int32
// costs one entry, not billions; a later assignment overwrites the numbers it covers.
class ShiningTable {
 public:
  // Gives value to every number from low to high inclusive; nothing when low > high.
  void Assign(std::int32_t low, std::int32_t high, const std::string& value);
  // The path of vnum, or null when the table has none.
  const std::string* Find(std::int32_t vnum) const;
  // How many distinct numbers have a path.
  std::uint64_t DistinctCount() const { return distinctCount_; }
  bool Empty() const { return spans_.empty(); }

 private:
  struct Span {
    std::int32_t high;
    std::string value;
  };
  // Makes a span start exactly at number when a span covers it.
  void SplitAt(std::int32_t number);

  std::map<std::int32_t, Span> spans_;  // keyed by the span's low end; spans never overlap
  std::uint64_t distinctCount_ = 0;
};

// One accepted line of the table: the numbers it covers and the cleaned effect script path.
struct ShiningTableLine {
  std::int32_t low = 0;
  std::int32_t high = 0;
  std::string value;
};

// False for comments, blank lines and lines that do not fit (no tab, no quoted path, unreadable number).
bool ParseShiningTableLine(std::string_view line, ShiningTableLine& parsed);

// The table of one text; assignments receives the number of assignments made (a range of ten counts
// ten, a number given twice counts twice).
ShiningTable ParseShiningTableText(std::string_view text, std::uint64_t& assignments);

// Reads one file and prints how many assignments it made; an unreadable file prints an error line
// and gives an empty table.
ShiningTable LoadShiningTable(const std::string& path);

// The client's "shiningtable.txt" from the client file index, or an empty string.
std::string FindShiningTableFile();

// The table of the client the file index was built for, loaded on the first call for that client
// (once, whichever thread comes first) and again when the index belongs to another client.
std::shared_ptr<const ShiningTable> GetShiningTable();
