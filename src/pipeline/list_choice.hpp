// The course that the item and NPC tasks share: the lists found in the client, grouped by file name
// so that copies in several folders are offered once, the user's choice among the names, and each
// chosen name's copies merged into one temporary list.
#pragma once

#include <string>
#include <vector>

struct ListGroup {
  std::string label;               // the file name as first met, in its own case
  std::vector<std::string> paths;  // every list of that name (any letter case), in the order found
};

// Groups in ascending byte order of the lower-cased file names.
std::vector<ListGroup> GroupListsByName(const std::vector<std::string>& found);

// The label, with " (Nx)" when N > 1 lists share the name.
std::string CandidateLabel(const ListGroup& group);

// The positions of the chosen groups: the first one when there are fewer than two, otherwise the
// user's answer to `prompt` (empty when cancelled or nothing ticked).
std::vector<int> ChooseListGroups(const std::vector<ListGroup>& groups, const std::string& prompt);

// The lists of the chosen groups, in selection order, that exist as files below the client root.
std::vector<std::string> ValidListPaths(const std::vector<ListGroup>& groups, const std::vector<int>& chosen);

// Deletes a merged list once read. A missing file is no error; any other failure throws, which
// ends the task and is reported by the pipeline runner.
void RemoveMergedList(const std::string& path);
