// Models with known geometry, shared by the mesh reader and converter tests.
#pragma once

#include <string>
#include <vector>

#include "support/gr2_writer.hpp"

// A DDS header of a width x height image with three mip levels declared, then `data`.
inline std::string Dds(int width, int height, std::uint32_t flags, const char* fourCc, std::uint32_t bits,
                       std::vector<std::uint32_t> masks, const std::string& data) {
  const auto le32 = [](std::uint32_t v) {
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  };
  std::string s =
      "DDS " + le32(124) + le32(0x2100F) + le32(height) + le32(width) + le32(0) + le32(0) + le32(3);
  s.append(44, '\0');
  s += le32(32) + le32(flags) + std::string(fourCc, 4) + le32(bits);
  for (std::uint32_t m : masks) s += le32(m);
  return s + le32(0x401008) + std::string(16, '\0') + data;
}

// A skinned mesh in two material groups under a two-bone skeleton, and a static mesh in half floats with
// 16-bit indices. Every value is exact in half precision.
inline Gr2TestModel TwoMeshModel() {
  Gr2TestModel model;
  Gr2TestMesh body;
  body.name = "Body";
  body.layout = Gr2VertexLayout::Skinned;
  body.vertices = {{{0, 0, 0}, {0, 0, 1}, {0, 0}, {1, 0, 0, 0}, {255, 0, 0, 0}},
                   {{1, 0, 0}, {0, 0, 1}, {1, 0}, {1, 0, 0, 0}, {200, 55, 0, 0}},
                   {{1, 1, 0}, {0, 0, 1}, {1, 1}, {0, 1, 0, 0}, {128, 127, 0, 0}},
                   {{0, 1, 2}, {0, 0, 1}, {0, 1}, {0, 3, 0, 0}, {255, 0, 0, 0}}};
  body.indices = {0, 1, 2, 0, 2, 3};
  body.groups = {{0, 0, 1}, {1, 1, 1}};
  body.materialTextures = {"d:\\art\\body.dds", "cape.tga"};
  body.boneBindings = {"Spine", "Root"};
  Gr2TestMesh hair;
  hair.name = "Hair";
  hair.layout = Gr2VertexLayout::Half;
  hair.vertices = {{{0.5f, 0.25f, 3}, {0, 1, 0}, {0.125f, 0.75f}},
                   {{-0.5f, 0.25f, 3}, {0, 1, 0}, {0.875f, 0.75f}},
                   {{0, 0.25f, 4}, {0, 1, 0}, {0.5f, 0.0625f}}};
  hair.indices = {0, 1, 2};
  hair.indices16 = true;
  hair.groups = {{0, 0, 1}};
  hair.materialTextures = {""};
  hair.boneBindings = {"Root"};
  model.meshes = {body, hair};
  model.bones = {
      {"Root", -1, {0, 0, 0}, {0, 0, 0, 1}, {1, 1, 1}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
      {"Spine",
       0,
       {0, 0, 1},
       {0, 0, 0.6f, 0.8f},
       {1, 1, 1},
       {-0.28f, -0.96f, 0, 0, 0.96f, -0.28f, 0, 0, 0, 0, 1, 0, 0, 0, -1, 1}}};
  model.placement = {0, 0, 0};
  return model;
}
