// Reader of the client's NPC lists ("npclist.txt"): a number and a model folder per line, or 0, a
// variant name and the folder it reuses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct NpcEntry {
  std::int32_t id = 0;
  std::string folderName;
  std::string variantName;  // empty on two-column lines
  std::string rawLine;      // the trimmed source line
  std::string sourceFile;   // the list the line came from; set by whoever knows it
  int sourceLine = 0;       // 1-based, in the text read
};

// Every "npclist.txt" (any letter case) in root and below it, in the order the walk meets them.
std::vector<std::string> FindNpcLists(const std::string& root);

// The entries of one list text, in order; lines that do not fit are skipped.
std::vector<NpcEntry> ParseNpcListText(std::string_view text);

// Same, read from a file; an unreadable file gives an empty list.
std::vector<NpcEntry> ParseNpcList(const std::string& path);
