#include "pipeline/core_initialization.hpp"

#include <cstring>
#include <mutex>
#include <vector>

#include "log/debug_log.hpp"
#include "log/gui_log.hpp"
#include "pipeline/pipeline_runner.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"
#include "support/granny_analyzer.hpp"

namespace {

std::mutex& ResourceTableMutex() {
  static std::mutex mutex;
  return mutex;
}

// The front end's tables, searched in the order they were handed over.
std::vector<EmbeddedResourceTable>& ResourceTables() {
  static std::vector<EmbeddedResourceTable> tables;
  return tables;
}

// Ids 210..220 in table order.
const char* const kReferenceListNames[] = {"assassin_m_old.msm", "assassin_w_old.msm", "shaman_m_old.msm",
                                           "shaman_w_old.msm",   "sura_m_old.msm",     "sura_w_old.msm",
                                           "warrior_m_old.msm",  "warrior_w_old.msm",  "item_list_old.txt",
                                           "npclist_old.txt",    "wolfman_m_old.msm"};

// "D:" and "D:\" show as empty fields: a whole drive is never a sensible client or output folder.
std::string WithoutBareDriveRoot(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  const bool bare = (path.size() == 2 || (path.size() == 3 && path[2] == '\\')) && path[1] == ':' &&
                    ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  return bare ? std::string() : path;
}

}  // namespace

void SetEmbeddedResources(EmbeddedResourceTable table) {
  std::lock_guard<std::mutex> lock(ResourceTableMutex());
  ResourceTables().assign(1, table);
}

void AddEmbeddedResources(EmbeddedResourceTable table) {
  std::lock_guard<std::mutex> lock(ResourceTableMutex());
  ResourceTables().push_back(table);
}

const EmbeddedResource* FindEmbeddedResource(int id) {
  std::lock_guard<std::mutex> lock(ResourceTableMutex());
  for (const EmbeddedResourceTable& table : ResourceTables()) {
    for (std::size_t i = 0; i < table.count; ++i) {
      if (table.entries[i].id == id) return &table.entries[i];
    }
  }
  return nullptr;
}

const char* ReferenceListFileName(int id) {
  if (id < kResourceFirstReferenceList || id > kResourceLastReferenceList) return nullptr;
  return kReferenceListNames[id - kResourceFirstReferenceList];
}

std::string GrannyRuntimeFileName() {
  const std::string native = platform::SharedLibraryFileName("granny2");
  return native == "granny2.dll" ? std::string("Granny2.dll") : native;
}

bool ExtractResourceToFile(int id, const std::string& path, const DiskInterface& disk) {
  const EmbeddedResource* resource = FindEmbeddedResource(id);
  if (resource == nullptr || resource->data == nullptr || resource->size == 0) return false;
  // A full disk or a killed process must never leave a cut file under the final name: a cut
  // runtime crashes every later start.
  const std::string bytes(reinterpret_cast<const char*>(resource->data), resource->size);
  return WriteFileAtomically(path, bytes, disk);
}

bool FileHoldsResource(const std::string& path, int id) {
  const EmbeddedResource* resource = FindEmbeddedResource(id);
  if (resource == nullptr) return false;
  {
    platform::File file = platform::File::OpenForRead(path);
    if (!file.IsOpen() || file.Size() != static_cast<std::int64_t>(resource->size)) return false;
  }
  std::string bytes;
  return platform::ReadWholeFile(path, bytes) && bytes.size() == resource->size &&
         std::memcmp(bytes.data(), resource->data, resource->size) == 0;
}

void WriteEmbeddedIfMissing(const std::string& folder, int id, const std::string& fileName) {
  const std::string path = folder + "\\" + fileName;
  const std::uint32_t attributes = platform::GetFileAttributes(path);
  if (attributes != platform::kInvalidAttributes) {
    if ((attributes & platform::kAttributeDirectory) != 0) return;
    // An empty list is what a first start on a full disk left; a user's edit is never empty.
    platform::File file = platform::File::OpenForRead(path);
    if (!file.IsOpen() || file.Size() != 0) return;
  }
  ExtractResourceToFile(id, path);
}

EmbeddedFilePlaces WriteEmbeddedFiles(const std::string& executableFolder, const std::string& userFolder) {
  EmbeddedFilePlaces places;
  std::string user = userFolder;
  while (!user.empty() && user.back() == '\\') user.pop_back();

  if (FindEmbeddedResource(kResourceGrannyRuntime) != nullptr) {
    // The runtime is ours, not the user's: a copy that differs from the carried one is replaced.
    for (const std::string& folder : {executableFolder, user}) {
      if (folder.empty()) continue;
      const std::string path = folder + "\\" + GrannyRuntimeFileName();
      if (FileHoldsResource(path, kResourceGrannyRuntime) ||
          ExtractResourceToFile(kResourceGrannyRuntime, path)) {
        places.runtimePath = path;
        places.inUserFolder = folder == user;
        break;
      }
    }
  }

  // The lists go beside the executable whenever their folder can be there, which is also where
  // DefaultReferenceFolder looks first.
  places.referenceFolder = executableFolder + "\\standard_filters";
  platform::CreateSingleFolder(places.referenceFolder);
  if (!FolderExists(places.referenceFolder) && !user.empty()) {
    places.referenceFolder = user + "\\standard_filters";
    platform::CreateSingleFolder(places.referenceFolder);
    places.inUserFolder = true;
  }
  for (int id = kResourceFirstReferenceList; id <= kResourceLastReferenceList; ++id) {
    WriteEmbeddedIfMissing(places.referenceFolder, id, ReferenceListFileName(id));
  }
  return places;
}

void FillPathFields() {
  const PathSettings& settings = GetPathSettings();
  SetClientPathText(WithoutBareDriveRoot(settings.clientRoot));
  SetOutputPathText(WithoutBareDriveRoot(settings.outputRoot));
}

void InitializeCore() {
  AddGuiLog("Initializing Core...", GuiLogInfo);

  std::string executableFolder = platform::ExecutableFolder();
  while (!executableFolder.empty() && executableFolder.back() == '\\') executableFolder.pop_back();
  const std::string userFolder = platform::UserDataFolder();
  const EmbeddedFilePlaces places = WriteEmbeddedFiles(executableFolder, userFolder);
  if (places.inUserFolder) {
    const std::string line = "Program folder not writable, using " + userFolder;
    AddGuiLog(line, GuiLogWarning);
    LogLine("[WARN] " + line);
  }

  FillPathFields();
  // Only a copy checked against the carried one is loaded (none when none could be written): a
  // cut library crashes the process that maps it.
  if (FindEmbeddedResource(kResourceGrannyRuntime) == nullptr) {
    GrannyAnalyzer::Initialize();
  } else {
    GrannyAnalyzer::Initialize(places.runtimePath);
  }
  AddGuiLog("Core Ready.", GuiLogInfo);
}
