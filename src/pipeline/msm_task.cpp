#include "pipeline/msm_task.hpp"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <stdexcept>
#include <unordered_set>

#include "exporters/msm_group_exporter.hpp"
#include "filters/filter_manager.hpp"
#include "log/gui_log.hpp"
#include "pipeline/list_choice.hpp"
#include "pipeline/pipeline_state.hpp"
#include "support/client_file_index.hpp"
#include "support/client_paths.hpp"
#include "support/granny_analyzer.hpp"
#include "support/link_guard.hpp"
#include "support/stop_check.hpp"
#include "support/work_ranges.hpp"

namespace {

constexpr float kEarlyEndProgress = 0.33f;
constexpr std::size_t kProgressStride = 16;

void EndEarly(const std::string& warning) {
  AddGuiLog(warning, GuiLogWarning);
  SetProgressMonotonic(kEarlyEndProgress);
}

void AnalyseModel(MsmGroupRecord& record, std::mutex& analysisMutex) {
  if (record.modelPath.empty()) return;
  std::string path = ResolveClientPath(StripGameRootPrefix(record.modelPath));
  if (!FileExists(path)) {
    const std::string found = Resolve("", FileNameOf(path));
    if (!found.empty()) path = found;
  }
  if (!FileExists(path) || !InsideClientRoot(path)) return;
  if (!GrannyAnalyzer::IsInitialized()) {
    // Without the runtime every analysis would fail and every group be skipped; the group is
    // exported with its model and script textures instead, only the model's own textures are unknown.
    record.modelInfo.gr2Path = path;
    return;
  }
  std::lock_guard<std::mutex> lock(analysisMutex);
  record.modelInfo = GrannyAnalyzer::Analyze(path);
}

// The task folder below the output root, created; a run that cannot have it fails.
std::string MakeTaskFolder(const std::string& clientRoot, const std::string& outputRoot) {
  if (clientRoot.empty() || outputRoot.empty()) {
    AddGuiLog("[ERROR] Path Not Found! Select Client and Output.", GuiLogError);
    throw std::runtime_error("Path Not Found! Select Client and Output.");
  }
  const std::string taskFolder = outputRoot + "\\Exported_Models_MSM";
  if (!EnsureDirectory(taskFolder)) {
    AddGuiLog("[ERROR] Cannot create directory output: " + taskFolder, GuiLogError);
    throw std::runtime_error("Cannot create directory output: " + taskFolder);
  }
  return taskFolder;
}

// The scripts the user wants, every copy of each chosen name in scan order; empty when the
// choice was cancelled (said in the window log) or the run stopped.
std::vector<std::string> ChooseScripts(const std::map<std::int32_t, std::string>& scripts) {
  std::vector<std::string> found;
  for (const auto& script : scripts) found.push_back(script.second);
  const std::vector<ListGroup> groups = GroupListsByName(found);
  const std::vector<int> chosen = ChooseListGroups(groups, "Select file MSM:");
  if (StopRequested()) return {};
  if (chosen.empty()) {
    EndEarly("[WARN] No MSM Selected.");
    return {};
  }
  std::vector<std::string> paths;
  for (int index : chosen) {
    if (index < 0 || static_cast<std::size_t>(index) >= groups.size()) continue;
    const std::vector<std::string>& group = groups[static_cast<std::size_t>(index)].paths;
    paths.insert(paths.end(), group.begin(), group.end());
  }
  return paths;
}

std::vector<MsmGroupRecord> ParseScripts(const std::vector<std::string>& paths) {
  std::vector<MsmGroupRecord> parsed;
  for (const std::string& path : paths) {
    if (StopRequested()) return {};
    AddGuiLog("Parsing: " + FileNameOf(path), GuiLogInfo);
    for (MsmGroupRecord& record : MsmParser::ParseFile(path)) parsed.push_back(std::move(record));
  }
  return parsed;
}

// The first group of each content, numbered in the order kept.
std::vector<MsmGroupRecord> KeepDistinctGroups(std::vector<MsmGroupRecord> parsed) {
  std::unordered_set<std::string> seenKeys;
  std::vector<MsmGroupRecord> kept;
  for (MsmGroupRecord& record : parsed) {
    if (!seenKeys.insert(MsmDedupKey(record)).second) continue;
    kept.push_back(std::move(record));
    kept.back().groupName = NumberedGroupName(kept.size(), kept.back().groupType);
  }
  return kept;
}

// The first half of the progress bar.
void AnalyseGroups(const std::vector<MsmGroupRecord*>& groups) {
  const float total = static_cast<float>(groups.size());
  std::mutex analysisMutex;
  RunOneByOne(groups.size(), [&](std::size_t i) {
    if (i % kProgressStride == 0) SetProgressMonotonic(0.5f * static_cast<float>(i) / total);
    AnalyseModel(*groups[i], analysisMutex);
  });
}

// The second half of the progress bar.
void ExportGroups(const std::vector<MsmGroupRecord*>& groups) {
  const float total = static_cast<float>(groups.size());
  std::atomic<std::size_t> done{0};
  // Each group has its own folder: groups go side by side, their log lines in group order.
  RunInOrder(groups.size(), BundleThreads(), [&](std::size_t i) {
    FileExporter::ExportGroup(*groups[i]);
    const std::size_t now = done.fetch_add(1) + 1;
    if (now % kProgressStride == 0) SetProgressMonotonic(0.5f + 0.5f * static_cast<float>(now) / total);
  });
}

}  // namespace

std::string MsmDedupKey(const MsmGroupRecord& record) {
  std::vector<std::string> textures = record.ddsFiles;
  std::sort(textures.begin(), textures.end());
  std::string key = record.groupType + "|" + ToLowerCopy(FileNameOf(record.modelPath)) + "|";
  for (std::size_t i = 0; i < textures.size(); ++i) {
    if (i > 0) key += ",";
    key += ToLowerCopy(textures[i]);
  }
  return key;
}

std::string NumberedGroupName(std::size_t position, const std::string& groupType) {
  char number[32];
  std::snprintf(number, sizeof(number), "[%04zu]", position);
  return number + groupType;
}

void RunMsmTask() { RunMsmTask(ActiveReferenceFolder()); }

void RunMsmTask(const std::string& referenceFolder) {
  AddGuiLog(">> AVVIO PROCESSO MSM...", GuiLogInfo);
  const std::string clientRoot = GetPathSettings().clientRoot;
  SetOutputRoot(MakeTaskFolder(clientRoot, GetPathSettings().outputRoot));

  AddGuiLog("Scanning MSM...", GuiLogInfo);
  BackgroundIndexBuild index(clientRoot);
  const std::map<std::int32_t, std::string> scripts = FindStandardMsmFiles(clientRoot);
  // Each phase ends on a stop; the runner then says the process was stopped.
  if (StopRequested()) return;
  if (scripts.empty()) {
    EndEarly("[WARN] No MSM Found.");
    return;
  }
  const std::vector<std::string> chosen = ChooseScripts(scripts);
  if (chosen.empty() || StopRequested()) return;

  FilterManager& filter = FilterManager::Instance();
  filter.LoadOldMsm(referenceFolder);
  std::vector<MsmGroupRecord> kept = KeepDistinctGroups(ParseScripts(chosen));
  if (StopRequested()) return;

  std::vector<MsmGroupRecord*> exportList;
  for (MsmGroupRecord& record : kept) {
    if (!filter.ShouldSkipGroup(record)) exportList.push_back(&record);
  }
  if (exportList.empty()) {
    EndEarly("[WARN] No Group Found After Filters (_old).");
    return;
  }

  index.Finish();
  if (StopRequested()) return;
  AnalyseGroups(exportList);
  if (StopRequested()) return;
  ExportGroups(exportList);

  AddGuiLog("[OK] MSM completato.", GuiLogSuccess);
  SetProgressMonotonic(1.0f);
}
