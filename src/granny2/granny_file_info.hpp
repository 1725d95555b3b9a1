// The file-info record of the Granny runtime as the model analyser reads it, and the runtime's
// entry points. Shared by the stand-in runtime library and the analyser so the two cannot drift.
#pragma once

#include <cstddef>
#include <cstdint>

// The 32-bit Windows runtime uses __stdcall (callee cleans the stack); elsewhere the one native convention.
#if defined(_WIN32) && !defined(_WIN64)
#define GRANNY_CALL __stdcall
#else
#define GRANNY_CALL
#endif

namespace granny2 {

// Packed to 4 like the runtime's own records: in 64-bit builds the array pointers follow their
// 32-bit counts without padding.
#pragma pack(push, 4)
struct TextureRecord {
  const char* FromFileName;
};

struct MeshRecord {
  const char* Name;
};

struct FileInfoRecord {
  void* ArtToolInfo;
  void* ExporterInfo;
  const char* FromFileName;
  std::int32_t TextureCount;
  TextureRecord** Textures;
  std::int32_t MaterialCount;
  void** Materials;
  std::int32_t SkeletonCount;
  void** Skeletons;
  std::int32_t VertexDataCount;
  void** VertexDatas;
  std::int32_t TriTopologyCount;
  void** TriTopologies;
  std::int32_t MeshCount;
  MeshRecord** Meshes;
  std::int32_t ModelCount;
  void** Models;
  std::int32_t TrackGroupCount;
  void** TrackGroups;
  std::int32_t AnimationCount;
  void** Animations;
  void* ExtendedDataType;
  void* ExtendedDataObject;
};
#pragma pack(pop)

constexpr std::size_t kPointer = sizeof(void*);
static_assert(offsetof(FileInfoRecord, TextureCount) == 3 * kPointer, "texture count: 12 / 24");
static_assert(offsetof(FileInfoRecord, Textures) == 3 * kPointer + 4, "texture array: 16 / 28");
static_assert(offsetof(FileInfoRecord, MeshCount) == 3 * kPointer + 5 * (4 + kPointer),
              "mesh count: 52 / 84");
static_assert(sizeof(FileInfoRecord) == 5 * kPointer + 9 * (4 + kPointer), "record: 92 / 148 bytes");

using ReadEntireFileFunction = void*(GRANNY_CALL*)(const char* fileName);
using GetFileInfoFunction = FileInfoRecord*(GRANNY_CALL*)(void* file);
using FreeFileFunction = void(GRANNY_CALL*)(void* file);
// Only in the stand-in runtime: why the calling thread's last read gave null ("" when it did not).
using LastErrorFunction = const char*(GRANNY_CALL*)();
constexpr const char* kLastErrorSymbol = "VintrelGrannyLastError";

}  // namespace granny2
