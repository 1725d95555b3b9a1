// Textures to PNG: .dds through the DDS decoder, .tga through stb_image; PNG written with stb_image_write.
#pragma once

#include <string>

#include "convert/rgba_image.hpp"

// A .dds (told by its magic) or a .tga file's bytes decoded; false with the reason otherwise.
bool DecodeTexture(const std::string& bytes, RgbaImage& out, std::string& error);

// The image as PNG file bytes; empty when it cannot be encoded.
std::string EncodePng(const RgbaImage& image);
