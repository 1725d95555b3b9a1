// .dds textures: DXT1, DXT3, DXT5 and uncompressed RGB / RGBA (any channel masks), the top mip level only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "convert/rgba_image.hpp"

// False with the reason when the file is no DDS, uses another format, or is shorter than its top level.
bool DecodeDds(const std::uint8_t* data, std::size_t size, RgbaImage& out, std::string& error);
