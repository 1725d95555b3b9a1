#include "pipeline/item_task.hpp"

#include <atomic>
#include <vector>

#include "exporters/item_exporter.hpp"
#include "filters/old_item_filter.hpp"
#include "log/gui_log.hpp"
#include "pipeline/list_choice.hpp"
#include "pipeline/merged_list.hpp"
#include "pipeline/pipeline_state.hpp"
#include "readers/item_list_reader.hpp"
#include "support/client_file_index.hpp"
#include "support/client_paths.hpp"
#include "support/export_journal.hpp"
#include "support/stop_check.hpp"
#include "support/work_ranges.hpp"

namespace {

constexpr float kItemsBase = 0.33f;
constexpr float kItemsSpan = 0.33f;
constexpr float kEarlyEndProgress = 0.66f;
constexpr std::size_t kProgressStride = 32;

void EndEarly(const std::string& warning) {
  AddGuiLog(warning, GuiLogWarning);
  SetProgressMonotonic(kEarlyEndProgress);
}

// The entries of one merged list that are neither old nor of another category, with the two
// counts said in the window log.
std::vector<ItemEntry> KeepNewItems(std::vector<ItemEntry> parsed, std::size_t otherCategoryLines) {
  const OldItemFilter& filter = OldItemFilter::Instance();
  std::size_t old = 0;
  std::vector<ItemEntry> kept;
  for (ItemEntry& entry : parsed) {
    const std::string number = std::to_string(entry.vnum);
    if (filter.IsOld(entry.vnum)) {
      ++old;
      RecordLeftOut({number, "standard", "number", number});
    } else if (!IsItemCategory(TrimCopy(entry.type))) {
      ++otherCategoryLines;
      RecordLeftOut({number, "category", "", entry.type});
    } else {
      kept.push_back(std::move(entry));
    }
  }
  if (old > 0) AddGuiLog("Item filter: excluded by OLD filter: " + std::to_string(old), GuiLogInfo);
  if (otherCategoryLines > 0) {
    AddGuiLog("Item filter: excluded by category (not ARMOR/WEAPON/AURA/WING): " +
                  std::to_string(otherCategoryLines),
              GuiLogInfo);
  }
  return kept;
}

// Each item through the exporter's own pool; items go side by side with their output in item
// order, except that lines with the same type and number fill their folder one after another.
void ExportItems(std::vector<ItemEntry>& kept, float listBase, float listSpan) {
  AddGuiLog("Parsing " + std::to_string(kept.size()) + " items...", GuiLogInfo);
  const float total = static_cast<float>(kept.size());
  std::atomic<std::size_t> done{0};
  FolderTurns folders;
  for (std::size_t i = 0; i < kept.size(); ++i) folders.Claim({ItemFolderRel(kept[i])}, i);
  RunInOrder(kept.size(), BundleThreads(), [&](std::size_t i) {
    const FolderTurns::Claims claims(folders, i);
    folders.AwaitTurn(i);
    std::vector<ItemEntry> one{kept[i]};
    ProcessItems(one);
    const std::size_t now = done.fetch_add(1) + 1;
    if (now % kProgressStride == 0) {
      SetProgressMonotonic((listBase + listSpan * static_cast<float>(now) / total - kItemsBase) /
                           kItemsSpan);
    }
  });
}

void ExportList(const ListGroup& group, float listBase, float listSpan) {
  std::size_t otherCategoryLines = 0;
  std::vector<ItemEntry> parsed;
  const auto parse = [&otherCategoryLines](const std::string& merged) {
    return ParseItemList(merged, otherCategoryLines);
  };
  if (!ReadMergedGroup(group, {"[WARN] Failed to create merged list for ", "Parsing merged item_list: "},
                       parse, parsed)) {
    return;
  }

  std::vector<ItemEntry> kept = KeepNewItems(std::move(parsed), otherCategoryLines);
  if (kept.empty()) {
    AddGuiLog("No Valid Item.", GuiLogWarning);
  } else {
    ExportItems(kept, listBase, listSpan);
  }
  SetProgressMonotonic(listBase + listSpan);
}

}  // namespace

void RunItemTask() { RunItemTask(ActiveReferenceFolder()); }

void RunItemTask(const std::string& referenceFolder) {
  AddGuiLog(">> AVVIO PROCESSO ITEMS...", GuiLogInfo);
  PointOutputAtTaskFolder("Exported_Models_ITEM");
  const std::string clientRoot = GetPathSettings().clientRoot;

  AddGuiLog("Ricerca item_list.txt in: " + clientRoot, GuiLogInfo);
  BackgroundIndexBuild index(clientRoot);
  ChosenLists lists;
  if (!ChooseLists(
          FindItemLists(clientRoot),
          {"[WARN] No item_list.txt found.", "Select item_list.txt:", "[WARN] No list Selected. Skip Items.",
           "[WARN] No valid item_list.txt found after selection."},
          &EndEarly, lists)) {
    return;
  }
  const std::vector<ListGroup>& groups = lists.groups;
  const std::vector<int>& chosen = lists.chosen;
  const std::size_t validLists = lists.validCount;

  index.Finish();
  OldItemFilter::Instance().LoadOldItems(referenceFolder);
  const float listSpan = kItemsSpan / static_cast<float>(validLists);
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    if (StopRequested()) return;
    const int index = chosen[k];
    if (index < 0 || static_cast<std::size_t>(index) >= groups.size()) continue;
    ExportList(groups[static_cast<std::size_t>(index)], kItemsBase + static_cast<float>(k) * listSpan,
               listSpan);
  }

  AddGuiLog("[OK] ITEMS completed.", GuiLogSuccess);
  SetProgressMonotonic(1.0f);
}
