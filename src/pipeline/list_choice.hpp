// The course that the item and NPC tasks share: the lists found in the client, grouped by file name
// so that copies in several folders are offered once, the user's choice among the names, and each
// chosen name's copies merged into one temporary list.
#pragma once

#include <string>
#include <vector>

#include "log/gui_log.hpp"
#include "pipeline/merged_list.hpp"

struct ListGroup {
  std::string label;               // the file name as first met, in its own case
  std::vector<std::string> paths;  // every list of that name (any letter case), in the order found
};

// The list task's folder, output root\`folderName`, created and made the output root. Without a
// client or output root ("[ERROR] Invalid Path!") or when the folder cannot be created, says so in
// the window log and throws, so the run ends as an error.
void PointOutputAtTaskFolder(const std::string& folderName);

// Groups in ascending byte order of the lower-cased file names.
std::vector<ListGroup> GroupListsByName(const std::vector<std::string>& found);

// The label, with " (Nx)" when N > 1 lists share the name.
std::string CandidateLabel(const ListGroup& group);

// The positions of the chosen groups: the first one when there are fewer than two, otherwise the
// user's answer to `prompt` (empty when cancelled or nothing ticked).
std::vector<int> ChooseListGroups(const std::vector<ListGroup>& groups, const std::string& prompt);

// The lists of the chosen groups, in selection order, that exist as files below the client root.
std::vector<std::string> ValidListPaths(const std::vector<ListGroup>& groups, const std::vector<int>& chosen);

// The window-log warnings of a list task that ends before it exports anything, and its question.
struct ListCourseTexts {
  const char* notFound;
  const char* prompt;
  const char* notSelected;
  const char* noneValid;
};

struct ChosenLists {
  std::vector<ListGroup> groups;
  std::vector<int> chosen;     // positions in groups, in selection order
  std::size_t validCount = 0;  // lists of the chosen groups that exist
};

// Groups the found lists, asks which names to take and checks that some chosen list exists. False
// when the task ends here: on a stop, or after one warning of `texts` given to `endEarly`.
bool ChooseLists(const std::vector<std::string>& found, const ListCourseTexts& texts,
                 void (*endEarly)(const std::string& warning), ChosenLists& lists);

// Deletes a merged list once read. A missing file is no error; any other failure throws, which
// ends the task and is reported by the pipeline runner.
void RemoveMergedList(const std::string& path);

// The window-log lines of reading a group's lists: "<failed><label>" and "<parsing><merged file>
// (merged from N files)".
struct MergedListTexts {
  const char* failed;
  const char* parsing;
};

// The entries of a group's lists read as one: merged into a temporary file, parsed by
// `parse(path)`, the file deleted, each entry pointed at the list line it came from. False when the
// merge failed (said in the window log).
template <typename Entry, typename Parse>
bool ReadMergedGroup(const ListGroup& group, const MergedListTexts& texts, Parse parse,
                     std::vector<Entry>& entries) {
  const std::string label = CandidateLabel(group);
  std::vector<MergedLineOrigin> origins;
  const std::string merged = CreateMergedList(group.paths, label, origins);
  if (merged.empty()) {
    AddGuiLog(texts.failed + label, GuiLogWarning);
    return false;
  }
  AddGuiLog(texts.parsing + merged + " (merged from " + std::to_string(group.paths.size()) + " files)",
            GuiLogInfo);
  entries = parse(merged);
  RemoveMergedList(merged);
  TraceToSourceLists(entries, origins);
  return true;
}
