#include "readers/item_list_reader.hpp"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "platform/platform.hpp"
#include "readers/reader_common.hpp"
#include "readers/text_lines.hpp"
#include "support/client_paths.hpp"

namespace {

struct Fnv1aHash {
  std::size_t operator()(const std::string& text) const {
    std::uint32_t hash = 2166136261u;
    for (const char c : text) {
      hash ^= static_cast<unsigned char>(c);
      hash *= 16777619u;
    }
    return hash;
  }
};

const std::unordered_set<std::string, Fnv1aHash>& ItemCategories() {
  static const std::unordered_set<std::string, Fnv1aHash> categories{"armor", "weapon", "aura", "wing"};
  return categories;
}

// Columns as a stream reader would cut them: a tab at the very end closes the last column
// instead of opening an empty one.
std::vector<std::string_view> SplitColumns(std::string_view line) {
  std::vector<std::string_view> columns;
  std::size_t start = 0;
  while (start < line.size()) {
    const std::size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      columns.push_back(line.substr(start));
      break;
    }
    columns.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  return columns;
}

bool IsComment(const std::string& trimmed) { return trimmed.size() >= 2 && trimmed.compare(0, 2, "//") == 0; }

}  // namespace

std::string NormalizeItemType(const std::string& text) {
  const std::string trimmed = TrimCopy(text);
  std::string result;
  result.reserve(trimmed.size());
  for (const char c : trimmed) {
    if (c == ' ' && !result.empty() && result.back() == ' ') continue;
    result.push_back(c);
  }
  result.erase(std::remove(result.begin(), result.end(), '\\'), result.end());
  result.erase(std::remove(result.begin(), result.end(), '/'), result.end());
  return result.empty() ? "UNKNOWN" : result;
}

bool IsItemCategory(const std::string& type) { return ItemCategories().count(ToLowerCopy(type)) != 0; }

std::vector<ItemEntry> ParseItemListText(std::string_view text) {
  std::size_t otherCategoryLines = 0;
  return ParseItemListText(text, otherCategoryLines);
}

std::vector<ItemEntry> ParseItemListText(std::string_view text, std::size_t& otherCategoryLines) {
  otherCategoryLines = 0;
  std::vector<ItemEntry> entries;
  int lineNumber = 0;
  for (const std::string_view line : SplitLines(text)) {
    ++lineNumber;
    const std::string trimmed = TrimCopy(std::string(line));
    if (trimmed.empty() || IsComment(trimmed)) continue;
    const std::vector<std::string_view> columns = SplitColumns(line);
    if (columns.size() < 3) continue;
    ItemEntry entry;
    if (!ReadLeadingInt32(columns[0], entry.vnum) || entry.vnum <= 0) continue;
    entry.type = NormalizeItemType(std::string(columns[1]));
    if (!IsItemCategory(entry.type)) {
      ++otherCategoryLines;
      continue;
    }
    entry.iconPath = CleanPathValue(std::string(columns[2]));
    if (columns.size() > 3) entry.modelPath = CleanPathValue(std::string(columns[3]));
    entry.rawLine = std::string(line);
    entry.sourceLine = lineNumber;
    entries.push_back(std::move(entry));
  }

  std::unordered_map<std::string, std::size_t> keptAt;
  std::vector<ItemEntry> unique;
  unique.reserve(entries.size());
  for (ItemEntry& entry : entries) {
    const auto kept =
        keptAt.emplace(entry.type + "|" + entry.iconPath + "|" + entry.modelPath, unique.size());
    if (kept.second) {
      unique.push_back(std::move(entry));
    } else {
      unique[kept.first->second].foldedVnums.push_back(entry.vnum);
    }
  }
  return unique;
}

std::vector<ItemEntry> ParseItemList(const std::string& path) {
  std::size_t otherCategoryLines = 0;
  return ParseItemList(path, otherCategoryLines);
}

std::vector<ItemEntry> ParseItemList(const std::string& path, std::size_t& otherCategoryLines) {
  otherCategoryLines = 0;
  std::string contents;
  if (!platform::ReadWholeFile(path, contents)) return {};
  return ParseItemListText(contents, otherCategoryLines);
}

std::vector<std::string> FindItemLists(const std::string& root) {
  std::vector<std::string> lists;
  const std::string probe = root + "\\item_list.txt";
  if (FileExists(probe)) lists.push_back(probe);
  CollectFilesNamed(root, "item_list.txt", lists);
  std::sort(lists.begin(), lists.end());
  lists.erase(std::unique(lists.begin(), lists.end()), lists.end());
  return lists;
}
