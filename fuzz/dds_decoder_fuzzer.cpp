// The DDS decoder on arbitrary bytes, each exactly as long as the input so the sanitizer sees any overrun.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/dds_decoder.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  RgbaImage image;
  std::string error;
  if (DecodeDds(bytes.data(), bytes.size(), image, error)) {
    if (image.pixels.size() != std::size_t(image.width) * image.height * 4) __builtin_trap();
  } else if (error.empty()) {
    __builtin_trap();
  }
  return 0;
}
