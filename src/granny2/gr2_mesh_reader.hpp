// What a model file holds for a viewer: meshes (vertices, triangles in material groups), materials and
// their textures, models with their skeletons. Read through the type tree by member name, so any member
// order and component type the file declares is read the same.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "granny2/gr2_container.hpp"

namespace granny2 {

// A bone's or a placement's transform as stored: a clear flag bit means identity for that part.
struct Transform {
  std::uint32_t flags = 0;  // 1 position, 2 orientation, 4 scale/shear
  std::array<float, 3> position{};
  std::array<float, 4> orientation{0, 0, 0, 1};                // x, y, z, w
  std::array<float, 9> scaleShear{1, 0, 0, 0, 1, 0, 0, 0, 1};  // row-major 3x3
};

struct Vertex {
  std::array<float, 3> position{};
  std::array<float, 3> normal{};
  std::array<float, 2> uv{};
  std::array<std::uint16_t, 4> boneIndices{};  // into the mesh's boneBindings
  std::array<std::uint8_t, 4> boneWeights{};   // out of 255
};

// Triangles [triFirst, triFirst + triCount) drawn with the mesh's material binding materialIndex.
struct TriangleGroup {
  std::int32_t materialIndex = 0;
  std::uint32_t triFirst = 0;
  std::uint32_t triCount = 0;
};

struct Mesh {
  std::string name;
  bool hasNormals = false;
  bool hasUvs = false;
  bool hasBoneWeights = false;
  std::vector<Vertex> vertices;
  std::vector<std::uint32_t> indices;  // three per triangle
  std::vector<TriangleGroup> groups;
  std::vector<int> materials;             // per material binding: index into materials, -1 for none
  std::vector<std::string> boneBindings;  // bone names, in the order bone indices count them
};

struct Material {
  std::string name;
  // FromFileName of the texture the material's colour comes from (through its maps); empty if none.
  std::string diffuseTexture;
};

struct Bone {
  std::string name;
  std::int32_t parentIndex = -1;  // precedes the bone; -1 for a root
  Transform transform;
  std::array<float, 16> inverseWorldTransform{};  // column-major
};

struct Model {
  std::string name;
  Transform initialPlacement;
  std::vector<Bone> bones;
  std::vector<int> meshes;  // indices into ModelContent::meshes
};

// The art tool's axes; present == false when the file declares none or unusable ones.
struct AxisSystem {
  bool present = false;
  float unitsPerMeter = 1;
  std::array<float, 3> right{1, 0, 0};
  std::array<float, 3> up{0, 0, 1};
  std::array<float, 3> back{0, -1, 0};
};

struct ModelContent {
  std::vector<Mesh> meshes;  // the root's Meshes, then any that only a model binds
  std::vector<Material> materials;
  std::vector<Model> models;
  AxisSystem axes;
};

// Bounds what a hostile file can make the reader allocate.
constexpr std::size_t kMaxVerticesPerFile = 1u << 23;
constexpr std::size_t kMaxIndicesPerFile = 1u << 25;

// Refused with the reason when a mesh, a skeleton or a material cannot be read whole.
bool ReadModelContent(const Container& container, ModelContent& out, std::string& error);

// ReadContainer, then ReadModelContent.
bool ReadGr2Content(const std::uint8_t* data, std::size_t size, ModelContent& out, std::string& error);

}  // namespace granny2
