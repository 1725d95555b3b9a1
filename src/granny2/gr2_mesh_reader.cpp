#include "granny2/gr2_mesh_reader.hpp"

#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <utility>

#include "granny2/gr2_type_walker.hpp"

namespace granny2 {
namespace {

constexpr int kMaxMaterialDepth = 8;

using Key = std::pair<std::uint32_t, std::uint32_t>;
Key KeyOf(Location at) { return {at.section, at.offset}; }

std::uint32_t U32At(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

float F32At(const std::uint8_t* p) {
  const std::uint32_t bits = U32At(p);
  float value;
  std::memcpy(&value, &bits, 4);
  return value;
}

float HalfToFloat(std::uint16_t h) {
  const int exponent = (h >> 10) & 0x1F;
  const int mantissa = h & 0x3FF;
  const float sign = (h & 0x8000) ? -1.0f : 1.0f;
  if (exponent == 0) return sign * std::ldexp(float(mantissa), -24);
  if (exponent == 31) return mantissa ? NAN : sign * INFINITY;
  return sign * std::ldexp(float(mantissa | 0x400), exponent - 25);
}

bool IsNumber(std::uint32_t type) { return type >= kReal32 && type <= kReal16; }

// One component of a numeric member as stored, integers as their plain value.
double RawComponent(const std::uint8_t* p, std::uint32_t type) {
  switch (type) {
    case kReal32:
      return F32At(p);
    case kReal16:
      return HalfToFloat(std::uint16_t(p[0] | (p[1] << 8)));
    case kInt8:
    case kBinormalInt8:
      return std::int8_t(p[0]);
    case kUInt8:
    case kNormalUInt8:
      return p[0];
    case kInt16:
    case kBinormalInt16:
      return std::int16_t(p[0] | (p[1] << 8));
    case kUInt16:
    case kNormalUInt16:
      return std::uint16_t(p[0] | (p[1] << 8));
    case kInt32:
      return std::int32_t(U32At(p));
    default:
      return U32At(p);
  }
}

// Normalised types give their value in [0, 1] or [-1, 1].
double ScaledComponent(const std::uint8_t* p, std::uint32_t type) {
  const double raw = RawComponent(p, type);
  switch (type) {
    case kNormalUInt8:
      return raw / 255;
    case kBinormalInt8:
      return raw / 127;
    case kNormalUInt16:
      return raw / 65535;
    case kBinormalInt16:
      return raw / 32767;
    default:
      return raw;
  }
}

// A bone weight out of 255, whatever the type it is stored in.
std::uint8_t WeightComponent(const std::uint8_t* p, std::uint32_t type) {
  double value = RawComponent(p, type);
  if (type == kReal32 || type == kReal16) value *= 255;
  if (type == kNormalUInt16 || type == kUInt16) value /= 257;
  if (!(value > 0)) return 0;
  return value >= 255 ? 255 : std::uint8_t(std::lround(value));
}

// Where a vertex member sits and how to read it.
struct Channel {
  std::uint32_t type = 0;
  std::uint64_t offset = 0;
  std::uint64_t componentSize = 0;
  int components = 0;
};

class ContentReader {
 public:
  ContentReader(const Container& c, ModelContent& out) : c_(c), w_(c), out_(out) {}

  std::string Error() const { return w_.error; }

  bool Run() {
    const Location root = c_.rootObject, rootType = c_.rootType;
    if (root.section >= c_.sectionData.size() || root.offset > c_.sectionData[root.section].size() ||
        rootType.section >= c_.sectionData.size())
      return w_.Fail("root object lies outside the sections");
    std::vector<std::optional<Location>> elements;
    std::optional<Location> elementType;
    if (!ArrayMember(root, rootType, "Meshes", elements, elementType)) return false;
    for (const auto& mesh : elements) {
      int index = -1;
      if (mesh && elementType && !MeshIndex(*mesh, *elementType, index)) return false;
    }
    if (!ArrayMember(root, rootType, "Models", elements, elementType)) return false;
    for (const auto& model : elements) {
      if (!model || !elementType) continue;
      out_.models.emplace_back();
      if (!ReadModel(*model, *elementType, out_.models.back())) return false;
    }
    return ReadAxes(root, rootType);
  }

 private:
  bool Find(Location type, const char* name, std::optional<Member>& m) {
    return w_.FindMember(type, name, m);
  }

  // The object a reference member points to and that object's type; nullopt when absent or null.
  bool Reference(Location object, Location type, const char* name, std::optional<Location>& target,
                 std::optional<Location>& targetType) {
    std::optional<Member> m;
    target.reset();
    if (!Find(type, name, m)) return false;
    if (!m || m->type != kReference) return true;
    targetType = m->definition;
    if (!w_.ReadPointer(TypeWalker::Offset(object, m->offset), target)) return false;
    if (target && !targetType) return w_.Fail("reference '" + std::string(name) + "' has no type");
    return true;
  }

  bool ArrayMember(Location object, Location type, const char* name,
                   std::vector<std::optional<Location>>& elements, std::optional<Location>& elementType) {
    std::optional<Member> m;
    elements.clear();
    if (!Find(type, name, m)) return false;
    if (!m) return true;
    elementType = m->definition;
    return w_.ArrayElements(object, *m, elements);
  }

  // A numeric member's first `count` components, 0 for a member the type lacks.
  bool Numbers(Location object, Location type, const char* name, double* values, int count, bool& found) {
    std::optional<Member> m;
    found = false;
    if (!Find(type, name, m)) return false;
    if (!m || !IsNumber(m->type) || std::max(m->width, 1) < count) return true;
    std::uint64_t size = 0;
    if (!w_.MemberSize(*m, 0, size)) return false;
    const std::uint8_t* p = w_.Bytes(TypeWalker::Offset(object, m->offset), size * count);
    if (p == nullptr) return false;
    for (int i = 0; i < count; ++i) values[i] = ScaledComponent(p + i * size, m->type);
    found = true;
    return true;
  }

  bool Int(Location object, Location type, const char* name, std::int64_t& value) {
    double number = 0;
    bool found = false;
    if (!Numbers(object, type, name, &number, 1, found)) return false;
    // Counts and indices are 32-bit in every file; a float member holding NaN or a huge value is
    // damage, and converting it would be undefined.
    if (!std::isfinite(number) || number < -2147483648.0 || number >= 2147483648.0) return false;
    value = std::int64_t(number);
    return true;
  }

  bool String(Location object, Location type, const char* name, std::string& text) {
    bool found = false;
    return w_.StringMember(object, type, name, found, text);
  }

  bool ReadTransform(Location object, Location type, const char* name, Transform& t) {
    std::optional<Member> m;
    if (!Find(type, name, m)) return false;
    if (!m || m->type != kTransform) return true;
    const std::uint8_t* p = w_.Bytes(TypeWalker::Offset(object, m->offset), 68);
    if (p == nullptr) return false;
    t.flags = U32At(p);
    for (int i = 0; i < 3; ++i) t.position[i] = F32At(p + 4 + 4 * i);
    for (int i = 0; i < 4; ++i) t.orientation[i] = F32At(p + 16 + 4 * i);
    for (int i = 0; i < 9; ++i) t.scaleShear[i] = F32At(p + 32 + 4 * i);
    return true;
  }

  bool MeshIndex(Location mesh, Location type, int& index) {
    const auto known = meshIndex_.find(KeyOf(mesh));
    if (known != meshIndex_.end()) {
      index = known->second;
      return true;
    }
    index = int(out_.meshes.size());
    meshIndex_[KeyOf(mesh)] = index;
    Mesh read;
    if (!ReadMesh(mesh, type, read)) return w_.Fail("mesh " + std::to_string(index) + ": " + w_.error);
    out_.meshes.push_back(std::move(read));
    return true;
  }

  bool ReadMesh(Location mesh, Location type, Mesh& out) {
    if (!String(mesh, type, "Name", out.name)) return false;
    std::optional<Location> data, dataType, topology, topologyType;
    if (!Reference(mesh, type, "PrimaryVertexData", data, dataType) ||
        (data && !ReadVertices(*data, *dataType, out)) ||
        !Reference(mesh, type, "PrimaryTopology", topology, topologyType) ||
        (topology && !ReadTopology(*topology, *topologyType, out)))
      return false;
    std::vector<std::optional<Location>> elements;
    std::optional<Location> elementType;
    if (!ArrayMember(mesh, type, "MaterialBindings", elements, elementType)) return false;
    for (const auto& binding : elements) {
      std::optional<Location> material, materialType;
      int index = -1;
      if (binding && elementType && !Reference(*binding, *elementType, "Material", material, materialType))
        return false;
      if (material && !MaterialIndex(*material, *materialType, index)) return false;
      out.materials.push_back(index);
    }
    if (!ArrayMember(mesh, type, "BoneBindings", elements, elementType)) return false;
    for (const auto& binding : elements) {
      std::string name;
      if (binding && elementType && !String(*binding, *elementType, "BoneName", name)) return false;
      out.boneBindings.push_back(std::move(name));
    }
    for (const Vertex& v : out.vertices) {
      for (int k = 0; k < 4; ++k) {
        if (v.boneWeights[k] != 0 && v.boneIndices[k] >= out.boneBindings.size())
          return w_.Fail("bone index " + std::to_string(v.boneIndices[k]) + " past the mesh's " +
                         std::to_string(out.boneBindings.size()) + " bone bindings");
      }
    }
    return true;
  }

  bool VertexChannel(const std::vector<Member>& members, const char* name, int needed, Channel& channel) {
    channel = Channel{};
    for (const Member& m : members) {
      if (m.name != name) continue;
      if (!IsNumber(m.type)) return w_.Fail(std::string("vertex member ") + name + " is no number");
      const int components = std::max(m.width, 1);
      if (components < needed)
        return w_.Fail(std::string("vertex member ") + name + " has " + std::to_string(components) +
                       " components, fewer than " + std::to_string(needed));
      channel = {m.type, m.offset, 0, std::min(components, 4)};
      return w_.MemberSize(m, 0, channel.componentSize);
    }
    return true;
  }

  bool ReadVertices(Location data, Location type, Mesh& out) {
    std::optional<Member> m;
    if (!Find(type, "Vertices", m)) return false;
    if (!m) return true;
    VariantArray vertices;
    if (!w_.ReadVariantArray(data, *m, vertices)) return false;
    if (!vertices.array || vertices.count == 0) return true;
    if (!vertices.type) return w_.Fail("vertices without a vertex type");
    const std::vector<Member>* members = nullptr;
    std::uint64_t stride = 0;
    if (!w_.Members(*vertices.type, members) || !w_.StructSize(*vertices.type, 0, stride)) return false;
    Channel position, normal, uv, weights, indices;
    if (!VertexChannel(*members, "Position", 3, position) || !VertexChannel(*members, "Normal", 3, normal) ||
        !VertexChannel(*members, "TextureCoordinates0", 2, uv) ||
        !VertexChannel(*members, "BoneWeights", 1, weights) ||
        !VertexChannel(*members, "BoneIndices", 1, indices))
      return false;
    if (position.components == 0) return w_.Fail("vertex type has no Position");
    totalVertices_ += vertices.count;
    if (totalVertices_ > kMaxVerticesPerFile) return w_.Fail("more vertices than this reader accepts");
    const std::uint8_t* base = w_.Bytes(*vertices.array, std::uint64_t(vertices.count) * stride);
    if (base == nullptr) return w_.Fail("vertex array runs past the end of its section");
    out.hasNormals = normal.components > 0;
    out.hasUvs = uv.components > 0;
    out.hasBoneWeights = weights.components > 0 && indices.components > 0;
    out.vertices.resize(vertices.count);
    for (std::uint32_t i = 0; i < vertices.count; ++i) {
      const std::uint8_t* p = base + std::uint64_t(i) * stride;
      Vertex& v = out.vertices[i];
      const auto at = [p](const Channel& c, int k) { return p + c.offset + k * c.componentSize; };
      for (int k = 0; k < 3; ++k) v.position[k] = float(ScaledComponent(at(position, k), position.type));
      for (int k = 0; k < 3 && out.hasNormals; ++k)
        v.normal[k] = float(ScaledComponent(at(normal, k), normal.type));
      for (int k = 0; k < 2 && out.hasUvs; ++k) v.uv[k] = float(ScaledComponent(at(uv, k), uv.type));
      if (!out.hasBoneWeights) continue;
      for (int k = 0; k < std::min(weights.components, indices.components); ++k) {
        v.boneWeights[k] = WeightComponent(at(weights, k), weights.type);
        const double index = RawComponent(at(indices, k), indices.type);
        v.boneIndices[k] = index > 0 && index < 65536 ? std::uint16_t(index) : 0;
      }
    }
    return true;
  }

  // An array of integers (Indices, Indices16): its element type's one member gives the width.
  bool IntArray(Location object, Location type, const char* name, std::vector<std::uint32_t>& values) {
    std::optional<Member> m;
    values.clear();
    if (!Find(type, name, m)) return false;
    if (!m || m->type != kReferenceToArray) return true;
    const Location countAt = TypeWalker::Offset(object, m->offset);
    std::uint32_t count = 0;
    std::optional<Location> array;
    if (!w_.ReadU32(countAt, count) || !w_.ReadPointer(TypeWalker::Offset(countAt, 4), array)) return false;
    if (!array || count == 0) return true;
    const std::vector<Member>* members = nullptr;
    if (!m->definition || !w_.Members(*m->definition, members))
      return w_.Fail(std::string(name) + " has no element type");
    std::uint64_t size = 0;
    if (members->size() != 1 || !IsNumber(members->front().type) || !w_.MemberSize(members->front(), 0, size))
      return w_.Fail(std::string(name) + " does not hold plain integers");
    totalIndices_ += count;
    if (totalIndices_ > kMaxIndicesPerFile) return w_.Fail("more triangle indices than this reader accepts");
    const std::uint8_t* p = w_.Bytes(*array, std::uint64_t(count) * size);
    if (p == nullptr) return w_.Fail(std::string(name) + " runs past the end of its section");
    values.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      // Stored signed, read unsigned: a 16-bit list addresses up to 65535 vertices.
      const std::uint8_t* e = p + i * size;
      values[i] = size == 1 ? e[0] : size == 2 ? std::uint32_t(e[0] | (e[1] << 8)) : U32At(e);
    }
    return true;
  }

  bool ReadTopology(Location topology, Location type, Mesh& out) {
    if (!IntArray(topology, type, "Indices", out.indices)) return false;
    if (out.indices.empty() && !IntArray(topology, type, "Indices16", out.indices)) return false;
    if (out.indices.size() % 3 != 0)
      return w_.Fail(std::to_string(out.indices.size()) + " triangle indices, not a multiple of 3");
    for (std::uint32_t index : out.indices) {
      if (index >= out.vertices.size())
        return w_.Fail("triangle index " + std::to_string(index) + " past the mesh's " +
                       std::to_string(out.vertices.size()) + " vertices");
    }
    const std::uint64_t triangles = out.indices.size() / 3;
    std::vector<std::optional<Location>> elements;
    std::optional<Location> groupType;
    if (!ArrayMember(topology, type, "Groups", elements, groupType)) return false;
    for (const auto& group : elements) {
      std::int64_t material = 0, first = 0, count = 0;
      if (!group || !groupType) continue;
      if (!Int(*group, *groupType, "MaterialIndex", material) ||
          !Int(*group, *groupType, "TriFirst", first) || !Int(*group, *groupType, "TriCount", count))
        return false;
      if (first < 0 || count < 0 || std::uint64_t(first + count) > triangles)
        return w_.Fail("triangle group " + std::to_string(first) + "+" + std::to_string(count) +
                       " past the " + std::to_string(triangles) + " triangles");
      out.groups.push_back({std::int32_t(material), std::uint32_t(first), std::uint32_t(count)});
    }
    if (out.groups.empty() && triangles > 0) out.groups.push_back({0, 0, std::uint32_t(triangles)});
    return true;
  }

  bool MaterialIndex(Location material, Location type, int& index) {
    const auto known = materialIndex_.find(KeyOf(material));
    if (known != materialIndex_.end()) {
      index = known->second;
      return true;
    }
    Material read;
    if (!String(material, type, "Name", read.name) || !DiffuseTexture(material, type, 0, read.diffuseTexture))
      return false;
    index = int(out_.materials.size());
    materialIndex_[KeyOf(material)] = index;
    out_.materials.push_back(std::move(read));
    return true;
  }

  // The material's own texture, else the first texture found through its maps, colour maps first.
  bool DiffuseTexture(Location material, Location type, int depth, std::string& file) {
    if (depth > kMaxMaterialDepth) return true;
    std::optional<Location> texture, textureType;
    if (!Reference(material, type, "Texture", texture, textureType)) return false;
    if (texture) return String(*texture, *textureType, "FromFileName", file);
    std::vector<std::optional<Location>> maps;
    std::optional<Location> mapType;
    if (!ArrayMember(material, type, "Maps", maps, mapType)) return false;
    if (!mapType) return true;
    for (const char* preferred : {"Diffuse Color", "Material 1", ""}) {
      for (const auto& map : maps) {
        std::string usage;
        if (!map || !String(*map, *mapType, "Usage", usage)) continue;
        if (*preferred != '\0' && usage != preferred) continue;
        std::optional<Location> next, nextType;
        if (!Reference(*map, *mapType, "Map", next, nextType)) return false;
        if (next && !DiffuseTexture(*next, *nextType, depth + 1, file)) return false;
        if (!file.empty()) return true;
      }
    }
    return true;
  }

  bool ReadModel(Location model, Location type, Model& out) {
    if (!String(model, type, "Name", out.name) ||
        !ReadTransform(model, type, "InitialPlacement", out.initialPlacement))
      return false;
    std::optional<Location> skeleton, skeletonType;
    if (!Reference(model, type, "Skeleton", skeleton, skeletonType) ||
        (skeleton && !ReadBones(*skeleton, *skeletonType, out.bones)))
      return w_.Fail("model '" + out.name + "': " + w_.error);
    std::vector<std::optional<Location>> bindings;
    std::optional<Location> bindingType;
    if (!ArrayMember(model, type, "MeshBindings", bindings, bindingType)) return false;
    for (const auto& binding : bindings) {
      std::optional<Location> mesh, meshType;
      int index = -1;
      if (!binding || !bindingType) continue;
      if (!Reference(*binding, *bindingType, "Mesh", mesh, meshType) ||
          (mesh && !MeshIndex(*mesh, *meshType, index)))
        return false;
      if (mesh) out.meshes.push_back(index);
    }
    return true;
  }

  bool ReadBones(Location skeleton, Location type, std::vector<Bone>& bones) {
    std::vector<std::optional<Location>> elements;
    std::optional<Location> boneType;
    if (!ArrayMember(skeleton, type, "Bones", elements, boneType)) return false;
    for (const auto& element : elements) {
      if (!element || !boneType) return w_.Fail("skeleton with a null bone");
      Bone bone;
      std::int64_t parent = -1;
      double inverse[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
      bool found = false;
      if (!String(*element, *boneType, "Name", bone.name) ||
          !Int(*element, *boneType, "ParentIndex", parent) ||
          !ReadTransform(*element, *boneType, "Transform", bone.transform) ||
          !Numbers(*element, *boneType, "InverseWorldTransform", inverse, 16, found))
        return false;
      if (parent < -1 || parent >= std::int64_t(bones.size()))
        return w_.Fail("bone " + std::to_string(bones.size()) + " names parent " + std::to_string(parent) +
                       ", which does not come before it");
      bone.parentIndex = std::int32_t(parent);
      for (int i = 0; i < 16; ++i) bone.inverseWorldTransform[i] = float(inverse[i]);
      bones.push_back(std::move(bone));
    }
    return true;
  }

  bool ReadAxes(Location root, Location rootType) {
    std::optional<Location> info, infoType;
    if (!Reference(root, rootType, "ArtToolInfo", info, infoType)) return false;
    if (!info) return true;
    double units = 0, right[3] = {}, up[3] = {}, back[3] = {};
    bool hasUnits = false, hasRight = false, hasUp = false, hasBack = false;
    if (!Numbers(*info, *infoType, "UnitsPerMeter", &units, 1, hasUnits) ||
        !Numbers(*info, *infoType, "RightVector", right, 3, hasRight) ||
        !Numbers(*info, *infoType, "UpVector", up, 3, hasUp) ||
        !Numbers(*info, *infoType, "BackVector", back, 3, hasBack))
      return false;
    AxisSystem& axes = out_.axes;
    if (hasUnits && std::isfinite(units) && units > 1e-6 && units < 1e6) axes.unitsPerMeter = float(units);
    const auto dot = [](const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
    const double cross[3] = {right[1] * up[2] - right[2] * up[1], right[2] * up[0] - right[0] * up[2],
                             right[0] * up[1] - right[1] * up[0]};
    // Only an orthonormal right-handed frame is taken; anything else falls back to Z up.
    const bool sound = hasRight && hasUp && hasBack && std::fabs(dot(right, right) - 1) < 1e-3 &&
                       std::fabs(dot(up, up) - 1) < 1e-3 && std::fabs(dot(right, up)) < 1e-3 &&
                       std::fabs(dot(cross, back) - 1) < 1e-3;
    if (!sound) return true;
    axes.present = true;
    for (int i = 0; i < 3; ++i) {
      axes.right[i] = float(right[i]);
      axes.up[i] = float(up[i]);
      axes.back[i] = float(back[i]);
    }
    return true;
  }

  const Container& c_;
  TypeWalker w_;
  ModelContent& out_;
  std::map<Key, int> meshIndex_;
  std::map<Key, int> materialIndex_;
  std::uint64_t totalVertices_ = 0;
  std::uint64_t totalIndices_ = 0;
};

}  // namespace

bool ReadModelContent(const Container& container, ModelContent& out, std::string& error) {
  out = ModelContent{};
  ContentReader reader(container, out);
  if (reader.Run()) return true;
  error = reader.Error();
  out = ModelContent{};
  return false;
}

bool ReadGr2Content(const std::uint8_t* data, std::size_t size, ModelContent& out, std::string& error) {
  Container container;
  if (!ReadContainer(data, size, container, error)) return false;
  return ReadModelContent(container, out, error);
}

}  // namespace granny2
