// Writes real .gr2 containers (v6 / v7 header layout, 32- or 64-bit) with the standard root type tree:
// textures with FromFileName, meshes named "Mesh" + i, relocations across sections, a correct CRC and
// raw sections. The options also make the broken and unsupported files the reader must refuse.
#pragma once

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
