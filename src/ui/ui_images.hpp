// The executable's PNG resources, decoded with stb_image to 8-bit RGBA and uploaded as OpenGL
// textures (the header logo, the link buttons) or handed to the window (its icon).
#pragma once

#include <vector>

struct DecodedImage {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgba;
};

// False when the resource is missing or empty or cannot be decoded.
bool DecodePngResource(int id, DecodedImage& image);

// A texture with linear filtering; 0 on any failure. Needs the window's OpenGL context current.
unsigned int LoadPngTexture(int id, int& width, int& height);
// 8-bit RGBA rows, top row first, as such a texture; 0 when none can be made.
unsigned int UploadRgbaTexture(int width, int height, const unsigned char* rgba);

// The three link-button images (301, 302, 303), loaded once: a later call does nothing once 301 is.
void LoadLinkButtonTextures();
// 0 when that image could not be loaded.
unsigned int LinkButtonTexture(int id);
