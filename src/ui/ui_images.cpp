#include "ui/ui_images.hpp"

#include <GLFW/glfw3.h>
#include <stb/stb_image.h>

#include "pipeline/core_initialization.hpp"

namespace {

unsigned int linkButtonTextures[3] = {0, 0, 0};

}  // namespace

bool DecodePngResource(int id, DecodedImage& image) {
  const EmbeddedResource* resource = FindEmbeddedResource(id);
  if (resource == nullptr || resource->data == nullptr || resource->size == 0) return false;
  int channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(resource->data, static_cast<int>(resource->size), &image.width,
                                          &image.height, &channels, 4);
  if (pixels == nullptr) return false;
  image.rgba.assign(pixels, pixels + static_cast<std::size_t>(image.width) * image.height * 4);
  stbi_image_free(pixels);
  return true;
}

unsigned int UploadRgbaTexture(int width, int height, const unsigned char* rgba) {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  if (width <= 0 || height <= 0 || width > largest || height > largest) return 0;
  GLuint texture = 0;
  glGenTextures(1, &texture);
  if (texture == 0) return 0;
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  return texture;
}

unsigned int LoadPngTexture(int id, int& width, int& height) {
  DecodedImage image;
  if (!DecodePngResource(id, image)) return 0;
  const unsigned int texture = UploadRgbaTexture(image.width, image.height, image.rgba.data());
  if (texture == 0) return 0;
  width = image.width;
  height = image.height;
  return texture;
}

void LoadLinkButtonTextures() {
  if (linkButtonTextures[0] != 0) return;
  for (int id = kResourceWebButton; id <= kResourceInfoButton; ++id) {
    int width = 0;
    int height = 0;
    linkButtonTextures[id - kResourceWebButton] = LoadPngTexture(id, width, height);
  }
}

unsigned int LinkButtonTexture(int id) {
  if (id < kResourceWebButton || id > kResourceInfoButton) return 0;
  return linkButtonTextures[id - kResourceWebButton];
}
