#include "convert/dds_decoder.hpp"

#include <squish.h>

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kDx10HeaderSize = 20;
constexpr std::uint32_t kAlphaPixels = 0x1;
constexpr std::uint32_t kFourCc = 0x4;
constexpr std::uint32_t kRgb = 0x40;
constexpr std::uint32_t kLuminance = 0x20000;

std::uint32_t U32At(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

constexpr std::uint32_t FourCc(const char (&code)[5]) {
  return std::uint32_t(std::uint8_t(code[0])) | (std::uint32_t(std::uint8_t(code[1])) << 8) |
         (std::uint32_t(std::uint8_t(code[2])) << 16) | (std::uint32_t(std::uint8_t(code[3])) << 24);
}

// The layout of one uncompressed pixel: its size and where each channel sits in it.
struct PixelFormat {
  std::uint32_t bits = 0;
  std::uint32_t masks[4] = {};  // red, green, blue, alpha; alpha 0: opaque
  bool luminance = false;
};

// A channel scaled to 8 bits, whatever its width in the mask.
std::uint8_t Channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  const std::uint32_t top = mask >> shift;
  const std::uint64_t value = (pixel & mask) >> shift;
  return std::uint8_t(value * 255 / top);
}

void DecodeUncompressed(const std::uint8_t* data, const PixelFormat& f, RgbaImage& out) {
  const std::size_t bytes = f.bits / 8, count = std::size_t(out.width) * out.height;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t pixel = 0;
    for (std::size_t k = 0; k < bytes; ++k) pixel |= std::uint32_t(data[i * bytes + k]) << (8 * k);
    std::uint8_t* rgba = &out.pixels[i * 4];
    for (int c = 0; c < 3; ++c) rgba[c] = Channel(pixel, f.masks[f.luminance ? 0 : c]);
    rgba[3] = f.masks[3] ? Channel(pixel, f.masks[3]) : 255;
  }
}

// The block format of a four-character code or DXGI format: a squish flag, or 0 when it is none.
int BlockFlags(std::uint32_t fourCc) {
  if (fourCc == FourCc("DXT1")) return squish::kDxt1;
  // DXT2 and DXT4 are DXT3 and DXT5 with premultiplied colour; the blocks decode alike.
  if (fourCc == FourCc("DXT2") || fourCc == FourCc("DXT3")) return squish::kDxt3;
  if (fourCc == FourCc("DXT4") || fourCc == FourCc("DXT5")) return squish::kDxt5;
  return 0;
}

bool Dx10Format(std::uint32_t dxgi, int& flags, PixelFormat& f) {
  switch (dxgi) {
    case 70:  // BC1 typeless, unorm, sRGB
    case 71:
    case 72:
      flags = squish::kDxt1;
      return true;
    case 73:
    case 74:
    case 75:
      flags = squish::kDxt3;
      return true;
    case 76:
    case 77:
    case 78:
      flags = squish::kDxt5;
      return true;
    case 27:  // R8G8B8A8 typeless, unorm, sRGB
    case 28:
    case 29:
      f = {32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000u}};
      return true;
    case 87:  // B8G8R8A8 unorm, B8G8R8X8 unorm, then their typeless and sRGB forms
    case 90:
    case 91:
      f = {32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000u}};
      return true;
    case 88:
    case 92:
    case 93:
      f = {32, {0xFF0000, 0xFF00, 0xFF, 0}};
      return true;
    default:
      return false;
  }
}

}  // namespace

bool DecodeDds(const std::uint8_t* data, std::size_t size, RgbaImage& out, std::string& error) {
  out = RgbaImage{};
  if (size < kHeaderSize || U32At(data) != FourCc("DDS ") || U32At(data + 4) != 124) {
    error = "not a DDS file";
    return false;
  }
  const std::uint32_t height = U32At(data + 12), width = U32At(data + 16);
  const std::uint32_t formatFlags = U32At(data + 80), fourCc = U32At(data + 84);
  if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) {
    error = "DDS size " + std::to_string(width) + "x" + std::to_string(height) + " is out of range";
    return false;
  }
  std::size_t offset = kHeaderSize;
  int flags = 0;
  PixelFormat format;
  if (formatFlags & kFourCc) {
    flags = BlockFlags(fourCc);
    if (fourCc == FourCc("DX10")) {
      offset += kDx10HeaderSize;
      if (size < offset || !Dx10Format(U32At(data + kHeaderSize), flags, format)) {
        error = "DDS with DXGI format " +
                (size < offset ? std::string("missing") : std::to_string(U32At(data + kHeaderSize))) +
                ", which is not converted";
        return false;
      }
    } else if (flags == 0) {
      error = "DDS in format '" + std::string(reinterpret_cast<const char*>(data + 84), 4) +
              "', which is not converted";
      return false;
    }
  } else if (formatFlags & (kRgb | kLuminance)) {
    format.bits = U32At(data + 88);
    for (int c = 0; c < 4; ++c) format.masks[c] = U32At(data + 92 + 4 * c);
    if (!(formatFlags & kAlphaPixels)) format.masks[3] = 0;
    format.luminance = (formatFlags & kLuminance) != 0;
  } else {
    error = "DDS without a colour format";
    return false;
  }
  if (flags == 0 && (format.bits == 0 || format.bits > 32 || format.bits % 8 != 0)) {
    error = "DDS with " + std::to_string(format.bits) + "-bit pixels, which is not converted";
    return false;
  }
  const std::size_t blocks = std::size_t((width + 3) / 4) * ((height + 3) / 4);
  const std::size_t needed = flags == 0 ? std::size_t(width) * height * (format.bits / 8)
                                        : blocks * (flags == squish::kDxt1 ? 8 : 16);
  if (size - offset < needed) {
    error = "DDS shorter than its image (" + std::to_string(size - offset) + " of " + std::to_string(needed) +
            " bytes)";
    return false;
  }
  out.width = int(width);
  out.height = int(height);
  out.pixels.assign(std::size_t(width) * height * 4, 0);
  if (flags != 0)
    squish::DecompressImage(out.pixels.data(), out.width, out.height, data + offset, flags);
  else
    DecodeUncompressed(data + offset, format, out);
  return true;
}
