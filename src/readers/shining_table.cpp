#include "readers/shining_table.hpp"

#include <iterator>
#include <limits>
#include <memory>
#include <mutex>

#include "log/console.hpp"
#include "platform/platform.hpp"
#include "readers/reader_common.hpp"
#include "readers/text_lines.hpp"
#include "support/client_file_index.hpp"
#include "support/client_paths.hpp"

namespace {

std::uint64_t SpanLength(std::int32_t low, std::int32_t high) {
  return static_cast<std::uint64_t>(std::int64_t{high} - std::int64_t{low}) + 1;
}

ShiningTable LoadProcessShiningTable() {
  PrintOk("\n=== Caricamento Shining Table ===");
  ShiningTable table;
  const std::string path = FindShiningTableFile();
  if (!path.empty()) {
    table = LoadShiningTable(path);
    PrintOk("Effetti disponibili: " + std::to_string(table.DistinctCount()) + " items");
  } else {
    PrintOk("Nessun effetto disponibile");
  }
  PrintOk("===================================\n");
  return table;
}

}  // namespace

void ShiningTable::SplitAt(std::int32_t number) {
  auto next = spans_.upper_bound(number);
  if (next == spans_.begin()) return;
  auto covering = std::prev(next);
  if (covering->first == number || covering->second.high < number) return;
  spans_.emplace_hint(next, number, Span{covering->second.high, covering->second.value});
  covering->second.high = number - 1;
}

void ShiningTable::Assign(std::int32_t low, std::int32_t high, const std::string& value) {
  if (low > high) return;
  SplitAt(low);
  if (high < std::numeric_limits<std::int32_t>::max()) SplitAt(high + 1);
  // After the two splits every span touching [low, high] lies wholly inside it.
  auto it = spans_.lower_bound(low);
  while (it != spans_.end() && it->first <= high) {
    distinctCount_ -= SpanLength(it->first, it->second.high);
    it = spans_.erase(it);
  }
  spans_.emplace_hint(it, low, Span{high, value});
  distinctCount_ += SpanLength(low, high);
}

const std::string* ShiningTable::Find(std::int32_t vnum) const {
  auto next = spans_.upper_bound(vnum);
  if (next == spans_.begin()) return nullptr;
  const auto& covering = *std::prev(next);
  return covering.second.high >= vnum ? &covering.second.value : nullptr;
}

bool ParseShiningTableLine(std::string_view line, ShiningTableLine& parsed) {
  const std::string trimmed = TrimCopy(std::string(line));
  if (trimmed.empty() || trimmed[0] == '#') return false;

  const std::size_t tab = line.find('\t');
  if (tab == std::string_view::npos) return false;
  const std::string keyText = TrimCopy(std::string(line.substr(0, tab)));
  const std::string rest = TrimCopy(std::string(line.substr(tab + 1)));

  const std::size_t firstQuote = rest.find('"');
  const std::size_t lastQuote = rest.rfind('"');
  if (firstQuote == std::string::npos || firstQuote >= lastQuote) return false;

  const std::size_t tilde = keyText.find('~');
  if (tilde != std::string::npos) {
    if (!ReadLeadingInt32(TrimCopy(keyText.substr(0, tilde)), parsed.low) ||
        !ReadLeadingInt32(TrimCopy(keyText.substr(tilde + 1)), parsed.high)) {
      return false;
    }
  } else {
    if (!ReadLeadingInt32(keyText, parsed.low)) return false;
    parsed.high = parsed.low;
  }
  parsed.value = CleanPathValue(rest.substr(firstQuote + 1, lastQuote - firstQuote - 1));
  return true;
}

ShiningTable ParseShiningTableText(std::string_view text, std::uint64_t& assignments) {
  ShiningTable table;
  assignments = 0;
  ShiningTableLine parsed;
  for (const std::string_view line : SplitLines(text)) {
    if (!ParseShiningTableLine(line, parsed)) continue;
    table.Assign(parsed.low, parsed.high, parsed.value);
    if (parsed.low <= parsed.high) assignments += SpanLength(parsed.low, parsed.high);
  }
  return table;
}

ShiningTable LoadShiningTable(const std::string& path) {
  std::string contents;
  if (!platform::ReadWholeFile(path, contents)) {
    PrintErr("AVVISO: Impossibile aprire shiningtable.txt: " + path);
    return {};
  }
  std::uint64_t assignments = 0;
  ShiningTable table = ParseShiningTableText(contents, assignments);
  PrintOk("  Caricate " + std::to_string(assignments) + " associazioni Vnum->MSE");
  return table;
}

std::string FindShiningTableFile() {
  const std::string path = FindByName("shiningtable.txt");
  if (!path.empty()) {
    PrintOk("shiningtable.txt trovato: " + path);
  } else {
    PrintOk("AVVISO: shiningtable.txt non trovato (effetti disabilitati)");
  }
  return path;
}

std::shared_ptr<const ShiningTable> GetShiningTable() {
  // Threads arriving while it loads wait for it; a table a caller holds stays alive when the
  // next client's replaces it.
  static std::mutex mutex;
  static std::string loadedFor;
  static std::shared_ptr<const ShiningTable> table;
  const std::string root = ToLowerCopy(GetClientFileIndex().Root());
  std::lock_guard<std::mutex> lock(mutex);
  if (!table || root != loadedFor) {
    table = std::make_shared<const ShiningTable>(LoadProcessShiningTable());
    loadedFor = root;
  }
  return table;
}
