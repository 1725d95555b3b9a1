#include "ui/preview_scene.hpp"

#include <algorithm>
#include <cmath>

#include "granny2/gr2_container.hpp"
#include "granny2/gr2_mesh_reader.hpp"
#include "support/bounded_read.hpp"
#include "support/client_paths.hpp"
#ifdef VINTREL_CONVERT
#include "convert/texture_converter.hpp"
#endif

namespace {

// A bundle of nothing but textures shows this many; the file list names the rest.
constexpr std::size_t kMaxPictures = 12;

using Vector = std::array<float, 3>;

float Dot(const Vector& a, const Vector& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

std::string Stem(const std::string& name) {
  const std::string lower = ToLowerCopy(FileNameOf(name));
  return lower.substr(0, lower.size() - ExtensionOf(lower).size());
}

// The bundle's file a material names: the same name, else the same stem as a picture (a texture
// converted to PNG).
const ReportedFile* FindTexture(const ReportedBundle& bundle, const std::string& reference) {
  const std::string name = ToLowerCopy(FileNameOf(reference));
  const ReportedFile* sameStem = nullptr;
  for (const ReportedFile& file : bundle.files) {
    if (ToLowerCopy(FileNameOf(file.relative)) == name) return &file;
    if (sameStem == nullptr && IsPreviewPicture(file.relative) && Stem(file.relative) == Stem(name))
      sameStem = &file;
  }
  return sameStem;
}

bool DecodePicture(const std::string& path, RgbaImage& image, std::string& reason) {
  std::string bytes;
  if (!ReadBoundedFile(path, granny2::kMaxFileBytes, bytes, reason)) return false;
#ifdef VINTREL_CONVERT
  return DecodeTexture(bytes, image, reason);
#else
  (void)image;
  reason = "this build has no texture decoder";
  return false;
#endif
}

int AddPicture(PreviewScene& scene, const ReportedFile& file) {
  PreviewImage picture;
  picture.name = file.relative;
  std::string reason;
  if (!DecodePicture(file.path, picture.image, reason)) {
    scene.notes.push_back(file.relative + ": " + reason);
    return -1;
  }
  scene.images.push_back(std::move(picture));
  return int(scene.images.size()) - 1;
}

// The art tool's axes turned into the view's: right, up, towards the viewer.
Vector ToView(const granny2::AxisSystem& axes, const std::array<float, 3>& p) {
  return {Dot(p, axes.right), Dot(p, axes.up), Dot(p, axes.back)};
}

// Area-weighted vertex normals for a mesh that stores none.
void ComputeNormals(PreviewMesh& mesh) {
  mesh.normals.assign(mesh.positions.size(), 0.0f);
  const float* p = mesh.positions.data();
  for (std::size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
    const std::uint32_t a = mesh.indices[t], b = mesh.indices[t + 1], c = mesh.indices[t + 2];
    const Vector u{p[b * 3] - p[a * 3], p[b * 3 + 1] - p[a * 3 + 1], p[b * 3 + 2] - p[a * 3 + 2]};
    const Vector v{p[c * 3] - p[a * 3], p[c * 3 + 1] - p[a * 3 + 1], p[c * 3 + 2] - p[a * 3 + 2]};
    const Vector n{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    for (const std::uint32_t corner : {a, b, c}) {
      for (int k = 0; k < 3; ++k) mesh.normals[corner * 3 + k] += n[k];
    }
  }
}

// The triangles of every mesh; false when the file has none.
bool AddMeshes(PreviewScene& scene, const ReportedBundle& bundle, const granny2::ModelContent& content) {
  std::vector<int> pictureOfMaterial(content.materials.size(), -2);
  const auto picture = [&](int material) {
    if (material < 0 || std::size_t(material) >= content.materials.size()) return -1;
    int& known = pictureOfMaterial[std::size_t(material)];
    if (known != -2) return known;
    const std::string& reference = content.materials[std::size_t(material)].diffuseTexture;
    const ReportedFile* file = reference.empty() ? nullptr : FindTexture(bundle, reference);
    if (file == nullptr && !reference.empty())
      scene.notes.push_back("texture not in the bundle: " + reference);
    known = file == nullptr ? -1 : AddPicture(scene, *file);
    return known;
  };
  for (const granny2::Mesh& source : content.meshes) {
    PreviewMesh mesh;
    const std::size_t count = source.vertices.size();
    for (const granny2::Vertex& vertex : source.vertices) {
      const Vector position = ToView(content.axes, vertex.position);
      const Vector normal = ToView(content.axes, vertex.normal);
      mesh.positions.insert(mesh.positions.end(), position.begin(), position.end());
      mesh.normals.insert(mesh.normals.end(), normal.begin(), normal.end());
      mesh.uvs.insert(mesh.uvs.end(), vertex.uv.begin(), vertex.uv.end());
    }
    for (const granny2::TriangleGroup& group : source.groups) {
      PreviewDraw draw;
      draw.firstIndex = std::uint32_t(mesh.indices.size());
      for (std::uint64_t t = group.triFirst; t < std::uint64_t(group.triFirst) + group.triCount; ++t) {
        if ((t + 1) * 3 > source.indices.size()) break;
        const std::uint32_t* corner = &source.indices[t * 3];
        if (corner[0] >= count || corner[1] >= count || corner[2] >= count) continue;
        mesh.indices.insert(mesh.indices.end(), corner, corner + 3);
      }
      draw.indexCount = std::uint32_t(mesh.indices.size()) - draw.firstIndex;
      const std::size_t binding = std::size_t(group.materialIndex);
      draw.image = group.materialIndex >= 0 && binding < source.materials.size()
                       ? picture(source.materials[binding])
                       : -1;
      if (draw.indexCount > 0) mesh.draws.push_back(draw);
    }
    if (mesh.draws.empty()) continue;
    if (!source.hasNormals) ComputeNormals(mesh);
    scene.meshes.push_back(std::move(mesh));
  }
  return !scene.meshes.empty();
}

// The bounding sphere of the box of all drawn vertices.
void MeasureBounds(PreviewScene& scene) {
  Vector low{INFINITY, INFINITY, INFINITY};
  Vector high{-INFINITY, -INFINITY, -INFINITY};
  for (const PreviewMesh& mesh : scene.meshes) {
    for (const std::uint32_t index : mesh.indices) {
      for (int k = 0; k < 3; ++k) {
        const float value = mesh.positions[index * 3 + k];
        if (!std::isfinite(value)) continue;
        low[k] = std::min(low[k], value);
        high[k] = std::max(high[k], value);
      }
    }
  }
  if (!(low[0] <= high[0] && low[1] <= high[1] && low[2] <= high[2])) return;
  float radius = 0;
  for (int k = 0; k < 3; ++k) {
    scene.center[k] = (low[k] + high[k]) * 0.5f;
    radius += (high[k] - low[k]) * (high[k] - low[k]);
  }
  scene.radius = std::max(std::sqrt(radius) * 0.5f, 1e-4f);
}

bool ReadModel(const ReportedFile& file, granny2::ModelContent& content, std::string& reason) {
  std::string bytes;
  if (file.path.empty()) {
    reason = "the report's path leads outside the task folder";
    return false;
  }
  return ReadBoundedFile(file.path, granny2::kMaxFileBytes, bytes, reason) &&
         granny2::ReadGr2Content(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), content,
                                 reason);
}

}  // namespace

bool IsPreviewModel(const std::string& path) { return ToLowerCopy(ExtensionOf(path)) == ".gr2"; }

bool IsPreviewPicture(const std::string& path) {
  const std::string extension = ToLowerCopy(ExtensionOf(path));
  return extension == ".dds" || extension == ".tga" || extension == ".png";
}

PreviewScene LoadPreviewScene(const ReportedBundle& bundle, const std::string& modelFile) {
  PreviewScene scene;
  for (const ReportedFile& file : bundle.files) {
    if (!IsPreviewModel(file.relative) || (!modelFile.empty() && file.relative != modelFile)) continue;
    granny2::ModelContent content;
    std::string reason;
    if (!ReadModel(file, content, reason)) {
      if (scene.modelFile.empty()) scene.modelFile = file.relative, scene.refusal = reason;
      continue;
    }
    // Motions and empty models have no triangles: the next file may hold the mesh.
    PreviewScene drawn;
    drawn.modelFile = file.relative;
    if (AddMeshes(drawn, bundle, content)) {
      MeasureBounds(drawn);
      return drawn;
    }
    if (scene.modelFile.empty()) scene.modelFile = file.relative, scene.refusal = "no triangles in the file";
  }
  if (!scene.modelFile.empty()) return scene;
  for (const ReportedFile& file : bundle.files) {
    if (scene.images.size() >= kMaxPictures) break;
    if (IsPreviewPicture(file.relative) && !file.path.empty()) AddPicture(scene, file);
  }
  return scene;
}
