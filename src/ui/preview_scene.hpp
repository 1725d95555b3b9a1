// What the Preview draws for a bundle, decoded off the window's thread: the triangles of one model
// (in view axes: x right, y up, z towards the viewer) with the textures they use, or, for a bundle
// without a model, its textures as pictures.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/rgba_image.hpp"
#include "support/export_report_reader.hpp"

struct PreviewDraw {
  std::uint32_t firstIndex = 0;
  std::uint32_t indexCount = 0;
  int image = -1;  // into PreviewScene::images; -1 untextured
};

struct PreviewMesh {
  std::vector<float> positions;  // x, y, z per vertex
  std::vector<float> normals;
  std::vector<float> uvs;
  std::vector<std::uint32_t> indices;
  std::vector<PreviewDraw> draws;
};

struct PreviewImage {
  std::string name;
  RgbaImage image;
};

struct PreviewScene {
  std::string modelFile;  // the model shown, relative to the task folder; empty when the bundle has none
  std::string refusal;    // why that model cannot be shown
  std::vector<PreviewMesh> meshes;
  std::vector<PreviewImage> images;
  std::vector<std::string> notes;  // textures not found or not decoded
  std::array<float, 3> center{};
  float radius = 1;
};

// `modelFile` picks one of the bundle's .gr2 files (by its relative name); empty: the first one
// with triangles, else the first one at all.
PreviewScene LoadPreviewScene(const ReportedBundle& bundle, const std::string& modelFile);

// Whether a file of the bundle is a model or a picture the Preview can show.
bool IsPreviewModel(const std::string& path);
bool IsPreviewPicture(const std::string& path);
