#pragma once

// Just enough of the .gr2 header to find each section's bytes and its decoder parameters, so the
// section decoder can be tested and measured on its own. Header-only: the benchmarks include it too.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Gr2SectionSlice {
  uint32_t compression = 0;
  uint32_t dataOffset = 0;
  uint32_t compressedSize = 0;
  uint32_t decompressedSize = 0;
  uint32_t first16bit = 0;
  uint32_t first8bit = 0;
};

inline uint32_t Gr2LoadU32(const std::string& file, size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(file.data()) + at;
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// False when the table or a section's data does not fit the file.
inline bool ReadGr2Sections(const std::string& file, std::vector<Gr2SectionSlice>* sections) {
  sections->clear();
  if (file.size() < 0x34) return false;
  uint64_t table = 0x20 + uint64_t(Gr2LoadU32(file, 0x2C));
  uint64_t count = Gr2LoadU32(file, 0x30);
  if (count > 1024 || table + count * 44 > file.size()) return false;
  for (uint64_t i = 0; i < count; ++i) {
    size_t at = static_cast<size_t>(table + i * 44);
    Gr2SectionSlice s;
    s.compression = Gr2LoadU32(file, at);
    s.dataOffset = Gr2LoadU32(file, at + 4);
    s.compressedSize = Gr2LoadU32(file, at + 8);
    s.decompressedSize = Gr2LoadU32(file, at + 12);
    s.first16bit = Gr2LoadU32(file, at + 20);
    s.first8bit = Gr2LoadU32(file, at + 24);
    if (uint64_t(s.dataOffset) + s.compressedSize > file.size()) return false;
    sections->push_back(s);
  }
  return true;
}
