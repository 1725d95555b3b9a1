#include "pipeline/list_choice.hpp"

#include <map>
#include <stdexcept>

#include "log/gui_log.hpp"
#include "pipeline/pipeline_state.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"
#include "support/stop_check.hpp"

void PointOutputAtTaskFolder(const std::string& folderName) {
  const PathSettings& settings = GetPathSettings();
  if (settings.clientRoot.empty() || settings.outputRoot.empty()) {
    AddGuiLog("[ERROR] Invalid Path!", GuiLogError);
    throw std::runtime_error("Invalid Path!");
  }
  const std::string taskFolder = settings.outputRoot + "\\" + folderName;
  if (!EnsureDirectory(taskFolder)) {
    AddGuiLog("[ERROR] Cannot create directory output: " + taskFolder, GuiLogError);
    throw std::runtime_error("Cannot create directory output: " + taskFolder);
  }
  SetOutputRoot(taskFolder);
}

std::vector<ListGroup> GroupListsByName(const std::vector<std::string>& found) {
  std::map<std::string, ListGroup> byName;
  for (const std::string& path : found) {
    const std::string name = FileNameOf(path);
    ListGroup& group = byName[ToLowerCopy(name)];
    if (group.paths.empty()) group.label = name;
    group.paths.push_back(path);
  }
  std::vector<ListGroup> groups;
  for (auto& entry : byName) groups.push_back(std::move(entry.second));
  return groups;
}

std::string CandidateLabel(const ListGroup& group) {
  if (group.paths.size() <= 1) return group.label;
  return group.label + " (" + std::to_string(group.paths.size()) + "x)";
}

std::vector<int> ChooseListGroups(const std::vector<ListGroup>& groups, const std::string& prompt) {
  if (groups.size() < 2) return {0};
  std::vector<std::string> labels;
  for (const ListGroup& group : groups) labels.push_back(CandidateLabel(group));
  return RequestUserSelection(prompt, labels);
}

std::vector<std::string> ValidListPaths(const std::vector<ListGroup>& groups,
                                        const std::vector<int>& chosen) {
  std::vector<std::string> valid;
  for (int index : chosen) {
    if (index < 0 || static_cast<std::size_t>(index) >= groups.size()) continue;
    for (const std::string& path : groups[static_cast<std::size_t>(index)].paths) {
      if (path.empty()) continue;
      const std::string resolved = ResolveClientPath(path);
      if (FileExists(resolved) && !FolderExists(resolved)) valid.push_back(path);
    }
  }
  return valid;
}

bool ChooseLists(const std::vector<std::string>& found, const ListCourseTexts& texts,
                 void (*endEarly)(const std::string& warning), ChosenLists& lists) {
  lists.groups = GroupListsByName(found);
  if (StopRequested()) return false;
  if (lists.groups.empty()) {
    endEarly(texts.notFound);
    return false;
  }
  lists.chosen = ChooseListGroups(lists.groups, texts.prompt);
  if (StopRequested()) return false;
  if (lists.chosen.empty()) {
    endEarly(texts.notSelected);
    return false;
  }
  lists.validCount = ValidListPaths(lists.groups, lists.chosen).size();
  if (lists.validCount == 0) {
    endEarly(texts.noneValid);
    return false;
  }
  return true;
}

void RemoveMergedList(const std::string& path) {
  if (path.empty() || platform::DeleteFile(path)) return;
  const std::uint32_t code = platform::LastError();
  if (!platform::GetFileIdentity(path)) return;
  throw std::runtime_error("Cannot delete merged list " + path + ": " + platform::ErrorMessage(code));
}
