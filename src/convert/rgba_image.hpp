// A decoded picture: 8-bit red, green, blue, alpha per pixel, rows top to bottom.
#pragma once

#include <cstdint>
#include <vector>

struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // width * height * 4
};

// Textures larger than this on either side are refused rather than decoded.
constexpr int kMaxImageSide = 16384;
