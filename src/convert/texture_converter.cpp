#include "convert/texture_converter.hpp"

#include <cstring>

#include "convert/dds_decoder.hpp"

// Only the TGA reader is compiled in: every other format would only widen what hostile files can reach.
// Kept to this file, so a program that also links the system's full stb (the window) keeps its own.
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

bool DecodeTexture(const std::string& bytes, RgbaImage& out, std::string& error) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  if (bytes.size() >= 4 && std::memcmp(data, "DDS ", 4) == 0)
    return DecodeDds(data, bytes.size(), out, error);
  out = RgbaImage{};
  if (bytes.size() > INT32_MAX) {
    error = "image file too large";
    return false;
  }
  int width = 0, height = 0, channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(data, int(bytes.size()), &width, &height, &channels, 4);
  if (pixels == nullptr) {
    error = std::string("neither a DDS nor a readable TGA file (") + stbi_failure_reason() + ")";
    return false;
  }
  out.width = width;
  out.height = height;
  out.pixels.assign(pixels, pixels + std::size_t(width) * height * 4);
  stbi_image_free(pixels);
  return true;
}

std::string EncodePng(const RgbaImage& image) {
  std::string png;
  const auto append = [](void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), std::size_t(size));
  };
  if (image.width <= 0 || image.height <= 0 ||
      !stbi_write_png_to_func(append, &png, image.width, image.height, 4, image.pixels.data(),
                              image.width * 4))
    return std::string();
  return png;
}
