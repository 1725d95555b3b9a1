#include "pipeline/npc_task.hpp"

#include <atomic>
#include <string>
#include <vector>

#include "exporters/npc_exporter.hpp"
#include "filters/old_npc_filter.hpp"
#include "log/gui_log.hpp"
#include "pipeline/list_choice.hpp"
#include "pipeline/merged_list.hpp"
#include "pipeline/pipeline_state.hpp"
#include "readers/npc_list_reader.hpp"
#include "support/client_file_index.hpp"
#include "support/client_paths.hpp"
#include "support/export_journal.hpp"
#include "support/stop_check.hpp"
#include "support/work_ranges.hpp"

namespace {

constexpr float kProgressBase = 0.66f;
constexpr float kProgressSpan = 0.34f;
constexpr std::size_t kProgressStride = 16;

void EndEarly(const std::string& warning) {
  AddGuiLog(warning, GuiLogWarning);
  SetProgressMonotonic(1.0f);
}

std::vector<NpcEntry> KeepNewNpcs(const std::vector<NpcEntry>& entries) {
  const OldNpcFilter& filter = OldNpcFilter::Instance();
  std::vector<NpcEntry> kept;
  for (const NpcEntry& entry : entries) {
    if (!filter.IsOld(entry)) {
      kept.push_back(entry);
    } else if (entry.id != 0) {
      RecordLeftOut({entry.folderName, "standard", "number", std::to_string(entry.id)});
    } else {
      RecordLeftOut({entry.folderName, "standard", "name", entry.variantName + " " + entry.folderName});
    }
  }
  return kept;
}

// Every NPC gets its own collect phase, pool and report. The collect phases go one at a time in
// list order (they fill the processor's caches); the exports go side by side, their output in order,
// except that entries naming the same NPC export its folder one after another.
void ExportList(NpcProcessor& processor, const std::vector<NpcEntry>& kept, float listBase, float listSpan) {
  std::atomic<std::size_t> done{0};
  EntryGate collecting;
  FolderTurns folders;
  RunInOrder(kept.size(), BundleThreads(), [&](std::size_t i) {
    const FolderTurns::Claims claims(folders, i);
    NpcProcessor::Collected collected;
    {
      const EntryGate::Pass pass(collecting, i);
      collected = processor.Collect({kept[i]});
      std::vector<std::string> exportFolders;
      for (const auto& pair : collected.pairs) exportFolders.push_back(pair.exportFolder);
      folders.Claim(exportFolders, i);
    }
    folders.AwaitTurn(i);
    processor.ExportCollected(collected);
    const std::size_t now = done.fetch_add(1) + 1;
    if (now % kProgressStride == 0) {
      const float reached = listBase + listSpan * static_cast<float>(now) / static_cast<float>(kept.size());
      SetProgressMonotonic((reached - kProgressBase) / kProgressSpan);
    }
  });
}

}  // namespace

void RunNpcTask() { RunNpcTask(ActiveReferenceFolder()); }

void RunNpcTask(const std::string& referenceFolder) {
  AddGuiLog(">> AVVIO PROCESSING NPC...", GuiLogInfo);
  PointOutputAtTaskFolder("Exported_Models_NPC");
  const std::string clientRoot = GetPathSettings().clientRoot;

  AddGuiLog("Looking For npclist.txt...", GuiLogInfo);
  BackgroundIndexBuild index(clientRoot);
  ChosenLists lists;
  if (!ChooseLists(FindNpcLists(clientRoot),
                   {"[WARN]npclist.txt Not Found.",
                    "Seleziona npclist.txt da processare:", "[WARN] npclist Not Selected. Skip NPC.",
                    "[WARN] No valid npclist.txt found after selection."},
                   &EndEarly, lists)) {
    return;
  }
  const std::vector<ListGroup>& groups = lists.groups;
  const std::vector<int>& chosen = lists.chosen;

  index.Finish();
  OldNpcFilter::Instance().LoadOldNpcs(referenceFolder);
  // Its caches belong to this run: the next one may read another client.
  NpcProcessor processor;
  const float listSpan = kProgressSpan / static_cast<float>(lists.validCount);
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    if (StopRequested()) break;
    const int index = chosen[k];
    if (index < 0 || static_cast<std::size_t>(index) >= groups.size()) continue;
    const ListGroup& group = groups[static_cast<std::size_t>(index)];
    std::vector<NpcEntry> parsed;
    if (!ReadMergedGroup(group, {"[WARN] Failed to create merged npclist for ", "Parsing merged npclist: "},
                         ParseNpcList, parsed)) {
      continue;
    }
    const std::vector<NpcEntry> kept = KeepNewNpcs(parsed);
    const float listBase = kProgressBase + static_cast<float>(k) * listSpan;
    if (kept.empty()) {
      AddGuiLog("Valid NPC Not Found in This List.", GuiLogWarning);
    } else {
      AddGuiLog("Processing " + std::to_string(kept.size()) + " NPC...", GuiLogInfo);
      ExportList(processor, kept, listBase, listSpan);
    }
    SetProgressMonotonic(listBase + listSpan);
  }

  AddGuiLog("[OK] NPC completato.", GuiLogSuccess);
  SetProgressMonotonic(1.0f);
}
