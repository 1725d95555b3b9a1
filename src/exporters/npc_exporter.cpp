#include "exporters/npc_exporter.hpp"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <exception>
#include <set>
#include <thread>
#include <unordered_set>

#include "log/console.hpp"
#include "log/debug_log.hpp"
#include "log/held_output.hpp"
#include "platform/platform.hpp"
#include "readers/text_lines.hpp"
#include "support/client_file_index.hpp"
#include "support/client_paths.hpp"
#include "support/contained_path.hpp"
#include "support/export_files.hpp"
#include "support/export_journal.hpp"
#include "support/file_operations.hpp"
#include "support/folder_walk.hpp"
#include "support/granny_analyzer.hpp"
#include "support/link_guard.hpp"
#include "support/mirror_root.hpp"
#include "support/stop_check.hpp"
#include "support/work_ranges.hpp"

namespace {

constexpr std::size_t kSearchedFolderLimit = 20000;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "boss-a" -> "boss_a": the folder and model a dashed name stands for.
std::string Underscored(std::string name) {
  for (char& c : name) {
    if (c == '-') c = '_';
  }
  return name;
}

bool IsPathLike(const std::string& name) { return name.find_first_of("\\/") != std::string::npos; }

bool IsAbsolute(const std::string& name) {
  return name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
}

std::string WithoutTrailingSeparators(std::string path) {
  while (!path.empty() && IsSeparator(path.back())) path.pop_back();
  return path;
}

// "#season1/monster/orc_lord_e/" -> "season1\monster\orc_lord_e".
std::string NamePath(const std::string& name) {
  std::string path = CleanPathValue(name);
  if (!path.empty() && path.front() == '#') path.erase(0, 1);
  return WithoutTrailingSeparators(path);
}

// The path below the client root, empty when it does not lie there.
std::string RelativeToClient(const std::string& path) {
  const std::string root = WithoutTrailingSeparators(GetPathSettings().clientRoot);
  if (root.empty() || path.size() <= root.size() + 1 || path[root.size()] != '\\' ||
      ToLowerCopy(path.substr(0, root.size())) != ToLowerCopy(root)) {
    return std::string();
  }
  return path.substr(root.size() + 1);
}

// The game path of a client folder: what follows its last "ymir work" folder, as the game's data
// names it ("pack\ymir work\monster2\x" is "monster2\x"), else its path below the client root.
std::string GamePathOfFolder(const std::string& path) {
  const std::string rel = RelativeToClient(path);
  const std::string lower = ToLowerCopy(rel);
  const std::size_t at = lower.rfind("ymir work\\");
  if (at != std::string::npos && (at == 0 || lower[at - 1] == '\\')) return rel.substr(at + 10);
  return rel;
}

// A folder found through data must lie in the client, its links followed.
bool IsClientFolder(const std::string& path) {
  const std::string& clientRoot = GetPathSettings().clientRoot;
  return !path.empty() && FolderExists(path) && (clientRoot.empty() || ResolvesInside(path, clientRoot));
}

void Refuse(const std::string& name, const std::string& why) {
  ReportWarn("[NpcProcessor] Folder refused for: " + name + " (" + why + ")");
}

bool SameFolder(const std::string& a, const std::string& b) {
  return ToLowerCopy(FolderPartOf(a)) == ToLowerCopy(FolderPartOf(b));
}

// The text between the first double quote at or after `from` and the last one of the line.
bool QuotedValue(const std::string& line, std::size_t from, std::string& value) {
  const std::size_t first = line.find('"', from);
  const std::size_t last = line.rfind('"');
  if (first == std::string::npos || last == std::string::npos || last <= first) return false;
  value = line.substr(first + 1, last - first - 1);
  return true;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::string contents;
  if (!FileExists(path) || !platform::ReadWholeFile(path, contents)) return {};
  return SplitLinesCopy(contents);
}

// The effect files that one folder's motion scripts reach, each copied once below the export folder
// (and mirrored) at its lower-cased game path.
class EffectCopy {
 public:
  explicit EffectCopy(const std::string& exportFolder) : exportFolder_(exportFolder) {}

  void CopyMotionEffects(const std::string& script, const std::string& scriptRel) {
    for (const std::string& line : ReadLines(script)) {
      std::size_t at = line.size() >= 14 ? line.find("EffectFileName") : std::string::npos;
      if (at == std::string::npos && line.size() >= 16) at = line.find("EffectScriptName");
      std::string value;
      if (at != std::string::npos && QuotedValue(line, at, value)) CopyEffectFile(value, script, scriptRel);
    }
  }

 private:
  void CopyEffectScriptFiles(const std::string& script, const std::string& scriptRel) {
    for (const std::string& line : ReadLines(script)) {
      std::string value;
      if (line.size() >= 12 && line.find("MeshFileName") != std::string::npos && QuotedValue(line, 0, value))
        CopyEffectFile(value, script, scriptRel);
      if (line.find(".dds") != std::string::npos && QuotedValue(line, 0, value) &&
          ExtensionOf(value) == ".dds")
        CopyEffectFile(value, script, scriptRel);
    }
  }

  // A bare file name is the script's neighbour first, and is then copied beside the script's copy.
  void CopyEffectFile(const std::string& reference, const std::string& script, const std::string& scriptRel) {
    std::string key = ToLowerCopy(reference);
    for (char& c : key) {
      if (c == '/') c = '\\';
    }
    const std::string rel = StripGameRootPrefix(key);
    const bool bare = rel.find('\\') == std::string::npos;
    const std::string scriptFolder = ToLowerCopy(FolderPartOf(scriptRel));
    const std::string besideRel = bare && !scriptFolder.empty() ? scriptFolder + "\\" + rel : rel;
    if (!visited_.insert(besideRel).second) return;
    const std::string source = ResolveEffectFile(reference, script);
    if (source.empty() || !FileExists(source)) {
      const std::string extension = ExtensionOf(rel);
      RecordMissingReference(reference, extension == ".mse"   ? "effect script"
                                        : extension == ".dds" ? "effect texture"
                                                              : "effect mesh");
      return;
    }
    const std::string copyRel = bare && SameFolder(source, script) ? besideRel : rel;
    if (CopyBelowRoot(source, exportFolder_, copyRel, "mkdir_effect:", "copy_effect:") ==
        CopyOutcome::Outside) {
      ReportWarn("Refused path outside the export folder: " + copyRel);
      return;
    }
    CopyToMirror(source, copyRel);
    // The visited set ends cycles between scripts.
    if (ExtensionOf(rel) == ".mse") CopyEffectScriptFiles(source, copyRel);
  }

  std::string exportFolder_;
  std::set<std::string> visited_;
};

void CopyFolderEffects(const std::string& folder, const std::string& exportFolder) {
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(folder, entries)) return;
  EffectCopy copy(exportFolder);
  const std::string folderRel = GamePathOfFolder(folder);
  for (const platform::DirEntry& entry : entries) {
    const std::string extension = ExtensionOf(entry.name);
    if (!entry.isRegularFile || (extension != ".msa" && extension != ".msm")) continue;
    const std::string script = folder + "\\" + entry.name;
    // The folder copy leaves out links that lead elsewhere; so does the scripts' reading.
    if (entry.isLink && !ResolvesInside(script, folder)) continue;
    copy.CopyMotionEffects(script, folderRel.empty() ? std::string() : folderRel + "\\" + entry.name);
  }
}

void CopyNpcFolder(const std::string& source, const std::string& destination) {
  if (!EnsureDirectory(destination)) return;
  if (!CopyDirectoryRecursive(source, destination, LinkScope::Folder)) {
    LogLine("[WARN] CopyNpcFolder: CopyDirectoryRecursive failed src=" + source + " dst=" + destination);
  }
}

}  // namespace

std::string NpcExportName(const std::string& name) {
  const std::string trimmed = TrimCopy(name);
  return IsPathLike(trimmed) ? FileNameOf(NamePath(trimmed)) : trimmed;
}

std::string NpcModelPath(const std::string& folder, const std::string& name) {
  std::string model = folder + "\\" + name + ".gr2";
  if (FileExists(model)) return model;
  if (name.find('-') == std::string::npos) return std::string();
  model = folder + "\\" + Underscored(name) + ".gr2";
  return FileExists(model) ? model : std::string();
}

bool HasNpcModel(const std::string& folder, const std::string& name) {
  return !NpcModelPath(folder, name).empty();
}

bool HasDdsFiles(const std::string& folder) {
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(WithoutTrailingSeparators(folder), entries, "*.dds")) return false;
  for (const platform::DirEntry& entry : entries) {
    if (entry.isRegularFile && !entry.isDirectory) return true;
  }
  return false;
}

void PrintNpcReport(const NpcReport& report) {
  PrintOk("=== NPC REPORT FINALE ===");
  PrintOk("Tempo: " + std::to_string(static_cast<long long>(report.elapsedSeconds)) + "s");
  PrintOk("Folder processate: " + std::to_string(report.foldersProcessed));
  PrintOk("GR2 analizzati: " + std::to_string(report.gr2Analyzed));
  PrintOk("GR2 mancanti: " + std::to_string(report.gr2Missing));
  PrintOk("Texture mancanti: " + std::to_string(report.texturesMissing));
  PrintOk("Texture redeployed: " + std::to_string(report.texturesRedeployed));
}

bool NpcProcessor::ResolveNpcFolder(const std::string& name, std::string& folder) {
  const auto cached = folderCache_.find(name);
  if (cached != folderCache_.end()) {
    folder = cached->second;
    return !folder.empty();
  }
  folder = FindFolder(name);
  // A search cut short by a stop has no answer to keep.
  if (!StopRequested()) folderCache_[name] = folder;
  return !folder.empty();
}

std::string NpcProcessor::FindFolder(const std::string& name) {
  const std::string trimmed = TrimCopy(name);
  if (trimmed.empty()) return std::string();
  const std::string& clientRoot = GetPathSettings().clientRoot;

  std::string path = NamePath(trimmed);
  if (IsAbsolute(path)) {
    // Shared exports must not carry folders from elsewhere on the disk.
    if (IsClientFolder(path)) {
      LogLine("[NpcProcessor] Resolved absolute folder: " + trimmed);
      return path;
    }
    path = StripGameRootPrefix(path);
    if (IsAbsolute(path)) {
      Refuse(name, "not below the client root");
      return std::string();
    }
  }
  if (IsPathLike(path)) {
    const std::string candidate = JoinUnderRoot(clientRoot, path);
    if (candidate.empty()) {
      Refuse(name, "leaves the client root");
      return std::string();
    }
    if (IsClientFolder(candidate)) {
      LogLine("[NpcProcessor] Found folder via game path: " + candidate);
      return candidate;
    }
    // The index's folder rule, not its fall-back by name alone: the model must sit in a folder of that path.
    const std::string model = Resolve(path, FileNameOf(path) + ".gr2");
    const std::string found = FolderPartOf(model);
    if (!model.empty() && ToLowerCopy(found).find(ToLowerCopy(path)) != std::string::npos &&
        IsClientFolder(found)) {
      LogLine("[NpcProcessor] Found folder via file index: " + found);
      return found;
    }
  }

  const std::string searched = NpcExportName(trimmed);
  std::vector<std::string> forms{searched};
  if (searched.find('-') != std::string::npos) forms.push_back(Underscored(searched));
  for (const std::string& form : forms) {
    for (const char* place : {"npc\\", "model\\npc\\", "monster\\", "monster2\\", ""}) {
      const std::string candidate = JoinUnderRoot(clientRoot, place + form);
      if (IsClientFolder(candidate)) {
        LogLine("[NpcProcessor] Found folder via common_paths: " + candidate);
        return candidate;
      }
    }
  }

  if (!clientRoot.empty()) {
    const std::string found = SearchByName(searched);
    if (!found.empty() || StopRequested()) return found;
  }
  LogLine("[NpcProcessor] Folder NOT found for: " + name);
  return std::string();
}

// One walk over the client's folders per task run; every name that the fixed places miss is
// looked up in that list.
std::string NpcProcessor::SearchByName(const std::string& name) {
  if (!clientFoldersListed_) {
    std::vector<FoundFolder> folders;
    FolderWalkVisitor visitor;
    visitor.onFolder = [&](const std::string& path, std::string_view) {
      if (folders.size() >= kSearchedFolderLimit) return false;
      folders.push_back({path, ToLowerCopy(FileNameOf(path))});
      return true;
    };
    if (WalkFolder(WithoutTrailingSeparators(GetPathSettings().clientRoot), visitor).stopped)
      return std::string();
    clientFolders_ = std::move(folders);
    clientFoldersListed_ = true;
  }
  const std::string wanted = ToLowerCopy(name);
  const FoundFolder* match = nullptr;
  for (const FoundFolder& folder : clientFolders_) {
    if (folder.lowerName == wanted) {
      match = &folder;
      break;
    }
  }
  // A part of a name ("a" in "stray_dog") counts only for a folder that holds what an NPC folder holds.
  for (std::size_t i = 0; match == nullptr && i < clientFolders_.size(); ++i) {
    const FoundFolder& folder = clientFolders_[i];
    if ((folder.lowerName.find(wanted) != std::string::npos ||
         wanted.find(folder.lowerName) != std::string::npos) &&
        (HasNpcModel(folder.path, name) || HasDdsFiles(folder.path))) {
      match = &folder;
    }
  }
  if (match == nullptr || !IsClientFolder(match->path)) return std::string();
  LogLine("[NpcProcessor] Found folder via substring search: " + match->path +
          " (matched: " + FileNameOf(match->path) + ")");
  return match->path;
}

// The export folder is checked before anything is looked for: a name that could not be exported
// is not worth a search.
bool NpcProcessor::Locate(const std::string& name, Pair& pair) {
  pair.name = NpcExportName(name);
  pair.exportFolder = JoinUnderRoot(GetPathSettings().outputRoot, "[" + pair.name + "]");
  if (pair.exportFolder.empty()) {
    RecordRefusedPath("[" + pair.name + "]");
    Refuse(name, "no folder of the output can bear its name");
    return false;
  }
  return ResolveNpcFolder(name, pair.folder);
}

bool NpcProcessor::CachedModelInfo(const std::string& model, GrannyModelInfo& info) {
  std::lock_guard<std::mutex> lock(textureCacheMutex_);
  const auto cached = textureCache_.find(model);
  if (cached == textureCache_.end()) return false;
  info = cached->second;
  return true;
}

void NpcProcessor::Count(NpcReport& report, std::int32_t NpcReport::*counter) {
  std::lock_guard<std::mutex> lock(reportMutex_);
  ++(report.*counter);
}

void NpcProcessor::CopyModelTextures(const Pair& pair, NpcReport& report) {
  const std::string model = NpcModelPath(pair.folder, pair.name);
  if (model.empty()) {
    RecordMissingReference(pair.name + ".gr2", "model");
    Count(report, &NpcReport::gr2Missing);
    return;
  }
  GrannyModelInfo info;
  if (!CachedModelInfo(model, info)) {
    // Analysed by the first entry list that needs it, as when the lists run one after another:
    // it waits until those before it are done, and one looking meanwhile finds the model missing.
    WaitForOutputTurn();
    // Held across the analysis: one NPC model is analysed at a time.
    std::lock_guard<std::mutex> lock(textureCacheMutex_);
    const auto cached = textureCache_.find(model);
    if (cached != textureCache_.end()) {
      info = cached->second;
    } else {
      Count(report, &NpcReport::gr2Analyzed);
      info = textureCache_[model] = GrannyAnalyzer::Analyze(model);
    }
  }
  for (const GrannyTexture& texture : info.textures) {
    if (texture.fileName.empty()) continue;
    const std::string rel = StripGameRootPrefix(texture.fileName);
    const std::string source = ResolveSource(rel, FileNameOf(rel));
    if (source.empty() || !FileExists(source)) {
      RecordMissingReference(texture.fileName, "model texture");
      Count(report, &NpcReport::texturesMissing);
      continue;
    }
    if (CopyBelowRoot(source, pair.exportFolder, rel, "", "copy_tex:") == CopyOutcome::Outside) {
      ReportWarn("Refused path outside the export folder: " + rel);
      continue;
    }
    CopyToMirror(source, rel);
    Count(report, &NpcReport::texturesRedeployed);
  }
}

void NpcProcessor::ExportPair(const Pair& pair, NpcReport& report) {
  const JournalBundleScope bundle(pair.exportFolder, pair.originFile, pair.originLine);
  CopyNpcFolder(pair.folder, pair.exportFolder);
  // The mirror keeps the game's own layout: the folder goes to its game path.
  const std::string rel = GamePathOfFolder(pair.folder);
  const std::string mirror = rel.empty() ? std::string() : MirrorDestination(rel);
  if (!mirror.empty()) CopyNpcFolder(pair.folder, mirror);
  CopyFolderEffects(pair.folder, pair.exportFolder);
  CopyModelTextures(pair, report);
}

void NpcProcessor::Run(const std::vector<NpcEntry>& entries) {
  Collected collected = Collect(entries);
  ExportCollected(collected);
}

NpcProcessor::Collected NpcProcessor::Collect(const std::vector<NpcEntry>& entries) {
  Collected collected;
  collected.started = std::chrono::steady_clock::now();
  std::vector<Pair>& pairs = collected.pairs;
  const int total = static_cast<int>(entries.size());
  PrintScanProgress(0, total);

  std::unordered_set<std::string> seen;
  for (const NpcEntry& entry : entries) {
    if (StopRequested()) break;
    const std::string& a = entry.folderName;
    const std::string& b = entry.variantName;
    Pair pair;
    pair.originFile = entry.sourceFile;
    pair.originLine = entry.sourceLine;
    const std::size_t pairsBefore = pairs.size();
    if (!a.empty() && seen.insert(a).second) {
      if (Locate(a, pair) && HasNpcModel(pair.folder, pair.name)) {
        pairs.push_back(pair);
      } else if (!b.empty() && seen.insert(b).second && Locate(b, pair) && HasDdsFiles(pair.folder)) {
        pairs.push_back(pair);
        LogLine("[NpcProcessor] Added variant-only folder (dds present): " + b + " -> " + pair.folder);
      }
    } else if (!b.empty() && seen.insert(b).second && Locate(b, pair)) {
      if (HasNpcModel(pair.folder, pair.name)) {
        pairs.push_back(pair);
      } else if (HasDdsFiles(pair.folder)) {
        pairs.push_back(pair);
        LogLine("[NpcProcessor] Added variant-only folder (no GR2 but dds present): " + b + " -> " +
                pair.folder);
      }
    }
    if (pairs.size() == pairsBefore) RecordLeftOut({a.empty() ? b : a, "nothing found", "", ""});
    PrintScanProgress(static_cast<int>(pairs.size()), total);
  }
  return collected;
}

void NpcProcessor::ExportCollected(Collected& collected) {
  const std::vector<Pair>& pairs = collected.pairs;
  NpcReport& report = collected.report;
  const int count = static_cast<int>(pairs.size());
  report.foldersProcessed = count;
  if (count == 0) {
    PrintErr("Nessuna folder NPC trovata!");
    SetReport(report);
    return;
  }
  PrintOk("Folder NPC valide: " + std::to_string(count));
  PrintOk("Elaborazione NPC multi-thread...");
  EnsureDirectory(GetPathSettings().outputRoot);
  const std::size_t threads = std::min(HardwareThreads(1), pairs.size());
  PrintOk("Folder: " + std::to_string(count) + ", Thread: " + std::to_string(threads));

  std::atomic<int> processed{0};
  ScanProgressTicker ticker(processed, count, false);
  std::vector<std::thread> workers;
  // The pool's output belongs to the entry list that started it.
  OutputTurn* turn = CurrentOutputTurn();
  for (const auto& range : SplitIntoRanges(pairs.size(), threads)) {
    workers.emplace_back([this, &pairs, &processed, &report, range, turn] {
      const OutputTurnScope inTurn(turn);
      for (std::size_t i = range.first; i < range.second && i < pairs.size(); ++i) {
        try {
          ExportPair(pairs[i], report);
        } catch (const std::exception& e) {
          LogException("NpcProcessor folder=" + pairs[i].folder, e);
        } catch (...) {
          LogException("NpcProcessor folder=" + pairs[i].folder);
        }
        processed.fetch_add(1);
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  ticker.Finish();

  report.elapsedSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - collected.started).count();
  SetReport(report);
  PrintNpcReport(report);
}

void NpcProcessor::SetReport(const NpcReport& report) {
  std::lock_guard<std::mutex> lock(reportMutex_);
  report_ = report;
}

NpcReport NpcProcessor::Report() const {
  std::lock_guard<std::mutex> lock(reportMutex_);
  return report_;
}
