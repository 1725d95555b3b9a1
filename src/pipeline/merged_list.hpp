// Several copies of one list file (item_list.txt, npclist.txt in different folders) read as one list.
#pragma once

#include <string>
#include <vector>

// Writes every distinct non-empty line of `paths` (in order of first appearance; byte-exact
// comparison) to a new file "Vintrel_merged_<label>_<ticks>.txt" in the temporary folder and returns
// its path. Unreadable inputs are skipped. Empty result when no line was found or the file could not
// be written. The caller deletes the file.
std::string CreateMergedList(const std::vector<std::string>& paths, const std::string& label);

// The label with every byte other than ASCII letters, digits, ".", "_" and "-" replaced by "_".
std::string SanitizeMergedListLabel(const std::string& label);
