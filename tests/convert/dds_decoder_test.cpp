#include "convert/dds_decoder.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_models.hpp"

namespace {

using Pixels = std::vector<std::vector<int>>;  // one {r, g, b, a} per pixel, rows top to bottom

void ExpectPixels(const std::string& file, int width, const Pixels& expected, int tolerance) {
  RgbaImage image;
  std::string error;
  ASSERT_TRUE(DecodeDds(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), image, error))
      << error;
  ASSERT_EQ(image.width, width);
  ASSERT_EQ(std::size_t(image.width * image.height), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    for (int c = 0; c < 4; ++c)
      EXPECT_LE(std::abs(image.pixels[4 * i + c] - expected[i][c]), tolerance)
          << "pixel " << i << " channel " << c;
}

// Red and blue endpoints with the four colour codes in the first row: red, blue, 2/3 red, 1/3 red.
const std::string kColourBlock = std::string("\x00\xF8\x1F\x00", 4) + std::string("\xE4\x00\x00\x00", 4);
const Pixels kColourRow = {{255, 0, 0, 255}, {0, 0, 255, 255}, {170, 0, 85, 255}, {85, 0, 170, 255}};

Pixels FirstRowThen(const Pixels& row, const std::vector<int>& rest, std::vector<int> alphas = {}) {
  Pixels pixels = row;
  for (int i = 0; i < 12; ++i) pixels.push_back(rest);
  for (std::size_t i = 0; i < alphas.size(); ++i) pixels[i][3] = alphas[i];
  return pixels;
}

TEST(DdsDecoder, EachFormatDecodesItsKnownPixels) {
  SCOPED_TRACE("DXT1");
  ExpectPixels(Dds(4, 4, 4, "DXT1", 0, {0, 0, 0, 0}, kColourBlock), 4,
               FirstRowThen(kColourRow, {255, 0, 0, 255}), 1);
  // Endpoints in the other order switch to three colours and transparent black.
  const std::string threeColour = std::string("\x1F\x00\x00\xF8\xE4\x00\x00\x00", 8);
  ExpectPixels(
      Dds(4, 4, 4, "DXT1", 0, {0, 0, 0, 0}, threeColour), 4,
      FirstRowThen({{0, 0, 255, 255}, {255, 0, 0, 255}, {128, 0, 128, 255}, {0, 0, 0, 0}}, {0, 0, 255, 255}),
      1);
  SCOPED_TRACE("DXT3: four explicit alpha bits per pixel");
  const std::string alpha3 = std::string("\x10\x32", 2) + std::string(6, '\xFF');
  ExpectPixels(Dds(4, 4, 4, "DXT3", 0, {0, 0, 0, 0}, alpha3 + kColourBlock), 4,
               FirstRowThen(kColourRow, {255, 0, 0, 255}, {0, 17, 34, 51}), 1);
  SCOPED_TRACE("DXT5: interpolated alpha 255, 0, 6/7, 1/7");
  const std::string alpha5 = std::string("\xFF\x00\x88\x0E\x00\x00\x00\x00", 8);
  ExpectPixels(Dds(4, 4, 4, "DXT5", 0, {0, 0, 0, 0}, alpha5 + kColourBlock), 4,
               FirstRowThen(kColourRow, {255, 0, 0, 255}, {255, 0, 219, 36}), 1);
  SCOPED_TRACE("uncompressed, the mip levels after the top one ignored");
  ExpectPixels(Dds(2, 1, 0x41, "\0\0\0\0", 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000u},
                   std::string("\x03\x02\x01\x04\xFF\x80\x00\x40", 8) + std::string(4, '\x7F')),
               2, {{1, 2, 3, 4}, {0, 128, 255, 64}}, 0);
  ExpectPixels(Dds(1, 2, 0x40, "\0\0\0\0", 24, {0xFF, 0xFF00, 0xFF0000, 0},
                   std::string("\x0A\x0B\x0C\xFF\xFE\xFD", 6)),
               1, {{10, 11, 12, 255}, {255, 254, 253, 255}}, 0);
  ExpectPixels(Dds(2, 1, 0x40, "\0\0\0\0", 16, {0xF800, 0x7E0, 0x1F, 0}, std::string("\x10\x84\xFF\xFF", 4)),
               2, {{131, 129, 131, 255}, {255, 255, 255, 255}}, 0);
}

TEST(DdsDecoder, ShortOrUnknownFilesAreRefusedWithTheReason) {
  const std::pair<std::string, const char*> cases[] = {
      {Dds(8, 8, 4, "DXT1", 0, {0, 0, 0, 0}, std::string(31, '\0')),
       "shorter than its image (31 of 32 bytes)"},
      {Dds(4, 4, 4, "ATI2", 0, {0, 0, 0, 0}, std::string(16, '\0')), "format 'ATI2'"},
      {Dds(0, 4, 4, "DXT1", 0, {0, 0, 0, 0}, ""), "size 0x4"},
      {Dds(2, 2, 0x40, "\0\0\0\0", 12, {0xF, 0xF0, 0xF00, 0}, std::string(6, '\0')), "12-bit pixels"},
      {"DDS not really", "not a DDS file"},
  };
  for (const auto& [file, reason] : cases) {
    RgbaImage image;
    std::string error;
    EXPECT_FALSE(DecodeDds(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), image, error));
    EXPECT_NE(error.find(reason), std::string::npos) << error;
  }
}

}  // namespace
