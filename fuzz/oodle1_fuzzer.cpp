// Feeds arbitrary compressed sections to the Oodle1 decoder.
// Input: u32 decompressed size, u32 first16bit, u32 first8bit (little-endian), then the compressed bytes.
// The size is folded below 256 KiB and the stops into [0, size] so most inputs reach the decoder proper.
// Real sections make the best seeds; write them in this layout into a scratch corpus folder, from
// the shared test models, never into the repository.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "granny2/oodle1.hpp"

namespace {

uint32_t LoadU32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 12) return 0;
  const uint32_t outSize = LoadU32(data) % (256u * 1024u);
  uint32_t stop0 = LoadU32(data + 4) % (outSize + 1);
  uint32_t stop1 = LoadU32(data + 8) % (outSize + 1);
  if (stop1 < stop0) std::swap(stop0, stop1);
  // Exact-size buffers so that the sanitizer sees any access past either end.
  std::vector<uint8_t> in(data + 12, data + size);
  std::vector<uint8_t> out(outSize);
  std::string error;
  const bool ok = Oodle1Decompress(in.data(), in.size(), out.data(), out.size(), stop0, stop1, &error);
  if (!ok && error.empty()) __builtin_trap();
  return 0;
}
