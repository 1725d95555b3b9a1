// Several copies of one list file (item_list.txt, npclist.txt in different folders) read as one list.
#pragma once

#include <string>
#include <vector>

// Writes every distinct non-empty line of `paths` (in order of first appearance; byte-exact
// comparison) to a new file "Vintrel_merged_<label>_<ticks>.txt" in the temporary folder and returns
// its path. Unreadable inputs are skipped. Empty result when no line was found or the file could not
// be written. The caller deletes the file.
std::string CreateMergedList(const std::vector<std::string>& paths, const std::string& label);

// Where a line of a merged list was first met.
struct MergedLineOrigin {
  std::string path;
  int line = 0;  // 1-based
};
// The same, also giving for each line of the merged file (in order) where it came from.
std::string CreateMergedList(const std::vector<std::string>& paths, const std::string& label,
                             std::vector<MergedLineOrigin>& origins);

// Points entries read from a merged list (their sourceLine counted in it) at the list file and line
// each came from.
template <typename Entry>
void TraceToSourceLists(std::vector<Entry>& entries, const std::vector<MergedLineOrigin>& origins) {
  for (Entry& entry : entries) {
    if (entry.sourceLine < 1 || static_cast<std::size_t>(entry.sourceLine) > origins.size()) continue;
    const MergedLineOrigin& origin = origins[static_cast<std::size_t>(entry.sourceLine) - 1];
    entry.sourceFile = origin.path;
    entry.sourceLine = origin.line;
  }
}

// The label with every byte other than ASCII letters, digits, ".", "_" and "-" replaced by "_".
std::string SanitizeMergedListLabel(const std::string& label);
