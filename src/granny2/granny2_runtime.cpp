// The stand-in Granny runtime: the entry points the model analyser calls, over our container reader.

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "granny2/gr2_container.hpp"
#include "granny2/gr2_root_walk.hpp"
#include "granny2/granny_file_info.hpp"
#include "granny2/model_file.hpp"

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

// Reads until `size` bytes are in or the file ends; false on a read error.
bool ReadUpTo(granny2::ModelFile& file, std::uint8_t* buffer, std::size_t size, std::size_t& got) {
  got = 0;
  while (got < size) {
    const std::int64_t n = file.Read(buffer + got, size - got);
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

// The header is checked before the body is read, and no more than the size it declares is
// read: a huge file or one whose header lies costs no memory.
bool ReadModelBytes(const char* nativePath, std::vector<std::uint8_t>& bytes, std::string& reason) {
  granny2::ModelFile file;
  reason = file.Open(nativePath);
  if (!reason.empty()) return false;
  const std::int64_t fileSize = file.Size();
  bytes.resize(granny2::kHeaderBytes);
  std::size_t got = 0;
  std::uint32_t declared = 0;
  if (!ReadUpTo(file, bytes.data(), bytes.size(), got)) {
    reason = "cannot read the file";
    return false;
  }
  if (!granny2::ReadDeclaredFileSize(bytes.data(), got, static_cast<std::uint64_t>(fileSize), declared,
                                     reason))
    return false;
  bytes.resize(declared);
  std::size_t rest = 0;
  if (declared > got && !ReadUpTo(file, bytes.data() + got, declared - got, rest)) {
    reason = "cannot read the file";
    return false;
  }
  if (declared > got && rest < declared - got) {
    reason = "file truncated while it was read";
    return false;
  }
  return true;
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
    // The caller knows the file name: the reason says only what is wrong with it. The name is the
    // native path as the caller found it on disk; no letter case is resolved here.
    std::vector<std::uint8_t> bytes;
    granny2::RootSummary summary;
    std::string reason;
    if (!ReadModelBytes(fileName, bytes, reason) ||
        !granny2::ReadGr2(bytes.data(), bytes.size(), summary, reason)) {
      RememberRefusal(reason);
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
