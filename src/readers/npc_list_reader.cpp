#include "readers/npc_list_reader.hpp"

#include "platform/platform.hpp"
#include "readers/reader_common.hpp"
#include "readers/text_lines.hpp"
#include "support/client_paths.hpp"

namespace {

// Tab-separated pieces, each trimmed; empty pieces vanish, so blank columns do not shift the others.
std::vector<std::string> SplitPieces(const std::string& line) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start <= line.size()) {
    std::size_t tab = line.find('\t', start);
    if (tab == std::string::npos) tab = line.size();
    std::string piece = TrimCopy(line.substr(start, tab - start));
    if (!piece.empty()) pieces.push_back(std::move(piece));
    start = tab + 1;
  }
  return pieces;
}

}  // namespace

std::vector<std::string> FindNpcLists(const std::string& root) {
  std::vector<std::string> lists;
  CollectFilesNamed(root, "npclist.txt", lists);
  return lists;
}

std::vector<NpcEntry> ParseNpcListText(std::string_view text) {
  std::vector<NpcEntry> entries;
  int lineNumber = 0;
  for (const std::string_view rawLine : SplitLines(text)) {
    ++lineNumber;
    std::string line = TrimCopy(std::string(rawLine));
    if (line.empty() || line[0] == '#' || line[0] == '/') continue;
    std::vector<std::string> pieces = SplitPieces(line);
    if (pieces.size() < 2) continue;
    NpcEntry entry;
    if (!ReadLeadingInt32(pieces[0], entry.id)) continue;
    if (pieces.size() == 2) {
      entry.folderName = std::move(pieces[1]);
    } else {
      entry.variantName = std::move(pieces[1]);
      entry.folderName = std::move(pieces[2]);
    }
    entry.rawLine = std::move(line);
    entry.sourceLine = lineNumber;
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<NpcEntry> ParseNpcList(const std::string& path) {
  std::string contents;
  if (!platform::ReadWholeFile(path, contents)) return {};
  return ParseNpcListText(contents);
}
