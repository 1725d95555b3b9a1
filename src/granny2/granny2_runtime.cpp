// The stand-in Granny runtime: the entry points the model analyser calls, over our container reader.

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "granny2/gr2_root_walk.hpp"
#include "granny2/granny_file_info.hpp"
#include "platform/platform.hpp"

#if defined(_WIN32)
#define GRANNY_EXPORT __declspec(dllexport)
#else
#define GRANNY_EXPORT __attribute__((visibility("default")))
#endif

namespace {

// Owns everything the file-info record points into; the record is its first member so the
// handle given out is the object itself.
struct LoadedFile {
  granny2::FileInfoRecord info{};
  std::string fromFileName;
  std::vector<std::string> textureNames;
  std::vector<granny2::TextureRecord> textures;
  std::vector<granny2::TextureRecord*> texturePointers;
  std::vector<granny2::MeshRecord> meshes;
  std::vector<granny2::MeshRecord*> meshPointers;
  std::vector<std::string> meshNames;
};

// A plain buffer, not a std::string: a thread-local with a destructor would have to run after the
// library may already have been unloaded.
thread_local char lastError[512];

void RememberRefusal(const std::string& text) {
  const std::size_t length = std::min(text.size(), sizeof(lastError) - 1);
  std::memcpy(lastError, text.data(), length);
  lastError[length] = '\0';
}

std::unique_ptr<LoadedFile> BuildFile(granny2::RootSummary& summary) {
  auto file = std::make_unique<LoadedFile>();
  file->textureNames.reserve(summary.textures.size());
  for (auto& entry : summary.textures) file->textureNames.push_back(std::move(entry.fromFileName));
  file->textures.resize(summary.textures.size());
  for (std::size_t i = 0; i < summary.textures.size(); ++i) {
    const auto& entry = summary.textures[i];
    file->textures[i].FromFileName = entry.hasName ? file->textureNames[i].c_str() : nullptr;
    file->texturePointers.push_back(entry.present ? &file->textures[i] : nullptr);
  }
  file->meshNames = std::move(summary.meshNames);
  file->meshes.resize(file->meshNames.size());
  for (std::size_t i = 0; i < file->meshNames.size(); ++i) {
    file->meshes[i].Name = file->meshNames[i].c_str();
    file->meshPointers.push_back(&file->meshes[i]);
  }
  granny2::FileInfoRecord& info = file->info;
  info.TextureCount = static_cast<std::int32_t>(file->texturePointers.size());
  info.Textures = file->texturePointers.empty() ? nullptr : file->texturePointers.data();
  info.MeshCount = static_cast<std::int32_t>(file->meshPointers.size());
  info.Meshes = file->meshPointers.empty() ? nullptr : file->meshPointers.data();
  return file;
}

}  // namespace

extern "C" {

GRANNY_EXPORT void* GRANNY_CALL GrannyReadEntireFile(const char* fileName) {
  lastError[0] = '\0';
  try {
    if (fileName == nullptr) {
      RememberRefusal("no file name given");
      return nullptr;
    }
    std::string bytes;
    if (!platform::ReadWholeFile(platform::ToInternalPath(fileName), bytes)) {
      RememberRefusal(std::string("cannot read ") + fileName);
      return nullptr;
    }
    granny2::RootSummary summary;
    std::string reason;
    if (!granny2::ReadGr2(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), summary,
                          reason)) {
      RememberRefusal(std::string(fileName) + ": " + reason);
      return nullptr;
    }
    return BuildFile(summary).release();
  } catch (const std::bad_alloc&) {
    RememberRefusal("out of memory");
  } catch (...) {
    RememberRefusal("unexpected failure while reading");
  }
  return nullptr;
}

GRANNY_EXPORT granny2::FileInfoRecord* GRANNY_CALL GrannyGetFileInfo(void* file) {
  return file == nullptr ? nullptr : &static_cast<LoadedFile*>(file)->info;
}

GRANNY_EXPORT void GRANNY_CALL GrannyFreeFile(void* file) { delete static_cast<LoadedFile*>(file); }

GRANNY_EXPORT const char* GRANNY_CALL VintrelGrannyLastError() { return lastError; }

}  // extern "C"
