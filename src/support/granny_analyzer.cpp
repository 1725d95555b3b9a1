#include "support/granny_analyzer.hpp"

#include <algorithm>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "granny2/granny_file_info.hpp"
#include "log/console.hpp"
#include "log/debug_log.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"

namespace {

const char* const kTag = "[GrannyAnalyzer] ";

struct Runtime {
  platform::LibraryHandle library = nullptr;
  granny2::ReadEntireFileFunction read = nullptr;
  granny2::GetFileInfoFunction info = nullptr;
  granny2::FreeFileFunction release = nullptr;
  granny2::LastErrorFunction lastError = nullptr;  // only our own runtime has it
};

// The runtime's own thread safety is unknown, so its calls run one at a time under this lock.
std::mutex& RuntimeMutex() {
  static std::mutex mutex;
  return mutex;
}

Runtime& GetRuntime() {
  static Runtime runtime;
  return runtime;
}

template <typename Function>
Function LookUp(platform::LibraryHandle library, const char* baseName) {
  void* address = FindGrannyFunction(
      [library](const char* name) { return platform::FindSymbol(library, name); }, baseName);
  return reinterpret_cast<Function>(address);
}

void LoadRuntime(const std::vector<std::string>& candidates) {
  std::lock_guard<std::mutex> lock(RuntimeMutex());
  Runtime& runtime = GetRuntime();
  if (runtime.library != nullptr) return;
  LogLine(std::string("[INFO] ") + kTag + "Initialize: loading granny2.dll");
  platform::LibraryHandle library = nullptr;
  for (const std::string& candidate : candidates) {
    if (candidate.empty()) continue;
    library = platform::LoadLibrary(candidate);
    if (library != nullptr) break;
  }
  if (library == nullptr) {
    LogLine(std::string("[ERROR] ") + kTag + "LoadLibrary failed for granny2.dll");
    PrintWarn("Granny2 SDK not available: textures extraction disabled");
    return;
  }
  Runtime loaded;
  loaded.library = library;
  loaded.read = LookUp<granny2::ReadEntireFileFunction>(library, "GrannyReadEntireFile");
  loaded.info = LookUp<granny2::GetFileInfoFunction>(library, "GrannyGetFileInfo");
  loaded.release = LookUp<granny2::FreeFileFunction>(library, "GrannyFreeFile");
  if (loaded.read == nullptr || loaded.info == nullptr || loaded.release == nullptr) {
    LogLine(std::string("[ERROR] ") + kTag + "Missing required Granny functions");
    PrintWarn("Granny2 SDK incomplete: texture extraction disabled");
    platform::FreeLibrary(library);
    return;
  }
  loaded.lastError =
      reinterpret_cast<granny2::LastErrorFunction>(platform::FindSymbol(library, granny2::kLastErrorSymbol));
  runtime = loaded;
  LogLine(std::string("[INFO] ") + kTag + "Initialized successfully");
}

void Fail(GrannyModelInfo& result, const std::string& error) {
  result.error = error;
  LogLine(std::string("[ERROR] ") + kTag + error);
}

// Our own runtime says why it could not read; a user can do nothing with "cannot read" alone.
void FailToRead(GrannyModelInfo& result, const char* reason) {
  const bool hasReason = reason != nullptr && *reason != '\0';
  Fail(result,
       "Impossibile leggere file GR2: " + result.gr2Path + (hasReason ? std::string(": ") + reason : ""));
}

// The runtime takes native paths and finds no letter case itself: the spelling on disk is found
// here. A path that does not resolve goes as it is, and the runtime says it cannot open it.
std::optional<std::string> NativePathForRuntime(const std::string& gr2Path) {
  const std::optional<std::string> real = platform::RealPath(gr2Path);
  return platform::ToNativePath(real ? platform::LongPathForm(*real) : gr2Path);
}

// The model loaded by the runtime; null with the failure in `result`.
void* OpenModel(const Runtime& runtime, GrannyModelInfo& result) {
  const std::optional<std::string> nativePath = NativePathForRuntime(result.gr2Path);
  if (!nativePath) {
    FailToRead(result, "cannot open the file");
    return nullptr;
  }
  void* file = nullptr;
  try {
    file = runtime.read(nativePath->c_str());
  } catch (const std::exception& e) {
    Fail(result, std::string("Exception during g_pRead: ") + e.what());
    return nullptr;
  }
  if (file == nullptr) FailToRead(result, runtime.lastError ? runtime.lastError() : nullptr);
  return file;
}

// The texture names of a model with meshes and textures; for any other the model is skipped or
// failed in `result` and false comes back.
bool ReadTextureNames(const Runtime& runtime, void* file, GrannyModelInfo& result,
                      std::vector<std::string>& names) {
  const granny2::FileInfoRecord* info = runtime.info(file);
  if (info == nullptr) {
    Fail(result, "Impossibile ottenere FileInfo");
    return false;
  }
  result.meshCount = info->MeshCount;
  LogLine(std::string("[INFO] ") + kTag + "MeshCount=" + std::to_string(info->MeshCount));
  if (info->MeshCount < 1) {
    result.skipped = true;
    LogLine(std::string("[WARN] ") + kTag + "MeshCount<=0, skipping: " + result.gr2Path);
    return false;
  }
  LogLine(std::string("[INFO] ") + kTag + "TextureCount=" + std::to_string(info->TextureCount));
  if (info->TextureCount < 1 || info->Textures == nullptr) {
    result.skipped = true;
    LogLine(std::string("[WARN] ") + kTag + "No textures in GR2, skipping: " + result.gr2Path);
    return false;
  }
  for (std::int32_t i = 0; i < info->TextureCount; ++i) {
    const granny2::TextureRecord* texture = info->Textures[i];
    if (texture != nullptr && texture->FromFileName != nullptr) names.emplace_back(texture->FromFileName);
  }
  return true;
}

// The runtime's part of an analysis, under its lock.
bool ReadModel(GrannyModelInfo& result, std::vector<std::string>& names) {
  std::lock_guard<std::mutex> lock(RuntimeMutex());
  const Runtime& runtime = GetRuntime();
  if (runtime.library == nullptr || !runtime.read || !runtime.info || !runtime.release) {
    Fail(result, "Granny2 SDK non inizializzato");
    return false;
  }
  void* file = OpenModel(runtime, result);
  if (file == nullptr) return false;
  bool listed = false;
  try {
    listed = ReadTextureNames(runtime, file, result, names);
  } catch (const std::exception& e) {
    Fail(result, std::string("Exception during g_pInfo: ") + e.what());
  }
  runtime.release(file);
  return listed;
}

// Each name once, sorted, with whether it is found under the client; this touches only the disk.
void AddTextures(std::vector<std::string>& names, GrannyModelInfo& result) {
  for (std::string& name : names) {
    const bool exists = FileExists(name);
    LogLine(std::string("[DEBUG] ") + kTag + "Found texture: " + name +
            (exists ? " (exists)" : " (missing)"));
    result.textures.push_back({std::move(name), exists});
  }
  std::stable_sort(result.textures.begin(), result.textures.end(),
                   [](const GrannyTexture& a, const GrannyTexture& b) { return a.fileName < b.fileName; });
  result.textures.erase(
      std::unique(result.textures.begin(), result.textures.end(),
                  [](const GrannyTexture& a, const GrannyTexture& b) { return a.fileName == b.fileName; }),
      result.textures.end());
}

}  // namespace

void* FindGrannyFunction(const std::function<void*(const char*)>& lookup, const std::string& baseName) {
  for (const std::string& name : {baseName, baseName + "4", "_" + baseName + "@4"}) {
    if (void* address = lookup(name.c_str())) return address;
  }
  return nullptr;
}

void GrannyAnalyzer::Initialize() {
  const std::string fileName = platform::SharedLibraryFileName("granny2");
  // Start-up writes the runtime to the per-user folder when the program folder is read-only.
  const std::string userFolder = platform::UserDataFolder();
  std::vector<std::string> candidates;
#if defined(_WIN32)
  candidates.push_back(fileName);
#else
  candidates.push_back(platform::ExecutableFolder() + fileName);
#endif
  if (!userFolder.empty()) candidates.push_back(userFolder + fileName);
#if !defined(_WIN32)
  candidates.push_back(fileName);
#endif
  LoadRuntime(candidates);
}

void GrannyAnalyzer::Initialize(const std::string& libraryPath) { LoadRuntime({libraryPath}); }

void GrannyAnalyzer::Shutdown() {
  std::lock_guard<std::mutex> lock(RuntimeMutex());
  Runtime& runtime = GetRuntime();
  if (runtime.library != nullptr) platform::FreeLibrary(runtime.library);
  runtime = Runtime{};
}

bool GrannyAnalyzer::IsInitialized() {
  std::lock_guard<std::mutex> lock(RuntimeMutex());
  return GetRuntime().library != nullptr;
}

GrannyModelInfo GrannyAnalyzer::Analyze(const std::string& gr2Path) {
  GrannyModelInfo result;
  result.gr2Path = gr2Path;
  LogLine(std::string("[INFO] ") + kTag + "Analyze start: " + gr2Path);
  std::vector<std::string> names;
  if (!ReadModel(result, names)) return result;
  AddTextures(names, result);
  if (result.textures.empty()) {
    result.skipped = true;
    LogLine(std::string("[WARN] ") + kTag + "After dedupe no textures found for: " + gr2Path);
  }
  LogLine(std::string("[INFO] ") + kTag + "Analyze complete for: " + gr2Path +
          " textures=" + std::to_string(result.textures.size()));
  return result;
}
