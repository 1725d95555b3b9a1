// The mesh reader and the glTF writer on arbitrary bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/gltf_writer.hpp"
#include "gr2_fuzz_input.hpp"
#include "granny2/gr2_mesh_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes = Gr2WithRightCrc(data, size);
  granny2::ModelContent content;
  std::string error;
  if (!granny2::ReadGr2Content(bytes.data(), bytes.size(), content, error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  TexturePngs textures;
  for (const granny2::Material& material : content.materials) textures[material.diffuseTexture] = "png";
  if (WriteGlb(content, textures).size() < 20) __builtin_trap();
  return 0;
}
