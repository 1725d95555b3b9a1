#include "exporters/item_exporter.hpp"

#include <atomic>
#include <exception>
#include <memory>
#include <thread>
#include <unordered_set>

#include "log/console.hpp"
#include "log/debug_log.hpp"
#include "log/held_output.hpp"
#include "readers/effect_script_reader.hpp"
#include "readers/shining_table.hpp"
#include "support/client_paths.hpp"
#include "support/contained_path.hpp"
#include "support/export_files.hpp"
#include "support/export_journal.hpp"
#include "support/file_operations.hpp"
#include "support/granny_analyzer.hpp"
#include "support/stop_check.hpp"
#include "support/work_ranges.hpp"

const char* const kItemNotFound = "NON TROVATO";

namespace {

const DataFileKind kModelFile{"GR2 ", "", "copy_gr2:"};
const DataFileKind kIconFile{"icon ", "", "copy_icon:"};
const DataFileKind kModelTexture{"texture ", "", "copy_tex:"};
const DataFileKind kEffectScript{"MSE ", "", "copy_mse:"};
const DataFileKind kEffectMesh{"MDE ", "", "copy_mde:"};
const DataFileKind kEffectTexture{"DDS ", "", "copy_dds:"};

// Found files travel from the analysis to the export as "absolute path|relative game path".
bool SplitPair(const std::string& pair, std::string& source, std::string& rel) {
  const std::size_t bar = pair.find('|');
  if (bar == std::string::npos) return false;
  source = pair.substr(0, bar);
  rel = pair.substr(bar + 1);
  return true;
}

void AnalyzeModelTextures(ItemEntry& item) {
  const GrannyModelInfo info = GrannyAnalyzer::Analyze(item.resolvedModel);
  if (!info.error.empty()) {
    item.analysisError = info.error;
    item.texturesTotal = -1;
    return;
  }
  item.texturesTotal = static_cast<std::int32_t>(info.textures.size());
  for (const GrannyTexture& texture : info.textures) {
    if (StopRequested()) return;
    const std::string path = ResolveGameAsset(texture.fileName);
    if (path.empty()) {
      RecordMissingReference(texture.fileName, "model texture");
      continue;
    }
    ++item.texturesFound;
    item.textures.push_back(path + "|" + StripGameRootPrefix(texture.fileName));
  }
}

// Two effect scripts often name the same texture; it is listed (and copied) once.
void AddEffectFiles(const std::vector<std::string>& names, const char* namedBy, const std::string& scriptFile,
                    std::vector<std::string>& found, std::int32_t& foundCount,
                    std::unordered_set<std::string>& listed) {
  for (const std::string& name : names) {
    if (StopRequested()) return;
    const std::string path = ResolveEffectFile(name, scriptFile);
    if (path.empty()) {
      RecordMissingReference(name, namedBy);
      continue;
    }
    const std::string pair = path + "|" + StripGameRootPrefix(name);
    if (!listed.insert(pair).second) continue;
    found.push_back(pair);
    ++foundCount;
  }
}

// The glow usually belongs to the higher upgrade levels, which the reader folded into the first
// number: the scripts of all of them count, each distinct one once, in list order.
std::vector<std::string> EffectScriptsOf(const ItemEntry& item) {
  const std::shared_ptr<const ShiningTable> table = GetShiningTable();
  std::vector<std::int32_t> numbers{item.vnum};
  numbers.insert(numbers.end(), item.foldedVnums.begin(), item.foldedVnums.end());
  std::unordered_set<std::string> taken;
  std::vector<std::string> scripts;
  for (const std::int32_t number : numbers) {
    const std::string* script = table->Find(number);
    if (script != nullptr && taken.insert(ToLowerCopy(*script)).second) scripts.push_back(*script);
  }
  return scripts;
}

void AnalyzeEffects(ItemEntry& item) {
  item.effectScripts = EffectScriptsOf(item);
  if (item.effectScripts.empty()) return;
  item.hasEffect = true;
  item.effectScript = item.effectScripts.front();
  std::unordered_set<std::string> listed;
  for (const std::string& script : item.effectScripts) {
    if (StopRequested()) return;
    // Scripts, like models, seldom sit at their game path below the client root.
    const std::string scriptFile = ResolveGameAsset(script);
    if (scriptFile.empty()) {
      RecordMissingReference(script, "effect script");
      continue;
    }
    const MseRecord mse = ParseMse(scriptFile);
    if (!mse.ok) continue;
    item.effectMeshesTotal += static_cast<std::int32_t>(mse.meshFiles.size());
    item.effectTexturesTotal += static_cast<std::int32_t>(mse.textureFiles.size());
    AddEffectFiles(mse.meshFiles, "effect mesh", scriptFile, item.effectMeshes, item.effectMeshesFound,
                   listed);
    AddEffectFiles(mse.textureFiles, "effect texture", scriptFile, item.effectTextures,
                   item.effectTexturesFound, listed);
  }
}

void ExportModelTextures(const ItemEntry& item, const std::string& folder) {
  std::string source;
  std::string rel;
  for (const std::string& pair : item.textures) {
    if (StopRequested()) return;
    if (!SplitPair(pair, source, rel)) continue;
    if (CopyFoundDataFile(kModelTexture, source, rel, rel, folder) != DataFileOutcome::Outside) {
      CopyToMirror(source, rel);
    }
  }
}

void ExportEffects(const ItemEntry& item, const std::string& folder) {
  const std::string effects = folder + "\\effects";
  SetLastOp("create_effects_folder:" + effects);
  if (!EnsureDirectory(effects)) return;
  for (const std::string& script : item.effectScripts) {
    if (StopRequested()) return;
    const std::string scriptFile = ResolveGameAsset(script);
    if (!scriptFile.empty())
      CopyFoundDataFile(kEffectScript, scriptFile, FileNameOf(scriptFile), script, effects);
  }
  std::string source;
  std::string rel;
  // Meshes land flat, by file name; textures keep their game folders.
  for (const std::string& pair : item.effectMeshes) {
    if (StopRequested()) return;
    if (SplitPair(pair, source, rel))
      CopyFoundDataFile(kEffectMesh, source, FileNameOf(source), rel, effects);
  }
  for (const std::string& pair : item.effectTextures) {
    if (StopRequested()) return;
    if (SplitPair(pair, source, rel)) CopyFoundDataFile(kEffectTexture, source, rel, rel, effects);
  }
}

void AnalyzeAndExport(ItemEntry& item) {
  const JournalBundleScope bundle(JoinUnderRoot(GetPathSettings().outputRoot, ItemFolderRel(item)),
                                  item.sourceFile, item.sourceLine);
  try {
    AnalyzeItem(item);
    if (StopRequested()) return;
    ExportItem(item);
  } catch (const std::exception& error) {
    LogException("ExportItem vnum=" + std::to_string(item.vnum), error);
    ReportErr("[ItemExporter] Exception for item " + std::to_string(item.vnum) + ": " + error.what());
  } catch (...) {
    LogException("ExportItem vnum=" + std::to_string(item.vnum));
    ReportErr("[ItemExporter] Unknown exception for item " + std::to_string(item.vnum));
  }
}

}  // namespace

std::string ItemFolderRel(const ItemEntry& item) {
  return item.type + "\\[" + std::to_string(item.vnum) + "]";
}

std::string ResolveGameAsset(const std::string& reference) {
  if (reference.empty()) return "";
  const std::string rel = StripGameRootPrefix(reference);
  return ResolveSource(rel, FileNameOf(rel));
}

void AnalyzeItem(ItemEntry& item) {
  SetLastOp("analyze_item:" + std::to_string(item.vnum));
  if (StopRequested()) return;
  item.resolvedModel = ResolveGameAsset(item.modelPath);
  item.modelFound = !item.resolvedModel.empty();
  if (!item.modelFound) {
    item.resolvedModel = kItemNotFound;
    if (!item.modelPath.empty()) RecordMissingReference(item.modelPath, "model");
  }
  if (StopRequested()) return;
  item.resolvedIcon = ResolveGameAsset(item.iconPath);
  if (item.resolvedIcon.empty()) {
    item.resolvedIcon = kItemNotFound;
    if (!item.iconPath.empty()) RecordMissingReference(item.iconPath, "icon");
  }
  if (!item.modelFound || StopRequested()) return;
  AnalyzeModelTextures(item);
  if (StopRequested()) return;
  AnalyzeEffects(item);
}

void ExportItem(const ItemEntry& item) {
  if (StopRequested()) return;
  if (!item.modelFound && item.textures.empty() && item.resolvedIcon == kItemNotFound) {
    RecordLeftOut({std::to_string(item.vnum), "nothing found", "", ""});
    return;
  }
  const std::string rel = ItemFolderRel(item);
  const std::string folder = JoinUnderRoot(GetPathSettings().outputRoot, rel);
  if (folder.empty()) {
    RecordRefusedPath(rel);
    ReportWarn("Refused path outside the export folder: " + rel);
    return;
  }
  SetLastOp("create_item_folder:" + folder);
  if (!EnsureDirectory(folder) || StopRequested()) return;

  const std::string snippet = folder + "\\item_list_snippet.txt";
  SetLastOp("write_snippet:" + snippet);
  // WriteFile ends the line with one CR LF.
  if (!WriteFile(snippet, item.rawLine + "\n")) ReportWarn("Unable to write snippet for item " + rel);

  if (item.modelFound) {
    const std::string name = FileNameOf(item.resolvedModel);
    CopyFoundDataFile(kModelFile, item.resolvedModel, name, name, folder);
  }
  if (item.resolvedIcon != kItemNotFound) {
    const std::string name = FileNameOf(item.resolvedIcon);
    CopyFoundDataFile(kIconFile, item.resolvedIcon, name, name, folder);
  }
  ExportModelTextures(item, folder);
  if (item.hasEffect && !StopRequested()) ExportEffects(item, folder);
  SetLastOp("");
}

void ProcessItems(std::vector<ItemEntry>& items) {
  if (items.empty()) {
    PrintWarn("Nessun item da processare.");
    return;
  }
  const std::size_t threads = HardwareThreads(4);
  PrintOk("Elaborazione " + std::to_string(items.size()) + " items con " + std::to_string(threads) +
          " thread...");
  std::atomic<int> processed{0};
  std::vector<std::thread> workers;
  // The pool's output belongs to the item list that started it.
  OutputTurn* turn = CurrentOutputTurn();
  for (const auto& range : SplitIntoRanges(items.size(), threads)) {
    if (StopRequested()) break;
    workers.emplace_back([&items, &processed, range, turn] {
      const OutputTurnScope inTurn(turn);
      for (std::size_t i = range.first; i < range.second && i < items.size(); ++i) {
        if (StopRequested()) return;
        AnalyzeAndExport(items[i]);
        processed.fetch_add(1);
      }
    });
  }
  // Wakes as soon as the workers are joined: a one-item call costs no redraw period.
  ScanProgressTicker progress(processed, static_cast<int>(items.size()), true);
  for (std::thread& worker : workers) worker.join();
  progress.Finish();
  PrintOk("Elaborazione items completata!");
}
