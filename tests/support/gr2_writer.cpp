#include "support/gr2_writer.hpp"

#include <array>
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

 private:
  std::uint32_t String(const std::string& text) {
    const std::uint32_t at = s_[kStrings].Size();
    s_[kStrings].data.append(text.c_str(), text.size() + 1);
    return at;
  }

  // Writes a member list and returns its offset; `offsets` receives each member's offset in the struct.
  std::uint32_t TypeList(const std::vector<Member>& members, std::uint32_t inlineSize, bool terminate,
                         std::vector<std::uint32_t>* offsets = nullptr) {
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
      const std::uint32_t size = m.type == 1                  ? inlineSize
                                 : m.type == 2 || m.type == 8 ? p_
                                 : m.type == 3 || m.type == 4 ? 4 + p_
                                 : m.type == 5                ? 2 * p_
                                                              : 4;
      offset += size * static_cast<std::uint32_t>(m.width > 1 ? m.width : 1);
    }
    if (terminate) t.Reserve(record);
    return start;
  }

  std::string Assemble(std::uint32_t rootType) {
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
    const std::uint32_t info[] = {version, size,     0,        infoSize, kSectionCount,
                                  kTypes,  rootType, kObjects, 0,        0x80000037u};
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
