#include "filters/filter_manager.hpp"

#include <vector>

#include "log/console.hpp"
#include "log/debug_log.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"
#include "support/export_journal.hpp"

namespace {

bool IsNumberedGroupType(const std::string& type) { return type == "ShapeData" || type == "HairData"; }

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string LowerModelFileName(const MsmGroupRecord& record) {
  return ToLowerCopy(FileNameOf(record.modelPath));
}

}  // namespace

FilterManager& FilterManager::Instance() {
  static FilterManager instance;
  return instance;
}

void FilterManager::LoadOldMsm(const std::string& referenceFolder) {
  oldModelNames.clear();
  standardGroups.clear();

  std::vector<platform::DirEntry> entries;
  if (!BeginReferenceLoad(referenceFolder, "MSM", entries)) return;

  int filesLoaded = 0;
  for (const platform::DirEntry& entry : entries) {
    if (entry.isDirectory || !EndsWith(ToLowerCopy(entry.name), "old.msm")) continue;
    const std::vector<MsmGroupRecord> records = MsmParser::ParseFile(referenceFolder + "\\" + entry.name);
    if (!records.empty()) ++filesLoaded;
    for (const MsmGroupRecord& record : records) {
      if (record.modelPath.empty()) continue;
      std::string model = LowerModelFileName(record);
      if (!model.empty()) oldModelNames.insert(model);
      if (IsNumberedGroupType(record.groupType) && record.groupIndex != -1) {
        standardGroups.emplace(record.groupIndex, record.groupType, std::move(model));
      }
    }
  }

  PrintOk("File OLD caricati: " + std::to_string(filesLoaded));
  PrintOk("Modelli OLD (filename) unici: " + std::to_string(oldModelNames.size()));
  PrintOk("Gruppi standard Shape/Hair unici: " + std::to_string(standardGroups.size()));
  PrintOk(kFilterSeparator);
}

namespace {

// "script.msm: HairData03": the same group name recurs in every script.
std::string ScriptGroupName(const MsmGroupRecord& record) {
  return FileNameOf(record.msmPath) + ": " + record.groupName;
}

}  // namespace

bool FilterManager::ShouldSkipGroup(const MsmGroupRecord& record) const {
  const std::string model = LowerModelFileName(record);
  const auto logSkip = [&record](const std::string& reason) {
    LogLine("[FilterManager] Skipping group '" + record.groupName + "' from MSM='" +
            FileNameOf(record.msmPath) + "' reason='" + reason);
  };

  if (!record.modelPath.empty() && !model.empty() && oldModelNames.count(model) != 0) {
    logSkip("model_old' model='" + model + "'");
    RecordLeftOut({ScriptGroupName(record), "standard", "model name", model});
    return true;
  }
  if (IsNumberedGroupType(record.groupType) && record.groupIndex != -1 &&
      standardGroups.count(StandardGroupKey(record.groupIndex, record.groupType, model)) != 0) {
    logSkip("shapekey_old' index=" + std::to_string(record.groupIndex) + " type='" + record.groupType +
            "' model='" + model + "'");
    RecordLeftOut({ScriptGroupName(record), "standard", "slot",
                   record.groupType + " " + std::to_string(record.groupIndex) + " " + model});
    return true;
  }
  return false;
}
