#include "pipeline/map_objects_task.hpp"

#include <atomic>
#include <exception>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "exporters/map_object_exporter.hpp"
#include "filters/reference_folder.hpp"
#include "filters/reference_list_maker.hpp"
#include "log/debug_log.hpp"
#include "log/gui_log.hpp"
#include "pipeline/pipeline_state.hpp"
#include "support/client_file_index.hpp"
#include "support/client_paths.hpp"
#include "support/export_journal.hpp"
#include "support/stop_check.hpp"
#include "support/work_ranges.hpp"

namespace {

constexpr int kProgressLineStride = 50;

[[noreturn]] void Fail(const std::string& line, const std::string& message) {
  AddGuiLog(line, GuiLogError);
  throw std::runtime_error(message);
}

// The run's .prb files, in index key order; empty when the scan was stopped.
std::vector<std::string> ScanClient(const std::string& clientRoot) {
  if (!FolderExists(clientRoot)) {
    Fail("ERROR scanning files: cannot list " + clientRoot, "Cannot list the client folder: " + clientRoot);
  }
  // A fresh listing: files removed since an earlier run in this process must not be answered.
  ClientFileIndex& index = GetClientFileIndex();
  index.Clear();
  index.Build(clientRoot);
  if (StopRequested()) return {};
  return index.FilesWithExtension(".prb");
}

// The objects of the base client that the reference lists were made from, when they list them.
struct PropertyFilter {
  std::set<std::string> oldNames;  // lower-cased
  int skipped = 0;

  bool Skips(const MapObject& object, const std::string& prbPath) {
    if (oldNames.count(ToLowerCopy(TrimCopy(object.name))) == 0) return false;
    LogLine("[FilterManager] Skipping object '" + object.name + "' from PRB='" + FileNameOf(prbPath) +
            "' reason='property_old'");
    RecordLeftOut({object.name, "standard", "property name", TrimCopy(object.name)});
    ++skipped;
    return true;
  }
};

// Gives up the object's claims on the copies however it ends, so the objects after it go on.
struct ClaimsRelease {
  MapObjectCopies& copies;
  std::size_t object;
  ~ClaimsRelease() { copies.Release(object); }
};

// What the objects exported side by side share.
struct SideBySide {
  EntryGate planning;
  MapObjectCopies copies;
  FolderTurns folders;
};

// Reading, filtering and planning go one object at a time in order, as they claim the copies and
// the folder; the copies then go side by side with the other objects', after the objects before
// that export into the same folder (identical property files in several places).
bool ExportOne(const std::string& prbPath, std::size_t index, const std::string& outputRoot,
               PropertyFilter& filter, SideBySide& shared) {
  const ClaimsRelease release{shared.copies, index};
  const FolderTurns::Claims folder(shared.folders, index);
  try {
    MapObjectExport plan;
    {
      const EntryGate::Pass pass(shared.planning, index);
      const MapObject object = BuildMapObject(prbPath);
      if (!object.valid) RecordLeftOut({FileNameOf(prbPath), "nothing found", "", ""});
      if (!object.valid || filter.Skips(object, prbPath)) return false;
      plan = PlanMapObjectExport(object, outputRoot);
      shared.copies.Claim(CopyDestinationsOf(plan), index);
      if (!plan.folder.empty()) shared.folders.Claim({plan.folder}, index);
    }
    shared.folders.AwaitTurn(index);
    return ExportMapObject(plan, shared.copies, index);
  } catch (const std::exception& error) {
    LogException("MapObject", error);
    AddGuiLog("ERROR processing " + FileNameOf(prbPath) + ": " + error.what(), GuiLogError);
  } catch (...) {
    LogException("MapObject");
    AddGuiLog("ERROR processing " + FileNameOf(prbPath) + ": unknown exception", GuiLogError);
  }
  return false;
}

}  // namespace

void RunMapObjectsTask() {
  AddGuiLog("Starting Map Objects extraction...", GuiLogInfo);
  const std::string clientRoot = GetPathSettings().clientRoot;
  const std::string outputRoot = GetPathSettings().outputRoot;
  if (clientRoot.empty() || outputRoot.empty()) {
    Fail("[ERROR] Path Not Found! Select Client and Output.", "Path Not Found! Select Client and Output.");
  }
  PipelineState& state = GetPipelineState();
  state.prbFound.store(0);
  state.prbProcessed.store(0);
  SetProgressMonotonic(0.1f);

  AddGuiLog("Scanning for PRB files...", GuiLogInfo);
  const std::vector<std::string> prbFiles = ScanClient(clientRoot);
  if (StopRequested()) return;
  const int total = static_cast<int>(prbFiles.size());
  state.prbFound.store(total);
  AddGuiLog("Found " + std::to_string(total) + " PRB files", GuiLogSuccess);
  SetProgressMonotonic(0.2f);
  if (total == 0) {
    AddGuiLog("No PRB files found in client!", GuiLogError);
    return;
  }

  PropertyFilter filter;
  for (const std::string& name : ReadPropertyOldList(ActiveReferenceFolder())) filter.oldNames.insert(name);
  std::atomic<int> exported{0};
  SideBySide shared;
  const std::size_t run = RunInOrder(prbFiles.size(), BundleThreads(), [&](std::size_t i) {
    if (ExportOne(prbFiles[i], i, outputRoot, filter, shared)) ++exported;
    const int done = state.prbProcessed.fetch_add(1) + 1;
    SetProgressMonotonic(static_cast<float>(done) * 0.7f / static_cast<float>(total) + 0.2f);
    if ((i + 1) % kProgressLineStride == 0) {
      AddGuiLog("Progress: " + std::to_string(i + 1) + "/" + std::to_string(total) + " objects", GuiLogInfo);
    }
  });
  if (run < prbFiles.size()) {
    AddGuiLog("Process cancelled by user", GuiLogWarning);
    return;
  }
  if (filter.skipped > 0) {
    AddGuiLog("Map filter: excluded by property_old: " + std::to_string(filter.skipped), GuiLogInfo);
  }
  SetProgressMonotonic(1.0f);
  AddGuiLog("Map Objects extraction completed!", GuiLogSuccess);
  AddGuiLog("Exported: " + std::to_string(exported.load()) + "/" + std::to_string(total) + " objects",
            GuiLogSuccess);
}
