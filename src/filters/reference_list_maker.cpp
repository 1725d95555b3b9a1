#include "filters/reference_list_maker.hpp"

#include <ctime>
#include <map>
#include <set>

#include "pipeline/merged_list.hpp"
#include "platform/platform.hpp"
#include "readers/item_list_reader.hpp"
#include "readers/msm_parser.hpp"
#include "readers/npc_list_reader.hpp"
#include "readers/property_reader.hpp"
#include "readers/text_lines.hpp"
#include "support/client_paths.hpp"
#include "support/file_operations.hpp"
#include "support/folder_walk.hpp"
#include "support/link_guard.hpp"

const char* const kPropertyOldListName = "property_old.txt";

namespace {

const char* const kReadmeName = "README.txt";
const char* const kReadmeMarker = "Reference lists made by vintrel-cli make-filters";
const char* const kFilesHeading = "Files:";

struct PlannedFile {
  std::string name;
  std::string bytes;
};

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

// Decided on the folders as the file system resolves them (links followed), not on the spelling.
bool LiesInside(const std::string& path, const std::string& realRoot) {
  std::string existing = WithoutTrailingSeparators(path);
  while (!platform::RealPath(existing)) {
    const std::size_t cut = existing.find_last_of('\\');
    if (cut == std::string::npos || cut < 2) return false;
    existing = existing.substr(0, cut == 2 ? 3 : cut);
  }
  return RealPathWithin(*platform::RealPath(existing), realRoot);
}

// The names an earlier run wrote, from its README; empty when the README is not one of ours.
std::set<std::string> NamesWrittenBefore(const std::string& folder, bool& readmeIsOurs) {
  std::set<std::string> names;
  std::string text;
  readmeIsOurs = false;
  if (!platform::ReadWholeFile(folder + "\\" + kReadmeName, text)) return names;
  const std::vector<std::string> lines = SplitLinesCopy(text);
  if (lines.empty() || lines[0] != kReadmeMarker) return names;
  readmeIsOurs = true;
  bool inFiles = false;
  for (const std::string& line : lines) {
    if (line == kFilesHeading) {
      inFiles = true;
    } else if (inFiles && !TrimCopy(line).empty()) {
      names.insert(ToLowerCopy(TrimCopy(line)));
    }
  }
  return names;
}

// Paths in messages as the user typed them, not in internal form.
std::string Shown(const std::string& path) { return platform::ToNativePath(path).value_or(path); }

int CountLines(const std::string& text) {
  int count = 0;
  for (std::string_view line : SplitLines(text)) count += line.empty() ? 0 : 1;
  return count;
}

// The merge of every list, as the tasks merge them; empty when there is none.
std::string MergedListText(const std::vector<std::string>& paths, const std::string& label) {
  if (paths.empty()) return std::string();
  const std::string merged = CreateMergedList(paths, label);
  std::string text;
  if (!merged.empty()) {
    platform::ReadWholeFile(merged, text);
    platform::DeleteFile(merged);
  }
  return text;
}

void PlanRaceScripts(const std::string& baseClient, std::vector<PlannedFile>& plan,
                     ReferenceListCounts& counts) {
  std::map<std::string, int> perRace;
  for (const auto& script : FindStandardMsmFiles(baseClient)) {
    std::string race = ToLowerCopy(FileNameOf(script.second));
    race = race.substr(0, race.size() - 4);  // the ".msm" every standard name ends in
    const int number = ++perRace[race];
    PlannedFile file{race + (number > 1 ? "_" + std::to_string(number) : std::string()) + "_old.msm", {}};
    if (!platform::ReadWholeFile(script.second, file.bytes)) continue;
    plan.push_back(std::move(file));
    ++counts.raceScripts;
  }
}

std::string PropertyNamesText(const std::string& baseClient, ReferenceListCounts& counts) {
  std::map<std::string, std::string> names;  // lower-cased -> as first met
  FolderWalkVisitor visitor;
  visitor.onFile = [&](const std::string& path, std::string_view, const platform::DirEntry& entry) {
    if (ToLowerCopy(ExtensionOf(entry.name)) != ".prb") return;
    ++counts.prbFiles;
    const PrbRecord record = ParsePrb(path);
    const std::string name = TrimCopy(record.propertyName);
    if (record.found && !name.empty()) names.emplace(ToLowerCopy(name), name);
  };
  WalkFolder(baseClient, visitor);
  std::string text;
  for (const auto& name : names) text += name.second + "\r\n";
  counts.propertyNames = static_cast<int>(names.size());
  return text;
}

std::string ReadmeText(const std::string& baseClient, const ReferenceListCounts& counts,
                       const std::vector<PlannedFile>& plan) {
  std::string text = std::string(kReadmeMarker) + "\r\n\r\n";
  text += "Base client: " + Shown(baseClient) + "\r\n";
  text += "Made: " + platform::FormatLocalTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S") + "\r\n\r\n";
  text += "Race scripts: " + std::to_string(counts.raceScripts) + "\r\n";
  text += "Item lists merged: " + std::to_string(counts.itemLists) + " (" + std::to_string(counts.itemLines) +
          " lines)\r\n";
  text += "NPC lists merged: " + std::to_string(counts.npcLists) + " (" + std::to_string(counts.npcLines) +
          " lines)\r\n";
  text += "Property names: " + std::to_string(counts.propertyNames) + " (from " +
          std::to_string(counts.prbFiles) + " .prb files)\r\n\r\n";
  text +=
      "Exports skip what these lists name: vintrel-cli export ... --filters <this folder>\r\n"
      "The lines below list the files this folder's maker wrote; it replaces only those.\r\n\r\n";
  text += std::string(kFilesHeading) + "\r\n";
  for (const PlannedFile& file : plan) text += file.name + "\r\n";
  return text;
}

}  // namespace

ReferenceListResult MakeReferenceLists(const std::string& baseClient, const std::string& outputFolder,
                                       bool force) {
  ReferenceListResult result;
  const std::optional<std::string> realBase = platform::RealPath(WithoutTrailingSeparators(baseClient));
  if (!realBase || !FolderExists(baseClient)) {
    result.error = "the base client is not a folder: " + Shown(baseClient);
    return result;
  }
  const std::string folder = WithoutTrailingSeparators(outputFolder);
  if (LiesInside(folder, *realBase)) {
    result.error = "the output folder lies inside the base client: " + Shown(folder);
    return result;
  }

  std::vector<PlannedFile> plan;
  ReferenceListCounts& counts = result.counts;
  PlanRaceScripts(baseClient, plan, counts);
  const std::vector<std::string> itemLists = FindItemLists(baseClient);
  const std::vector<std::string> npcLists = FindNpcLists(baseClient);
  plan.push_back({"item_list_old.txt", MergedListText(itemLists, "item_list_old")});
  plan.push_back({"npclist_old.txt", MergedListText(npcLists, "npclist_old")});
  counts.itemLists = static_cast<int>(itemLists.size());
  counts.itemLines = CountLines(plan[plan.size() - 2].bytes);
  counts.npcLists = static_cast<int>(npcLists.size());
  counts.npcLines = CountLines(plan.back().bytes);
  plan.push_back({kPropertyOldListName, PropertyNamesText(baseClient, counts)});
  plan.push_back({kReadmeName, ReadmeText(baseClient, counts, plan)});

  bool readmeIsOurs = false;
  const std::set<std::string> ours = NamesWrittenBefore(folder, readmeIsOurs);
  if (!force) {
    for (const PlannedFile& file : plan) {
      const bool mine = file.name == kReadmeName ? readmeIsOurs : ours.count(ToLowerCopy(file.name)) != 0;
      if (!mine && platform::GetFileAttributes(folder + "\\" + file.name) != platform::kInvalidAttributes) {
        result.error =
            "would overwrite a file it did not write (use --force): " + Shown(folder + "\\" + file.name);
        return result;
      }
    }
  }

  if (platform::CreateFolderWithParents(folder) == platform::CreateFolderResult::Failed) {
    result.error = "cannot create the output folder: " + Shown(folder);
    return result;
  }
  std::set<std::string> writtenNow;
  for (const PlannedFile& file : plan) {
    if (!WriteFileAtomically(folder + "\\" + file.name, file.bytes)) {
      result.error = "cannot write " + Shown(folder + "\\" + file.name);
      return result;
    }
    result.written.push_back(file.name);
    writtenNow.insert(ToLowerCopy(file.name));
  }
  // A race script the base client no longer has would still count as standard.
  for (const std::string& name : ours) {
    if (writtenNow.count(name) == 0 && name.find_first_of("\\/:") == std::string::npos) {
      platform::DeleteFile(folder + "\\" + name);
    }
  }
  result.ok = true;
  return result;
}

std::vector<std::string> ReadPropertyOldList(const std::string& referenceFolder) {
  std::string text;
  if (referenceFolder.empty() ||
      !platform::ReadWholeFile(WithoutTrailingSeparators(referenceFolder) + "\\" + kPropertyOldListName,
                               text)) {
    return {};
  }
  std::vector<std::string> names;
  for (std::string_view line : SplitLines(text)) {
    const std::string name = TrimCopy(std::string(line));
    if (!name.empty()) names.push_back(ToLowerCopy(name));
  }
  return names;
}
