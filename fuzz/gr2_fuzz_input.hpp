// A fuzz input as a .gr2 reader should meet it: with its CRC made right, so that changed bytes reach the
// section, relocation and type-tree code instead of stopping at the checksum. An exact-size heap copy lets
// the sanitizer catch a read one byte past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "granny2/gr2_container.hpp"

inline std::vector<std::uint8_t> Gr2WithRightCrc(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  if (size < 0x2C) return bytes;
  const auto u32 = [&](std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (std::uint32_t(bytes[at + 3]) << 24);
  };
  const std::uint32_t start = 0x20 + granny2::InfoHeaderSize(u32(0x20)), total = u32(0x24);
  if (start > 0x20 && start <= total && total <= size) {
    const std::uint32_t crc = granny2::Crc32(bytes.data() + start, total - start);
    for (int i = 0; i < 4; ++i) bytes[0x28 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
  }
  return bytes;
}
