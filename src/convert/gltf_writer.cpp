#include "convert/gltf_writer.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <vector>

namespace {

using nlohmann::json;

constexpr int kFloat = 5126, kUnsignedByte = 5121, kUnsignedShort = 5123, kUnsignedInt = 5125;
constexpr int kArrayBuffer = 34962, kElementArrayBuffer = 34963;

float Finite(float v) { return std::isfinite(v) ? v : 0.0f; }

void PutU32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// Translation, rotation and scale of a stored transform. Shear has no place in glTF's TRS: each axis keeps
// its length and the sign of its diagonal entry.
json TrsOf(const granny2::Transform& t) {
  json node = json::object();
  if (t.flags & 1)
    node["translation"] = {Finite(t.position[0]), Finite(t.position[1]), Finite(t.position[2])};
  if (t.flags & 2) {
    double q[4], length = 0;
    for (int i = 0; i < 4; ++i) length += double(Finite(t.orientation[i])) * Finite(t.orientation[i]);
    length = std::sqrt(length);
    for (int i = 0; i < 4; ++i) q[i] = length > 1e-12 ? Finite(t.orientation[i]) / length : (i == 3);
    node["rotation"] = {float(q[0]), float(q[1]), float(q[2]), float(q[3])};
  }
  if (t.flags & 4) {
    json scale = json::array();
    for (int col = 0; col < 3; ++col) {
      double length = 0;
      for (int row = 0; row < 3; ++row)
        length += double(Finite(t.scaleShear[3 * row + col])) * t.scaleShear[3 * row + col];
      const float diagonal = Finite(t.scaleShear[4 * col]);
      scale.push_back(float(diagonal < 0 ? -std::sqrt(length) : std::sqrt(length)));
    }
    node["scale"] = scale;
  }
  return node;
}

class GlbBuilder {
 public:
  GlbBuilder(const granny2::ModelContent& content, const TexturePngs& textures)
      : content_(content), textures_(textures) {}

  std::string Build() {
    doc_["asset"] = {{"version", "2.0"}, {"generator", "Vintrel"}};
    doc_["nodes"] = json::array();
    json axes = {{"name", "Axes"}};
    const json matrix = AxisMatrix();
    if (!matrix.is_null()) axes["matrix"] = matrix;
    doc_["nodes"].push_back(axes);
    json sceneNodes = {0};
    AddMaterials();
    std::vector<int> owner(content_.meshes.size(), -1);
    std::vector<std::vector<int>> boneNodes;
    for (std::size_t m = 0; m < content_.models.size(); ++m) {
      boneNodes.push_back(AddModelNodes(content_.models[m]));
      for (int mesh : content_.models[m].meshes)
        if (owner[mesh] < 0) owner[mesh] = int(m);
    }
    for (std::size_t m = 0; m < content_.meshes.size(); ++m) {
      const granny2::Mesh& mesh = content_.meshes[m];
      std::vector<int> joints;
      if (owner[m] >= 0 && mesh.hasBoneWeights) joints = Joints(mesh, content_.models[owner[m]]);
      const int gltfMesh = AddMesh(mesh, !joints.empty());
      if (gltfMesh < 0) continue;
      json node = {{"name", mesh.name}, {"mesh", gltfMesh}};
      if (joints.empty()) {
        AddChild(0, Node(node));
        continue;
      }
      node["skin"] = AddSkin(owner[m], joints, boneNodes[owner[m]]);
      sceneNodes.push_back(Node(node));
    }
    doc_["scene"] = 0;
    doc_["scenes"] = json::array({{{"nodes", sceneNodes}}});
    if (!bin_.empty()) doc_["buffers"] = json::array({{{"byteLength", bin_.size()}}});
    return Assemble();
  }

 private:
  // Rows: the file's right, up and back axes over its units per metre, so a point lands in glTF's frame.
  json AxisMatrix() const {
    const granny2::AxisSystem& a = content_.axes;
    const float scale = 1.0f / a.unitsPerMeter;
    const std::array<float, 3>* rows[3] = {&a.right, &a.up, &a.back};
    json m = json::array();
    bool identity = true;
    for (int col = 0; col < 4; ++col) {
      for (int row = 0; row < 4; ++row) {
        const float v = row == 3 || col == 3 ? float(row == col) : (*rows[row])[col] * scale;
        identity = identity && v == float(row == col);
        m.push_back(v);
      }
    }
    return identity ? json() : m;
  }

  int Node(const json& node) {
    doc_["nodes"].push_back(node);
    return int(doc_["nodes"].size()) - 1;
  }

  void AddChild(int parent, int child) {
    json& node = doc_["nodes"][parent];
    if (!node.contains("children")) node["children"] = json::array();
    node["children"].push_back(child);
  }

  // The placement node under the axis node, each bone under its parent; the bones' node indices.
  std::vector<int> AddModelNodes(const granny2::Model& model) {
    json placement = TrsOf(model.initialPlacement);
    placement["name"] = model.name;
    const int placementNode = Node(placement);
    AddChild(0, placementNode);
    std::vector<int> nodes;
    for (const granny2::Bone& bone : model.bones) {
      json node = TrsOf(bone.transform);
      node["name"] = bone.name;
      nodes.push_back(Node(node));
      AddChild(bone.parentIndex < 0 ? placementNode : nodes[bone.parentIndex], nodes.back());
    }
    placementNodes_.push_back(placementNode);
    return nodes;
  }

  // The model's bone index for each of the mesh's bone bindings; empty when one is missing.
  std::vector<int> Joints(const granny2::Mesh& mesh, const granny2::Model& model) const {
    std::vector<int> joints;
    for (const std::string& name : mesh.boneBindings) {
      const auto found = std::find_if(model.bones.begin(), model.bones.end(),
                                      [&](const granny2::Bone& b) { return b.name == name; });
      if (found == model.bones.end()) return {};
      joints.push_back(int(found - model.bones.begin()));
    }
    return joints;
  }

  int AddSkin(int modelIndex, const std::vector<int>& joints, const std::vector<int>& boneNodes) {
    const granny2::Model& model = content_.models[modelIndex];
    std::vector<float> matrices;
    json jointNodes = json::array();
    for (int bone : joints) {
      jointNodes.push_back(boneNodes[bone]);
      std::array<float, 16> m = model.bones[bone].inverseWorldTransform;
      for (float& v : m) v = Finite(v);
      m[3] = m[7] = m[11] = 0;  // an inverse bind matrix is affine
      m[15] = 1;
      matrices.insert(matrices.end(), m.begin(), m.end());
    }
    const int view = View(matrices.data(), matrices.size() * 4, 0);
    const int accessor = Accessor(view, kFloat, joints.size(), "MAT4");
    doc_["skins"].push_back({{"joints", jointNodes},
                             {"inverseBindMatrices", accessor},
                             {"skeleton", placementNodes_[modelIndex]}});
    return int(doc_["skins"].size()) - 1;
  }

  void AddMaterials() {
    std::map<std::string, int> textureIndex;
    for (const granny2::Material& material : content_.materials) {
      json pbr = {{"metallicFactor", 0.0}};
      const auto png = textures_.find(material.diffuseTexture);
      if (!material.diffuseTexture.empty() && png != textures_.end() && !png->second.empty()) {
        auto known = textureIndex.find(material.diffuseTexture);
        if (known == textureIndex.end()) {
          const int view = View(png->second.data(), png->second.size(), 0);
          doc_["images"].push_back({{"bufferView", view}, {"mimeType", "image/png"}});
          doc_["textures"].push_back({{"source", doc_["images"].size() - 1}, {"sampler", 0}});
          known = textureIndex.emplace(material.diffuseTexture, int(doc_["textures"].size()) - 1).first;
        }
        pbr["baseColorTexture"] = {{"index", known->second}};
      }
      doc_["materials"].push_back({{"name", material.name}, {"pbrMetallicRoughness", pbr}});
    }
    if (!textureIndex.empty()) doc_["samplers"] = json::array({{{"wrapS", 10497}, {"wrapT", 10497}}});
  }

  int AddMesh(const granny2::Mesh& mesh, bool skinned) {
    if (mesh.vertices.empty()) return -1;
    const std::size_t count = mesh.vertices.size();
    std::vector<float> positions, normals, uvs;
    std::array<float, 3> lo{INFINITY, INFINITY, INFINITY}, hi{-INFINITY, -INFINITY, -INFINITY};
    for (const granny2::Vertex& v : mesh.vertices) {
      for (int k = 0; k < 3; ++k) {
        const float p = Finite(v.position[k]);
        positions.push_back(p);
        lo[k] = std::min(lo[k], p);
        hi[k] = std::max(hi[k], p);
      }
      // glTF wants unit normals: the zero ones of unreferenced vertices get one too.
      double length = 0;
      for (float n : v.normal) length += double(Finite(n)) * Finite(n);
      length = std::sqrt(length);
      for (int k = 0; k < 3; ++k)
        normals.push_back(length > 1e-12 ? float(Finite(v.normal[k]) / length) : float(k == 2));
      uvs.push_back(Finite(v.uv[0]));
      uvs.push_back(Finite(v.uv[1]));
    }
    json attributes;
    attributes["POSITION"] = Accessor(View(positions.data(), positions.size() * 4, kArrayBuffer), kFloat,
                                      count, "VEC3", false, json(lo), json(hi));
    if (mesh.hasNormals)
      attributes["NORMAL"] =
          Accessor(View(normals.data(), normals.size() * 4, kArrayBuffer), kFloat, count, "VEC3");
    if (mesh.hasUvs)
      attributes["TEXCOORD_0"] =
          Accessor(View(uvs.data(), uvs.size() * 4, kArrayBuffer), kFloat, count, "VEC2");
    if (skinned) AddSkinAttributes(mesh, attributes);
    json primitives = json::array();
    const bool shortIndices = count <= 65535;
    for (const granny2::TriangleGroup& group : mesh.groups) {
      if (group.triCount == 0) continue;
      const auto first = mesh.indices.begin() + 3 * std::size_t(group.triFirst);
      const std::vector<std::uint32_t> wide(first, first + 3 * std::size_t(group.triCount));
      const std::vector<std::uint16_t> narrow(wide.begin(), wide.end());
      const int view = shortIndices ? View(narrow.data(), narrow.size() * 2, kElementArrayBuffer)
                                    : View(wide.data(), wide.size() * 4, kElementArrayBuffer);
      json primitive = {
          {"attributes", attributes},
          {"indices", Accessor(view, shortIndices ? kUnsignedShort : kUnsignedInt, wide.size(), "SCALAR")}};
      if (group.materialIndex >= 0 && std::size_t(group.materialIndex) < mesh.materials.size() &&
          mesh.materials[group.materialIndex] >= 0)
        primitive["material"] = mesh.materials[group.materialIndex];
      primitives.push_back(primitive);
    }
    if (primitives.empty()) return -1;
    doc_["meshes"].push_back({{"name", mesh.name}, {"primitives", primitives}});
    return int(doc_["meshes"].size()) - 1;
  }

  // Weights summing to exactly 255, each joint once: a slot without weight points at joint 0.
  void AddSkinAttributes(const granny2::Mesh& mesh, json& attributes) {
    const bool wideJoints = mesh.boneBindings.size() > 256;
    std::vector<std::uint16_t> joints;
    std::vector<std::uint8_t> weights;
    for (const granny2::Vertex& v : mesh.vertices) {
      std::array<unsigned, 4> w{};
      std::array<std::uint16_t, 4> j{};
      for (int k = 0; k < 4; ++k) {
        if (v.boneWeights[k] == 0) continue;
        int slot = 0;
        while (slot < k && !(w[slot] != 0 && j[slot] == v.boneIndices[k])) ++slot;
        if (slot == k) j[k] = v.boneIndices[k];
        w[slot] += v.boneWeights[k];
      }
      unsigned sum = w[0] + w[1] + w[2] + w[3];
      if (sum == 0) w[0] = sum = 255;
      unsigned total = 0;
      for (unsigned& x : w) total += (x = (x * 255 + sum / 2) / sum);
      const auto largest = std::max_element(w.begin(), w.end()) - w.begin();
      w[largest] = w[largest] + 255 - total;
      for (int k = 0; k < 4; ++k) {
        joints.push_back(w[k] ? j[k] : 0);
        weights.push_back(std::uint8_t(w[k]));
      }
    }
    const std::size_t count = mesh.vertices.size();
    if (wideJoints) {
      attributes["JOINTS_0"] =
          Accessor(View(joints.data(), joints.size() * 2, kArrayBuffer), kUnsignedShort, count, "VEC4");
    } else {
      const std::vector<std::uint8_t> narrow(joints.begin(), joints.end());
      attributes["JOINTS_0"] =
          Accessor(View(narrow.data(), narrow.size(), kArrayBuffer), kUnsignedByte, count, "VEC4");
    }
    attributes["WEIGHTS_0"] =
        Accessor(View(weights.data(), weights.size(), kArrayBuffer), kUnsignedByte, count, "VEC4", true);
  }

  int View(const void* data, std::size_t bytes, int target) {
    bin_.resize((bin_.size() + 3) / 4 * 4, '\0');
    json view = {{"buffer", 0}, {"byteOffset", bin_.size()}, {"byteLength", bytes}};
    if (target != 0) view["target"] = target;
    bin_.append(static_cast<const char*>(data), bytes);
    doc_["bufferViews"].push_back(view);
    return int(doc_["bufferViews"].size()) - 1;
  }

  int Accessor(int view, int componentType, std::size_t count, const char* type, bool normalized = false,
               const json& min = json(), const json& max = json()) {
    json accessor = {
        {"bufferView", view}, {"componentType", componentType}, {"count", count}, {"type", type}};
    if (normalized) accessor["normalized"] = true;
    if (!min.is_null()) accessor["min"] = min;
    if (!max.is_null()) accessor["max"] = max;
    doc_["accessors"].push_back(accessor);
    return int(doc_["accessors"].size()) - 1;
  }

  std::string Assemble() {
    // Names stored in models are not always UTF-8, which glTF's JSON must be.
    std::string text = doc_.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    text.resize((text.size() + 3) / 4 * 4, ' ');
    bin_.resize((bin_.size() + 3) / 4 * 4, '\0');
    std::string glb;
    PutU32(glb, 0x46546C67);  // "glTF"
    PutU32(glb, 2);
    PutU32(glb, std::uint32_t(12 + 8 + text.size() + (bin_.empty() ? 0 : 8 + bin_.size())));
    PutU32(glb, std::uint32_t(text.size()));
    PutU32(glb, 0x4E4F534A);  // "JSON"
    glb += text;
    if (!bin_.empty()) {
      PutU32(glb, std::uint32_t(bin_.size()));
      PutU32(glb, 0x004E4942);  // "BIN"
      glb += bin_;
    }
    return glb;
  }

  const granny2::ModelContent& content_;
  const TexturePngs& textures_;
  json doc_;
  std::string bin_;
  std::vector<int> placementNodes_;
};

}  // namespace

std::string WriteGlb(const granny2::ModelContent& content, const TexturePngs& textures) {
  return GlbBuilder(content, textures).Build();
}
