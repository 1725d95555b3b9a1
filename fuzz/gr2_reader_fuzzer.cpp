// The .gr2 container reader and root walk on arbitrary bytes. The CRC is made right first, so that
// changed bytes reach the section, relocation and type-tree code instead of stopping at the checksum.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "granny2/gr2_container.hpp"
#include "granny2/gr2_root_walk.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  if (size >= 0x2C) {
    const std::uint32_t version =
        bytes[0x20] | (bytes[0x21] << 8) | (bytes[0x22] << 16) | (std::uint32_t(bytes[0x23]) << 24);
    const std::uint32_t start = 0x20 + granny2::InfoHeaderSize(version);
    const std::uint32_t total =
        bytes[0x24] | (bytes[0x25] << 8) | (bytes[0x26] << 16) | (std::uint32_t(bytes[0x27]) << 24);
    if (start > 0x20 && start <= total && total <= size) {
      const std::uint32_t crc = granny2::Crc32(bytes.data() + start, total - start);
      for (int i = 0; i < 4; ++i) bytes[0x28 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    }
  }
  // An exact-size heap copy lets the sanitizer catch a read one byte past the end.
  granny2::RootSummary summary;
  std::string error;
  if (!granny2::ReadGr2(bytes.data(), bytes.size(), summary, error) && error.empty()) __builtin_trap();
  return 0;
}
