// Export of the NPC and monster folders that the client's npclist files name: each name is tied to a
// folder of the client, and every folder is copied whole into [name] below the task folder, with the
// effect files its motion scripts reach and the textures its model names.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "readers/npc_list_reader.hpp"
#include "support/granny_model_info.hpp"

struct NpcReport {
  double elapsedSeconds = 0.0;
  std::int32_t foldersProcessed = 0;
  std::int32_t gr2Analyzed = 0;
  std::int32_t gr2Missing = 0;
  std::int32_t texturesMissing = 0;
  std::int32_t texturesRedeployed = 0;
};

// One task run's exporter. Its caches (names to folders, models to textures, the client's folder
// list) live as long as it does: the one-entry runs of a task share them, the next task, maybe on
// another client, starts afresh.
class NpcProcessor {
 public:
  // Collects the entries' folders, exports them on a pool of threads below PathSettings::outputRoot
  // and prints the report. A stop ends the collect phase; an export once started runs to its end.
  void Run(const std::vector<NpcEntry>& entries);

 private:
  struct Pair {
    std::string name;          // export and model name
    std::string folder;        // the client folder
    std::string exportFolder;  // outputRoot\[name]
    std::string originFile;    // the list line that named it, for the report
    int originLine = 0;
  };

 public:
  // Run in two halves, for entry lists exported side by side (RunInOrder): Collect reads and fills
  // the folder caches, so calls of it go one at a time in list order (EntryGate); ExportCollected
  // may run on several threads at once.
  struct Collected {
    std::vector<Pair> pairs;
    NpcReport report;
    std::chrono::steady_clock::time_point started;
  };
  Collected Collect(const std::vector<NpcEntry>& entries);
  void ExportCollected(Collected& collected);

  // The client folder a folder or variant name stands for: an absolute folder below the client root,
  // a path-like name as a game path, the fixed places, then the search by name. Names that would
  // lead out of the client are refused with a warning. False when nothing fits.
  bool ResolveNpcFolder(const std::string& name, std::string& folder);

  // The report of the last entry list exported.
  NpcReport Report() const;

 private:
  struct FoundFolder {
    std::string path;
    std::string lowerName;
  };

  std::string FindFolder(const std::string& name);
  std::string SearchByName(const std::string& name);
  bool Locate(const std::string& name, Pair& pair);
  void ExportPair(const Pair& pair, NpcReport& report);
  void CopyModelTextures(const Pair& pair, NpcReport& report);
  bool CachedModelInfo(const std::string& model, GrannyModelInfo& info);
  void Count(NpcReport& report, std::int32_t NpcReport::*counter);
  void SetReport(const NpcReport& report);

  NpcReport report_;
  mutable std::mutex reportMutex_;
  std::unordered_map<std::string, std::string> folderCache_;
  std::map<std::string, GrannyModelInfo> textureCache_;
  std::mutex textureCacheMutex_;
  std::vector<FoundFolder> clientFolders_;
  bool clientFoldersListed_ = false;
};

// The name an entry's folder is exported and its model looked for under: the last component of a
// path-like name ("#season1/monster/orc_lord_e/" gives "orc_lord_e"), otherwise the trimmed name.
std::string NpcExportName(const std::string& name);
// The folder's model: folder\name.gr2, or for a dashed name the model of its underscore form; empty
// when neither exists.
std::string NpcModelPath(const std::string& folder, const std::string& name);
bool HasNpcModel(const std::string& folder, const std::string& name);
// True when the folder holds a regular file "*.dds" (any letter case).
bool HasDdsFiles(const std::string& folder);
void PrintNpcReport(const NpcReport& report);
