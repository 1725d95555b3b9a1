#include "support/gr2_writer.hpp"

#include <cstring>

#include "granny2/gr2_container.hpp"
#include "platform/platform.hpp"

namespace {

const std::uint8_t kMagicV6[16] = {0xb8, 0x67, 0xb0, 0xca, 0xf8, 0x6d, 0xb1, 0x0f,
                                   0x84, 0x72, 0x8c, 0x7e, 0x5e, 0x19, 0x00, 0x1e};
const std::uint8_t kMagicV7[16] = {0x29, 0xde, 0x6c, 0xc0, 0xba, 0xa4, 0x53, 0x2b,
                                   0x25, 0xf5, 0xb7, 0xa5, 0xf6, 0x66, 0xe2, 0xee};
const std::uint8_t kMagicV7Wide[16] = {0xe5, 0x9b, 0x49, 0x5e, 0x6f, 0x63, 0x1f, 0x14,
                                       0x1e, 0x13, 0xeb, 0xa9, 0x90, 0xbe, 0xed, 0xc4};
const std::uint8_t kMagicV6Big[16] = {0xca, 0xb0, 0x67, 0xb8, 0x0f, 0xb1, 0x6d, 0xf8,
                                      0x7e, 0x8c, 0x72, 0x84, 0x1e, 0x00, 0x19, 0x5e};
const std::uint8_t kMagicV7Big[16] = {0x0e, 0x11, 0x95, 0xb5, 0x6a, 0xa5, 0xb5, 0x4b,
                                      0xeb, 0x28, 0x28, 0x50, 0x25, 0x78, 0xb3, 0x04};
const std::uint8_t kMagicV7WideBig[16] = {0x31, 0x95, 0xd4, 0xe3, 0x20, 0xdc, 0x4f, 0x62,
                                          0xcc, 0x36, 0xd0, 0x3a, 0xb1, 0x82, 0xff, 0x89};

enum : std::uint32_t { kObjects = 0, kTypes = 1, kStrings = 2, kEmpty = 3, kSectionCount = 4 };

void PutU32(std::string& bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

struct Section {
  struct Relocation {
    std::uint32_t slot, section, offset;
  };
  std::string data;
  std::vector<Relocation> relocations;

  std::uint32_t Size() const { return static_cast<std::uint32_t>(data.size()); }
  std::uint32_t Reserve(std::size_t n) {
    const std::uint32_t at = Size();
    data.append(n, '\0');
    return at;
  }
  void U32(std::uint32_t at, std::uint32_t v) { PutU32(data, at, v); }
  void Pointer(std::uint32_t slot, std::uint32_t section, std::uint32_t offset) {
    relocations.push_back({slot, section, offset});
  }
};

struct MemberLayout {
  std::uint32_t type;
  const char* name;
  std::int64_t definition;  // offset of the member list in the types section, -1 for none
  std::int32_t width;
};

class Builder {
 public:
  explicit Builder(const Gr2WriteOptions& o) : o_(o), p_(o.is64Bit ? 8 : 4) {}

  std::uint32_t Size(const MemberLayout& m, std::uint32_t inlineSize) const {
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
      default:
        return 4;  // the int32 members used below
    }
  }

  std::uint32_t String(const std::string& text) {
    const std::uint32_t at = s_[kStrings].Size();
    s_[kStrings].data += text;
    s_[kStrings].data += '\0';
    return at;
  }

  // Writes a member list; returns its offset. `offsets` receives each member's offset in the struct.
  std::uint32_t TypeList(const std::vector<MemberLayout>& members, std::uint32_t inlineSize, bool terminate,
                         std::vector<std::uint32_t>* offsets = nullptr) {
    Section& t = s_[kTypes];
    const std::uint32_t start = t.Size();
    const std::uint32_t record = o_.is64Bit ? 44 : 32;
    std::uint32_t offset = 0;
    for (const MemberLayout& m : members) {
      const std::uint32_t at = t.Reserve(record);
      t.U32(at, m.type);
      t.Pointer(at + 4, kStrings, String(m.name));
      if (m.definition >= 0) t.Pointer(at + 4 + p_, kTypes, static_cast<std::uint32_t>(m.definition));
      t.U32(at + 4 + 2 * p_, static_cast<std::uint32_t>(m.width));
      if (offsets) offsets->push_back(offset);
      offset += Size(m, inlineSize) * static_cast<std::uint32_t>(m.width > 1 ? m.width : 1);
    }
    if (terminate) t.Reserve(record);
    return start;
  }

  std::string Build(const std::vector<std::string>& textures, int meshCount) {
    const std::uint32_t layout = TypeList(
        {{19, "BytesPerPixel", -1, 0}, {19, "ShiftForComponent", -1, 4}, {19, "BitsForComponent", -1, 4}}, 0,
        true);
    const std::uint32_t layoutSize = 36;
    const std::uint32_t texture = TypeList({{8, "FromFileName", -1, 0},
                                            {19, "TextureType", -1, 0},
                                            {19, "Width", -1, 0},
                                            {19, "Height", -1, 0},
                                            {19, "Encoding", -1, 0},
                                            {19, "SubFormat", -1, 0},
                                            {1, "Layout", layout, 0},
                                            {3, "Images", -1, 0},
                                            {5, "ExtendedData", -1, 0}},
                                           layoutSize, true);
    const std::uint32_t textureSize = p_ + 5 * 4 + layoutSize + (4 + p_) + 2 * p_;
    const std::uint32_t mesh = TypeList({{8, "Name", -1, 0},
                                         {2, "PrimaryVertexData", -1, 0},
                                         {3, "MorphTargets", -1, 0},
                                         {2, "PrimaryTopology", -1, 0},
                                         {3, "MaterialBindings", -1, 0},
                                         {3, "BoneBindings", -1, 0},
                                         {5, "ExtendedData", -1, 0}},
                                        0, true);
    const std::uint32_t meshSize = 3 * p_ + 3 * (4 + p_) + 2 * p_;

    // The root list comes last so that an unterminated one runs into the section's end.
    const std::uint32_t root = s_[kTypes].Size();
    std::vector<MemberLayout> rootMembers;
    if (o_.defect == Gr2Defect::CyclicTypeTree) rootMembers.push_back({1, "Self", root, 0});
    if (o_.leadingRootMember) rootMembers.push_back({1, "ExtraHeader", layout, 2});
    const std::vector<MemberLayout> standard = {
        {2, "ArtToolInfo", -1, 0},   {2, "ExporterInfo", -1, 0},  {8, "FromFileName", -1, 0},
        {4, "Textures", texture, 0}, {4, "Materials", -1, 0},     {4, "Skeletons", -1, 0},
        {4, "VertexDatas", -1, 0},   {4, "TriTopologies", -1, 0}, {4, "Meshes", mesh, 0},
        {4, "Models", -1, 0},        {4, "TrackGroups", -1, 0},   {4, "Animations", -1, 0},
        {5, "ExtendedData", -1, 0}};
    rootMembers.insert(rootMembers.end(), standard.begin(), standard.end());
    std::vector<std::uint32_t> offsets;
    TypeList(rootMembers, layoutSize, o_.defect != Gr2Defect::UnterminatedTypeList, &offsets);
    const std::size_t first = rootMembers.size() - standard.size();
    const std::uint32_t fromFileNameAt = offsets[first + 2];
    const std::uint32_t texturesAt = offsets[first + 3];
    const std::uint32_t meshesAt = offsets[first + 8];
    const std::uint32_t rootSize = offsets.back() + 2 * p_;

    Section& obj = s_[kObjects];
    obj.Reserve(rootSize);
    obj.Pointer(fromFileNameAt, kStrings, String("C:\\art\\model.max"));

    const std::uint32_t slots =
        static_cast<std::uint32_t>(textures.size()) + o_.nullTextureSlots + o_.unnamedTextures;
    obj.U32(texturesAt, slots);
    if (slots > 0) {
      const std::uint32_t array = obj.Reserve(slots * p_);
      if (o_.defect == Gr2Defect::RelocationPastSection) {
        pastSectionSlot_ = texturesAt + 4;
      } else if (o_.defect != Gr2Defect::CountWithNullPointer) {
        obj.Pointer(texturesAt + 4, kObjects, array);
      }
      std::uint32_t slot = array;
      for (std::size_t i = 0; i < textures.size() + o_.unnamedTextures; ++i, slot += p_) {
        const std::uint32_t object = obj.Reserve(textureSize);
        obj.Pointer(slot, kObjects, object);
        if (i < textures.size()) obj.Pointer(object, kStrings, String(textures[i]));
      }
    }

    obj.U32(meshesAt, static_cast<std::uint32_t>(meshCount));
    if (meshCount > 0) {
      const std::uint32_t array = obj.Reserve(meshCount * p_);
      obj.Pointer(meshesAt + 4, kObjects, array);
      for (int i = 0; i < meshCount; ++i) {
        const std::uint32_t object = obj.Reserve(meshSize);
        obj.Pointer(array + i * p_, kObjects, object);
        obj.Pointer(object, kStrings, String("Mesh" + std::to_string(i)));
      }
    }
    if (o_.defect == Gr2Defect::RelocationPastSection)
      obj.Pointer(pastSectionSlot_, kObjects, obj.Size() + 64);
    return Assemble(root);
  }

 private:
  std::string Assemble(std::uint32_t rootType) {
    const std::uint32_t infoSize = granny2::InfoHeaderSize(static_cast<std::uint32_t>(o_.version));
    const std::uint32_t tableAt = 0x20 + infoSize;
    const std::uint32_t headersSize = tableAt + kSectionCount * 44;
    std::string file(headersSize, '\0');

    const std::uint8_t* magic = kMagicV7;
    if (o_.bigEndianMagic) {
      magic = o_.is64Bit ? kMagicV7WideBig : (o_.version == 6 ? kMagicV6Big : kMagicV7Big);
    } else if (o_.is64Bit) {
      magic = kMagicV7Wide;
    } else if (o_.v6Magic || o_.version == 6) {
      magic = kMagicV6;
    }
    std::memcpy(&file[0], magic, 16);
    PutU32(file, 0x10, headersSize);

    std::uint32_t dataAt[kSectionCount];
    for (std::uint32_t i = 0; i < kSectionCount; ++i) {
      while (file.size() % 4) file += '\0';
      dataAt[i] = static_cast<std::uint32_t>(file.size());
      file += s_[i].data;
    }
    for (std::uint32_t i = 0; i < kSectionCount; ++i) {
      const std::size_t entry = tableAt + i * 44;
      const std::uint32_t size = s_[i].Size();
      PutU32(file, entry + 0, size > 0 ? o_.compression : 0);
      PutU32(file, entry + 4, dataAt[i]);
      PutU32(file, entry + 8, size);
      PutU32(file, entry + 12, size);
      PutU32(file, entry + 16, 4);
      PutU32(file, entry + 20, size);
      PutU32(file, entry + 24, size);
      PutU32(file, entry + 28, static_cast<std::uint32_t>(file.size()));
      PutU32(file, entry + 32, static_cast<std::uint32_t>(s_[i].relocations.size()));
      PutU32(file, entry + 36, static_cast<std::uint32_t>(file.size()));
      for (const Section::Relocation& r : s_[i].relocations) {
        const std::size_t at = file.size();
        file.append(12, '\0');
        PutU32(file, at, r.slot);
        PutU32(file, at + 4, r.section);
        PutU32(file, at + 8, r.offset);
      }
    }

    PutU32(file, 0x20, static_cast<std::uint32_t>(o_.version));
    PutU32(file, 0x24, static_cast<std::uint32_t>(file.size()));
    PutU32(file, 0x2C, infoSize);
    PutU32(file, 0x30, kSectionCount);
    PutU32(file, 0x34, kTypes);
    PutU32(file, 0x38, rootType);
    PutU32(file, 0x3C, kObjects);
    PutU32(file, 0x40, 0);
    PutU32(file, 0x44, 0x80000037u);
    if (o_.version == 7) PutU32(file, 0x58, o_.stringDatabase);
    FixGr2Crc(file);
    return file;
  }

  const Gr2WriteOptions& o_;
  const std::uint32_t p_;
  Section s_[kSectionCount];
  std::uint32_t pastSectionSlot_ = 0;
};

}  // namespace

std::string BuildGr2(const std::vector<std::string>& textures, int meshCount,
                     const Gr2WriteOptions& options) {
  return Builder(options).Build(textures, meshCount);
}

bool WriteGr2File(const std::string& path, const std::vector<std::string>& textures, int meshCount,
                  const Gr2WriteOptions& options) {
  const std::string bytes = BuildGr2(textures, meshCount, options);
  platform::File file = platform::File::CreateForWrite(path);
  return file.IsOpen() && file.Write(bytes.data(), bytes.size()) && file.Flush();
}

void FixGr2Crc(std::string& bytes) {
  if (bytes.size() < 0x30) return;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const std::uint32_t version =
      data[0x20] | (data[0x21] << 8) | (data[0x22] << 16) | (std::uint32_t(data[0x23]) << 24);
  const std::uint32_t start = 0x20 + granny2::InfoHeaderSize(version);
  if (start <= 0x20 || start > bytes.size()) return;
  PutU32(bytes, 0x28, granny2::Crc32(data + start, bytes.size() - start));
}
