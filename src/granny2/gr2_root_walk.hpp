// Walks a decoded container's type tree and root object by member name to the root's
// Textures (each texture's FromFileName) and Meshes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "granny2/gr2_container.hpp"

namespace granny2 {

// One slot of the root Textures list. A null slot has present == false; a texture without a
// FromFileName (null string or no such member) has hasName == false.
struct TextureEntry {
  bool present = false;
  bool hasName = false;
  std::string fromFileName;
};

struct RootSummary {
  std::vector<TextureEntry> textures;
  std::vector<std::string> meshNames;  // one per Meshes slot; empty for a null mesh or a mesh without Name
};

bool WalkRoot(const Container& container, RootSummary& out, std::string& error);

// ReadContainer, then WalkRoot.
bool ReadGr2(const std::uint8_t* data, std::size_t size, RootSummary& out, std::string& error);

}  // namespace granny2
