#include "support/gr2_writer.hpp"

#include <array>
#include <cmath>
#include <cstring>

#include "granny2/gr2_container.hpp"

namespace {

const std::uint8_t kMagicV7[16] = {0x29, 0xde, 0x6c, 0xc0, 0xba, 0xa4, 0x53, 0x2b,
                                   0x25, 0xf5, 0xb7, 0xa5, 0xf6, 0x66, 0xe2, 0xee};
const std::uint8_t kMagicV6[16] = {0xb8, 0x67, 0xb0, 0xca, 0xf8, 0x6d, 0xb1, 0x0f,
                                   0x84, 0x72, 0x8c, 0x7e, 0x5e, 0x19, 0x00, 0x1e};
const std::uint8_t kMagicWide[16] = {0xe5, 0x9b, 0x49, 0x5e, 0x6f, 0x63, 0x1f, 0x14,
                                     0x1e, 0x13, 0xeb, 0xa9, 0x90, 0xbe, 0xed, 0xc4};
const std::uint8_t kMagicV7Big[16] = {0x0e, 0x11, 0x95, 0xb5, 0x6a, 0xa5, 0xb5, 0x4b,
                                      0xeb, 0x28, 0x28, 0x50, 0x25, 0x78, 0xb3, 0x04};

enum : std::uint32_t { kObjects, kTypes, kStrings, kSectionCount = 4 };

void PutU32(std::string& bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

struct Section {
  std::string data;
  std::vector<std::array<std::uint32_t, 3>> relocations;  // slot, target section, target offset

  std::uint32_t Size() const { return static_cast<std::uint32_t>(data.size()); }
  std::uint32_t Reserve(std::size_t n) {
    const std::uint32_t at = Size();
    data.append(n, '\0');
    return at;
  }
  void Pointer(std::uint32_t slot, std::uint32_t section, std::uint32_t offset) {
    relocations.push_back({slot, section, offset});
  }
};

struct Member {
  std::uint32_t type;            // 1 inline struct, 2 reference, 3 array of structs, 4 array of references,
  const char* name;              // 5 variant reference, 8 string, 19 int32
  std::int64_t definition = -1;  // offset of the member list in the types section
  std::int32_t width = 0;
};

class Builder {
 public:
  explicit Builder(const Gr2WriteOptions& o) : o_(o), p_(o.is64Bit ? 8 : 4) {}

  std::string Build(const std::vector<std::string>& textures, int meshCount) {
    // clang-format off
    const std::uint32_t layout = TypeList(
        {{19, "BytesPerPixel"}, {19, "ShiftForComponent", -1, 4}, {19, "BitsForComponent", -1, 4}}, 0, true);
    const std::uint32_t layoutSize = 36;
    const std::uint32_t texture = TypeList(
        {{8, "FromFileName"}, {19, "TextureType"}, {19, "Width"}, {19, "Height"}, {19, "Encoding"},
         {19, "SubFormat"}, {1, "Layout", layout, 0}, {3, "Images"}, {5, "ExtendedData"}}, layoutSize, true);
    const std::uint32_t textureSize = p_ + 5 * 4 + layoutSize + (4 + p_) + 2 * p_;
    const std::uint32_t mesh = TypeList(
        {{8, "Name"}, {2, "PrimaryVertexData"}, {3, "MorphTargets"}, {2, "PrimaryTopology"},
         {3, "MaterialBindings"}, {3, "BoneBindings"}, {5, "ExtendedData"}}, 0, true);
    const std::uint32_t meshSize = 3 * p_ + 3 * (4 + p_) + 2 * p_;

    // The root list comes last so that an unterminated one runs into the section's end.
    const std::uint32_t root = s_[kTypes].Size();
    std::vector<Member> members;
    if (o_.defect == Gr2Defect::CyclicTypeTree) members.push_back({1, "Self", root, 0});
    if (o_.leadingRootMember) members.push_back({1, "ExtraHeader", layout, 2});
    const std::size_t first = members.size();
    members.insert(members.end(), {
        {2, "ArtToolInfo"}, {2, "ExporterInfo"}, {8, "FromFileName"}, {4, "Textures", texture, 0},
        {4, "Materials"}, {4, "Skeletons"}, {4, "VertexDatas"}, {4, "TriTopologies"}, {4, "Meshes", mesh, 0},
        {4, "Models"}, {4, "TrackGroups"}, {4, "Animations"}, {5, "ExtendedData"}});
    // clang-format on
    std::vector<std::uint32_t> at;
    TypeList(members, layoutSize, o_.defect != Gr2Defect::UnterminatedTypeList, &at);
    const std::uint32_t texturesAt = at[first + 3], meshesAt = at[first + 8];

    Section& obj = s_[kObjects];
    obj.Reserve(at.back() + 2 * p_);
    obj.Pointer(at[first + 2], kStrings, String("C:\\art\\model.max"));
    const std::size_t named = textures.size();
    const std::uint32_t slots = static_cast<std::uint32_t>(named + o_.nullTextureSlots + o_.unnamedTextures);
    PutU32(obj.data, texturesAt, slots);
    if (slots > 0) {
      std::uint32_t slot = obj.Reserve(slots * p_);
      if (o_.defect == Gr2Defect::None || o_.defect == Gr2Defect::CyclicTypeTree ||
          o_.defect == Gr2Defect::UnterminatedTypeList)
        obj.Pointer(texturesAt + 4, kObjects, slot);
      for (std::size_t i = 0; i < named + o_.unnamedTextures; ++i, slot += p_) {
        const std::uint32_t object = obj.Reserve(textureSize);
        obj.Pointer(slot, kObjects, object);
        if (i < named) obj.Pointer(object, kStrings, String(textures[i]));
      }
    }
    PutU32(obj.data, meshesAt, static_cast<std::uint32_t>(meshCount));
    if (meshCount > 0) {
      const std::uint32_t array = obj.Reserve(meshCount * p_);
      obj.Pointer(meshesAt + 4, kObjects, array);
      for (int i = 0; i < meshCount; ++i) {
        const std::uint32_t object = obj.Reserve(meshSize);
        obj.Pointer(array + i * p_, kObjects, object);
        obj.Pointer(object, kStrings, String("Mesh" + std::to_string(i)));
      }
    }
    if (o_.defect == Gr2Defect::RelocationPastSection) obj.Pointer(texturesAt + 4, kObjects, obj.Size() + 64);
    return Assemble(root);
  }

  std::string BuildModel(const Gr2TestModel& model) {
    Section& obj = s_[kObjects];
    const Layout i32 = Type({{19, "Int32"}}), i16 = Type({{15, "Int16"}});
    const Layout group = Type({{19, "MaterialIndex"}, {19, "TriFirst"}, {19, "TriCount"}});
    const Layout topology = Type({{3, "Groups", group.at}, {3, "Indices", i32.at}, {3, "Indices16", i16.at}});
    const Layout vertexData =
        Type({{7, "Vertices"}, {3, "VertexComponentNames"}, {3, "VertexAnnotationSets"}});
    const Layout texture = Type({{8, "FromFileName"}, {19, "Width"}, {19, "Height"}});
    // Map entries and materials point at each other: the material list follows the entry list's 3 records.
    const std::uint32_t materialAt = s_[kTypes].Size() + 3 * (o_.is64Bit ? 44 : 32);
    const Layout map = Type({{8, "Usage"}, {2, "Map", materialAt}});
    const Layout material =
        Type({{8, "Name"}, {3, "Maps", map.at}, {2, "Texture", texture.at}, {5, "ExtendedData"}});
    const Layout materialBinding = Type({{2, "Material", material.at}});
    const Layout boneBinding = Type({{8, "BoneName"}, {10, "OBBMin", -1, 3}, {10, "OBBMax", -1, 3}});
    const Layout mesh = Type({{8, "Name"},
                              {2, "PrimaryVertexData", vertexData.at},
                              {3, "MorphTargets"},
                              {2, "PrimaryTopology", topology.at},
                              {3, "MaterialBindings", materialBinding.at},
                              {3, "BoneBindings", boneBinding.at},
                              {5, "ExtendedData"}});
    const Layout bone = Type({{8, "Name"},
                              {19, "ParentIndex"},
                              {9, "Transform"},
                              {10, "InverseWorldTransform", -1, 16},
                              {10, "LODError"},
                              {5, "ExtendedData"}});
    const Layout skeleton = Type({{8, "Name"}, {3, "Bones", bone.at}, {19, "LODType"}});
    const Layout meshBinding = Type({{2, "Mesh", mesh.at}});
    const Layout modelType = Type({{8, "Name"},
                                   {2, "Skeleton", skeleton.at},
                                   {9, "InitialPlacement"},
                                   {3, "MeshBindings", meshBinding.at}});
    const Layout art = Type({{8, "FromArtToolName"},
                             {10, "UnitsPerMeter"},
                             {10, "Origin", -1, 3},
                             {10, "RightVector", -1, 3},
                             {10, "UpVector", -1, 3},
                             {10, "BackVector", -1, 3}});
    const Layout root = Type({{2, "ArtToolInfo", art.at},
                              {8, "FromFileName"},
                              {4, "Textures", texture.at},
                              {4, "Meshes", mesh.at},
                              {4, "Models", modelType.at},
                              {5, "ExtendedData"}});

    const std::uint32_t rootAt = obj.Reserve(root.size);
    const std::uint32_t artAt = obj.Reserve(art.size);
    obj.Pointer(rootAt + root.offsets[0], kObjects, artAt);
    PutF32(artAt + art.offsets[1], model.unitsPerMeter);
    const float axes[3][3] = {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}};
    for (int a = 0; a < 3; ++a)
      for (int k = 0; k < 3; ++k) PutF32(artAt + art.offsets[3 + a] + 4 * k, axes[a][k]);

    const std::uint32_t textureSlots = Array(rootAt + root.offsets[2], model.textures.size(), p_);
    for (std::size_t t = 0; t < model.textures.size(); ++t) {
      const std::uint32_t tex = obj.Reserve(texture.size);
      obj.Pointer(textureSlots + t * p_, kObjects, tex);
      obj.Pointer(tex, kStrings, String(model.textures[t]));
    }
    const std::uint32_t meshSlots = Array(rootAt + root.offsets[3], model.meshes.size(), p_);
    std::vector<std::uint32_t> meshes;
    for (std::size_t m = 0; m < model.meshes.size(); ++m) {
      const Gr2TestMesh& in = model.meshes[m];
      const std::uint32_t at = obj.Reserve(mesh.size);
      meshes.push_back(at);
      obj.Pointer(meshSlots + m * p_, kObjects, at);
      obj.Pointer(at, kStrings, String(in.name));
      const std::uint32_t data = obj.Reserve(vertexData.size);
      obj.Pointer(at + mesh.offsets[1], kObjects, data);
      WriteVertices(in, data + vertexData.offsets[0]);
      const std::uint32_t topo = obj.Reserve(topology.size);
      obj.Pointer(at + mesh.offsets[3], kObjects, topo);
      const std::uint32_t groups = Array(topo + topology.offsets[0], in.groups.size(), group.size);
      for (std::size_t g = 0; g < in.groups.size(); ++g)
        for (int k = 0; k < 3; ++k) PutU32(obj.data, groups + g * group.size + 4 * k, in.groups[g][k]);
      const std::uint32_t width = in.indices16 ? 2 : 4;
      const std::uint32_t indices =
          Array(topo + topology.offsets[in.indices16 ? 2 : 1], in.indices.size(), width);
      for (std::size_t k = 0; k < in.indices.size(); ++k) {
        if (in.indices16) {
          obj.data[indices + 2 * k] = static_cast<char>(in.indices[k] & 0xFF);
          obj.data[indices + 2 * k + 1] = static_cast<char>(in.indices[k] >> 8);
        } else {
          PutU32(obj.data, indices + 4 * k, in.indices[k]);
        }
      }
      const std::uint32_t bindings =
          Array(at + mesh.offsets[4], in.materialTextures.size(), materialBinding.size);
      for (std::size_t b = 0; b < in.materialTextures.size(); ++b) {
        // A surface material whose "Diffuse Color" map leads to the material holding the texture.
        const std::uint32_t surface = obj.Reserve(material.size), holder = obj.Reserve(material.size);
        obj.Pointer(bindings + b * materialBinding.size, kObjects, surface);
        obj.Pointer(surface, kStrings, String(in.name + "Material" + std::to_string(b)));
        const std::uint32_t entry = Array(surface + material.offsets[1], 1, map.size);
        obj.Pointer(entry, kStrings, String("Diffuse Color"));
        obj.Pointer(entry + map.offsets[1], kObjects, holder);
        if (in.materialTextures[b].empty()) continue;
        const std::uint32_t tex = obj.Reserve(texture.size);
        obj.Pointer(holder + material.offsets[2], kObjects, tex);
        obj.Pointer(tex, kStrings, String(in.materialTextures[b]));
      }
      const std::uint32_t bones = Array(at + mesh.offsets[5], in.boneBindings.size(), boneBinding.size);
      for (std::size_t b = 0; b < in.boneBindings.size(); ++b)
        obj.Pointer(bones + b * boneBinding.size, kStrings, String(in.boneBindings[b]));
    }

    const std::uint32_t modelSlot = Array(rootAt + root.offsets[4], 1, p_);
    const std::uint32_t modelAt = obj.Reserve(modelType.size);
    obj.Pointer(modelSlot, kObjects, modelAt);
    obj.Pointer(modelAt, kStrings, String("Model"));
    Transform(modelAt + modelType.offsets[2], 1, model.placement, {0, 0, 0, 1}, {1, 1, 1});
    const std::uint32_t meshBindings = Array(modelAt + modelType.offsets[3], meshes.size(), meshBinding.size);
    for (std::size_t m = 0; m < meshes.size(); ++m)
      obj.Pointer(meshBindings + m * meshBinding.size, kObjects, meshes[m]);
    const std::uint32_t skeletonAt = obj.Reserve(skeleton.size);
    obj.Pointer(modelAt + modelType.offsets[1], kObjects, skeletonAt);
    const std::uint32_t bones = Array(skeletonAt + skeleton.offsets[1], model.bones.size(), bone.size);
    for (std::size_t b = 0; b < model.bones.size(); ++b) {
      const Gr2TestBone& in = model.bones[b];
      const std::uint32_t at = bones + b * bone.size;
      obj.Pointer(at, kStrings, String(in.name));
      PutU32(obj.data, at + bone.offsets[1], static_cast<std::uint32_t>(in.parent));
      Transform(at + bone.offsets[2], 7, in.position, in.orientation, in.scale);
      for (int k = 0; k < 16; ++k) PutF32(at + bone.offsets[3] + 4 * k, in.inverseWorld[k]);
    }
    return Assemble(root.at, rootAt);
  }

 private:
  // The vertex array in the mesh's layout, behind the variant array member at `member`.
  void WriteVertices(const Gr2TestMesh& in, std::uint32_t member) {
    Section& obj = s_[kObjects];
    const bool half = in.layout == Gr2VertexLayout::Half;
    std::vector<Member> members(half ? 3 : 1, Member{10, "Position", -1, 3});
    if (half) {
      members[0] = {21, "TextureCoordinates0", -1, 2};
      members[1] = {21, "Normal", -1, 3};
    } else {
      if (in.layout == Gr2VertexLayout::Skinned) {
        members.push_back({14, "BoneWeights", -1, 4});
        members.push_back({12, "BoneIndices", -1, 4});
      }
      members.push_back({10, "Normal", -1, 3});
      members.push_back({10, "TextureCoordinates0", -1, 2});
    }
    const Layout vertex = Type(members);
    obj.Pointer(member, kTypes, vertex.at);
    PutU32(obj.data, member + p_, static_cast<std::uint32_t>(in.vertices.size()));
    if (in.vertices.empty()) return;
    const std::uint32_t first = obj.Reserve(in.vertices.size() * vertex.size);
    obj.Pointer(member + p_ + 4, kObjects, first);
    for (std::size_t v = 0; v < in.vertices.size(); ++v) {
      const Gr2TestVertex& x = in.vertices[v];
      const std::uint32_t at = first + v * vertex.size;
      for (std::size_t m = 0; m < members.size(); ++m) {
        const std::string name = members[m].name;
        const std::uint32_t field = at + vertex.offsets[m];
        const float* values = name == "Position" ? x.position.data()
                              : name == "Normal" ? x.normal.data()
                                                 : x.uv.data();
        for (int k = 0; k < members[m].width; ++k) {
          if (members[m].type == 21) {
            const std::uint16_t half = HalfOf(values[k]);
            obj.data[field + 2 * k] = static_cast<char>(half & 0xFF);
            obj.data[field + 2 * k + 1] = static_cast<char>(half >> 8);
          } else if (members[m].type == 10) {
            PutF32(field + 4 * k, values[k]);
          } else {
            obj.data[field + k] =
                static_cast<char>(name == "BoneWeights" ? x.boneWeights[k] : x.boneIndices[k]);
          }
        }
      }
    }
  }

  // Exact for the values tests use: zero and normal numbers with at most 11 significant bits.
  static std::uint16_t HalfOf(float v) {
    if (v == 0) return 0;
    int exponent = 0;
    const float mantissa = std::frexp(std::fabs(v), &exponent);  // [0.5, 1)
    const auto bits = static_cast<std::uint16_t>(std::lround((mantissa * 2 - 1) * 1024));
    return static_cast<std::uint16_t>((v < 0 ? 0x8000 : 0) | ((exponent + 14) << 10) | bits);
  }

  // A type list with its members' offsets and its size.
  struct Layout {
    std::uint32_t at = 0, size = 0;
    std::vector<std::uint32_t> offsets;
  };
  Layout Type(const std::vector<Member>& members) {
    Layout l;
    l.at = TypeList(members, 0, true, &l.offsets, &l.size);
    return l;
  }

  void PutF32(std::uint32_t at, float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    PutU32(s_[kObjects].data, at, bits);
  }
  // Count and pointer of an array member at `at`, the elements (`stride` bytes each) reserved zeroed.
  std::uint32_t Array(std::uint32_t at, std::size_t count, std::uint32_t stride) {
    Section& obj = s_[kObjects];
    PutU32(obj.data, at, static_cast<std::uint32_t>(count));
    if (count == 0) return 0;
    const std::uint32_t first = obj.Reserve(count * stride);
    obj.Pointer(at + 4, kObjects, first);
    return first;
  }
  void Transform(std::uint32_t at, std::uint32_t flags, const std::array<float, 3>& position,
                 const std::array<float, 4>& orientation, const std::array<float, 3>& scale) {
    PutU32(s_[kObjects].data, at, flags);
    for (int i = 0; i < 3; ++i) PutF32(at + 4 + 4 * i, position[i]);
    for (int i = 0; i < 4; ++i) PutF32(at + 16 + 4 * i, orientation[i]);
    for (int i = 0; i < 3; ++i) PutF32(at + 32 + 16 * i, scale[i]);
  }

  std::uint32_t String(const std::string& text) {
    const std::uint32_t at = s_[kStrings].Size();
    s_[kStrings].data.append(text.c_str(), text.size() + 1);
    return at;
  }

  // Writes a member list and returns its offset; `offsets` receives each member's offset in the struct.
  std::uint32_t TypeList(const std::vector<Member>& members, std::uint32_t inlineSize, bool terminate,
                         std::vector<std::uint32_t>* offsets = nullptr, std::uint32_t* structSize = nullptr) {
    Section& t = s_[kTypes];
    const std::uint32_t start = t.Size(), record = o_.is64Bit ? 44 : 32;
    std::uint32_t offset = 0;
    for (const Member& m : members) {
      const std::uint32_t at = t.Reserve(record);
      PutU32(t.data, at, m.type);
      t.Pointer(at + 4, kStrings, String(m.name));
      if (m.definition >= 0) t.Pointer(at + 4 + p_, kTypes, static_cast<std::uint32_t>(m.definition));
      PutU32(t.data, at + 4 + 2 * p_, static_cast<std::uint32_t>(m.width));
      if (offsets) offsets->push_back(offset);
      offset += MemberBytes(m, inlineSize) * static_cast<std::uint32_t>(m.width > 1 ? m.width : 1);
    }
    if (terminate) t.Reserve(record);
    if (structSize) *structSize = offset;
    return start;
  }

  std::uint32_t MemberBytes(const Member& m, std::uint32_t inlineSize) const {
    switch (m.type) {
      case 1:
        return inlineSize;
      case 2:
      case 8:
        return p_;
      case 3:
      case 4:
        return 4 + p_;
      case 5:
        return 2 * p_;
      case 7:
        return 4 + 2 * p_;
      case 9:
        return 68;
      case 12:
      case 14:
        return 1;
      case 15:
      case 21:
        return 2;
      default:
        return 4;
    }
  }

  std::string Assemble(std::uint32_t rootType, std::uint32_t rootObject = 0) {
    const std::uint32_t infoSize = granny2::InfoHeaderSize(static_cast<std::uint32_t>(o_.version));
    const std::uint32_t tableAt = 0x20 + infoSize, headersSize = tableAt + kSectionCount * 44;
    std::string file(headersSize, '\0');
    const std::uint8_t* magic = o_.bigEndianMagic               ? kMagicV7Big
                                : o_.is64Bit                    ? kMagicWide
                                : o_.v6Magic || o_.version == 6 ? kMagicV6
                                                                : kMagicV7;
    std::memcpy(&file[0], magic, 16);
    PutU32(file, 0x10, headersSize);
    std::uint32_t dataAt[kSectionCount];
    for (std::uint32_t i = 0; i < kSectionCount; ++i) {
      file.resize((file.size() + 3) / 4 * 4, '\0');
      dataAt[i] = static_cast<std::uint32_t>(file.size());
      file += s_[i].data;
    }
    for (std::uint32_t i = 0; i < kSectionCount; ++i) {
      const std::uint32_t size = s_[i].Size(), relocationsAt = static_cast<std::uint32_t>(file.size());
      const std::uint32_t count = static_cast<std::uint32_t>(s_[i].relocations.size());
      const std::uint32_t method = size > 0 ? o_.compression : 0;
      const std::uint32_t fields[] = {method, dataAt[i], size,          size,  4,
                                      size,   size,      relocationsAt, count, relocationsAt};
      for (std::size_t k = 0; k < 10; ++k) PutU32(file, tableAt + i * 44 + 4 * k, fields[k]);
      for (const auto& r : s_[i].relocations) {
        file.append(12, '\0');
        for (std::size_t k = 0; k < 3; ++k) PutU32(file, file.size() - 12 + 4 * k, r[k]);
      }
    }
    const std::uint32_t version = static_cast<std::uint32_t>(o_.version),
                        size = static_cast<std::uint32_t>(file.size());
    const std::uint32_t info[] = {version, size,     0,        infoSize,   kSectionCount,
                                  kTypes,  rootType, kObjects, rootObject, 0x80000037u};
    for (std::size_t k = 0; k < 10; ++k) PutU32(file, 0x20 + 4 * k, info[k]);
    if (o_.version == 7) PutU32(file, 0x58, o_.stringDatabase);
    FixGr2Crc(file);
    return file;
  }

  const Gr2WriteOptions& o_;
  const std::uint32_t p_;
  Section s_[kSectionCount];
};

}  // namespace

std::string BuildGr2(const std::vector<std::string>& textures, int meshCount,
                     const Gr2WriteOptions& options) {
  return Builder(options).Build(textures, meshCount);
}

void FixGr2Crc(std::string& bytes) {
  if (bytes.size() < 0x30) return;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const std::uint32_t start =
      0x20 + granny2::InfoHeaderSize(data[0x20] | (data[0x21] << 8) | (data[0x22] << 16) |
                                     (std::uint32_t(data[0x23]) << 24));
  if (start <= 0x20 || start > bytes.size()) return;
  PutU32(bytes, 0x28, granny2::Crc32(data + start, bytes.size() - start));
}

std::string BuildGr2Model(const Gr2TestModel& model, const Gr2WriteOptions& options) {
  return Builder(options).BuildModel(model);
}
