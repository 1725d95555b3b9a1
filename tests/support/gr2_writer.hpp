// Writes real .gr2 containers (v6 / v7 header layout, 32- or 64-bit) with the standard root type tree:
// textures with FromFileName, meshes named "Mesh" + i, relocations across sections, a correct CRC and
// raw sections. The options also make the broken and unsupported files the reader must refuse.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

enum class Gr2Defect {
  None,
  RelocationPastSection,  // the Textures array pointer targets past the end of its section
  CyclicTypeTree,         // the root type holds itself as an inline struct
  CountWithNullPointer,   // Textures keeps its count but its pointer is null
  UnterminatedTypeList,   // the root type list has no end record and runs to its section's end
};

struct Gr2WriteOptions {
  int version = 7;  // info header layout: 6 or 7
  bool is64Bit = false;
  std::uint32_t compression = 0;     // method recorded for every non-empty section (the data stays raw)
  bool v6Magic = false;              // the v6 magic whatever the version, as some real clients have
  bool leadingRootMember = false;    // an inline struct before the standard root members
  bool bigEndianMagic = false;       // the 32-bit v7 big-endian magic
  std::uint32_t stringDatabase = 0;  // v7 only; non-zero marks hashed names
  int nullTextureSlots = 0;          // null references appended to the Textures list
  int unnamedTextures = 0;           // textures with a null FromFileName appended to the list
  Gr2Defect defect = Gr2Defect::None;
};

std::string BuildGr2(const std::vector<std::string>& textures, int meshCount,
                     const Gr2WriteOptions& options = {});
// Stores the right CRC again after a test changed bytes of the file.
void FixGr2Crc(std::string& bytes);

// A model with known geometry for the mesh reader and the converters.
enum class Gr2VertexLayout {
  Rigid,    // Position, Normal, TextureCoordinates0: real32
  Skinned,  // Position, BoneWeights normal_uint8[4], BoneIndices uint8[4], Normal, TextureCoordinates0
  Half,     // TextureCoordinates0 real16[2], Normal real16[3], Position real32[3]: other order and types
};

struct Gr2TestVertex {
  std::array<float, 3> position{};
  std::array<float, 3> normal{0, 0, 1};
  std::array<float, 2> uv{};
  std::array<std::uint8_t, 4> boneIndices{};
  std::array<std::uint8_t, 4> boneWeights{255, 0, 0, 0};
};

struct Gr2TestMesh {
  std::string name;
  Gr2VertexLayout layout = Gr2VertexLayout::Rigid;
  std::vector<Gr2TestVertex> vertices;
  std::vector<std::uint32_t> indices;
  bool indices16 = false;
  std::vector<std::array<std::int32_t, 3>> groups;  // material index, first triangle, triangle count
  // One material binding each, whose colour map leads to a texture of this name ("": none).
  std::vector<std::string> materialTextures;
  std::vector<std::string> boneBindings;
};

struct Gr2TestBone {
  std::string name;
  std::int32_t parent = -1;
  std::array<float, 3> position{};
  std::array<float, 4> orientation{0, 0, 0, 1};
  std::array<float, 3> scale{1, 1, 1};
  std::array<float, 16> inverseWorld{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

struct Gr2TestModel {
  std::vector<Gr2TestMesh> meshes;  // all bound by one model
  std::vector<Gr2TestBone> bones;   // its skeleton
  std::array<float, 3> placement{};
  float unitsPerMeter = 1;
  std::vector<std::string> textures;  // the root's Textures list, as the analyser reads it
};

std::string BuildGr2Model(const Gr2TestModel& model, const Gr2WriteOptions& options = {});
