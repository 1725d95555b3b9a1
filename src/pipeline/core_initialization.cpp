#include "pipeline/core_initialization.hpp"

#include <mutex>

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

EmbeddedResourceTable& ResourceTable() {
  static EmbeddedResourceTable table;
  return table;
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
  ResourceTable() = table;
}

const EmbeddedResource* FindEmbeddedResource(int id) {
  std::lock_guard<std::mutex> lock(ResourceTableMutex());
  const EmbeddedResourceTable& table = ResourceTable();
  for (std::size_t i = 0; i < table.count; ++i) {
    if (table.entries[i].id == id) return &table.entries[i];
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

bool ExtractResourceToFile(int id, const std::string& path) {
  const EmbeddedResource* resource = FindEmbeddedResource(id);
  if (resource == nullptr || resource->data == nullptr || resource->size == 0) return false;
  platform::File file = platform::File::CreateForWrite(path);
  if (!file.IsOpen()) return false;
  const bool written = file.Write(resource->data, resource->size);
  file.Close();
  return written;
}

void WriteEmbeddedIfMissing(const std::string& folder, int id, const std::string& fileName) {
  const std::string path = folder + "\\" + fileName;
  if (platform::GetFileAttributes(path) != platform::kInvalidAttributes) return;
  ExtractResourceToFile(id, path);
}

void WriteEmbeddedFiles(const std::string& executableFolder) {
  const std::string filtersFolder = executableFolder + "\\standard_filters";
  platform::CreateSingleFolder(filtersFolder);
  WriteEmbeddedIfMissing(executableFolder, kResourceGrannyRuntime, GrannyRuntimeFileName());
  for (int id = kResourceFirstReferenceList; id <= kResourceLastReferenceList; ++id) {
    WriteEmbeddedIfMissing(filtersFolder, id, ReferenceListFileName(id));
  }
}

void FillPathFields() {
  const PathSettings& settings = GetPathSettings();
  SetPathText(ClientPathText(), WithoutBareDriveRoot(settings.clientRoot).c_str());
  SetPathText(OutputPathText(), WithoutBareDriveRoot(settings.outputRoot).c_str());
}

void InitializeCore() {
  AddGuiLog("Initializing Core...", GuiLogInfo);

  std::string executableFolder = platform::ExecutableFolder();
  while (!executableFolder.empty() && executableFolder.back() == '\\') executableFolder.pop_back();
  WriteEmbeddedFiles(executableFolder);

  FillPathFields();
  GrannyAnalyzer::Initialize();
  AddGuiLog("Core Ready.", GuiLogInfo);
}
