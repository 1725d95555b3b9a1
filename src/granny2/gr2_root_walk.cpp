#include "granny2/gr2_root_walk.hpp"

#include <cstring>
#include <map>
#include <optional>
#include <utility>

namespace granny2 {
namespace {

enum MemberType : std::uint32_t {
  kEnd = 0,
  kInline = 1,
  kReference = 2,
  kReferenceToArray = 3,
  kArrayOfReferences = 4,
  kVariantReference = 5,
  kReferenceToVariantArray = 7,
  kString = 8,
  kTransform = 9,
  kReal32 = 10,
  kInt8 = 11,
  kNormalUInt8 = 14,
  kInt16 = 15,
  kNormalUInt16 = 18,
  kInt32 = 19,
  kUInt32 = 20,
  kReal16 = 21,
  kEmptyReference = 22,
};

constexpr std::uint64_t kMaxStructSize = 1u << 30;

struct Member {
  std::uint32_t type = kEnd;
  std::string name;
  std::optional<Location> definition;
  std::int32_t width = 0;
  std::uint64_t offset = 0;  // from the start of the struct
};

class Walker {
 public:
  explicit Walker(const Container& c) : c_(c) {}

  std::string error;

  // The pointer stored at `slot`; nullopt for null. Fails when the slot lies outside its section.
  bool ReadPointer(Location slot, std::optional<Location>& target) {
    if (!InSection(slot, c_.PointerSize()))
      return Fail("pointer slot past the end of section " + Num(slot.section));
    const auto& map = c_.relocations[slot.section];
    auto it = map.find(slot.offset);
    target = it == map.end() ? std::nullopt : std::optional<Location>(it->second);
    return true;
  }

  bool ReadU32(Location at, std::uint32_t& value) {
    if (!InSection(at, 4)) return Fail("value past the end of section " + Num(at.section));
    const std::uint8_t* p = c_.sectionData[at.section].data() + at.offset;
    value = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
            (std::uint32_t(p[3]) << 24);
    return true;
  }

  bool ReadString(Location at, std::string& text) {
    if (!InSection(at, 0)) return Fail("string past the end of section " + Num(at.section));
    const auto& data = c_.sectionData[at.section];
    const void* end = std::memchr(data.data() + at.offset, 0, data.size() - at.offset);
    if (end == nullptr) return Fail("string runs past the end of section " + Num(at.section));
    text.assign(reinterpret_cast<const char*>(data.data() + at.offset), static_cast<const char*>(end));
    return true;
  }

  // The members of the type list at `type`, with their offsets inside the struct.
  bool ReadMembers(Location type, int depth, std::vector<Member>& members) {
    if (depth > kMaxTypeDepth) return Fail("type tree nested deeper than " + Num(kMaxTypeDepth) + " levels");
    const std::size_t recordSize = c_.is64Bit ? 44 : 32;
    const std::size_t ptr = c_.PointerSize();
    members.clear();
    std::uint64_t offset = 0;
    for (std::size_t i = 0;; ++i) {
      if (i >= kMaxMembersPerType) return Fail("type with more than " + Num(kMaxMembersPerType) + " members");
      if (++visited_ > kMaxMembersVisited) return Fail("type tree too large");
      const std::uint64_t at = std::uint64_t(type.offset) + i * recordSize;
      if (at + 4 > UINT32_MAX) return Fail("type list runs past the end of section " + Num(type.section));
      const Location record{type.section, std::uint32_t(at)};
      if (!InSection(record, recordSize)) {
        return Fail("type list without an end record in section " + Num(type.section));
      }
      Member m;
      if (!ReadU32(record, m.type)) return false;
      if (m.type == kEnd) break;
      std::optional<Location> name;
      if (!ReadPointer(Offset(record, 4), name)) return false;
      if (name && !ReadString(*name, m.name)) return false;
      if (!ReadPointer(Offset(record, 4 + ptr), m.definition)) return false;
      std::uint32_t width = 0;
      if (!ReadU32(Offset(record, 4 + 2 * ptr), width)) return false;
      m.width = static_cast<std::int32_t>(width);
      if (m.width < 0) return Fail("member '" + m.name + "' has a negative array width");
      std::uint64_t size = 0;
      if (!MemberSize(m, depth, size)) return false;
      m.offset = offset;
      offset += size * std::uint64_t(m.width > 1 ? m.width : 1);
      if (offset > kMaxStructSize) return Fail("struct larger than this reader accepts");
      members.push_back(std::move(m));
    }
    return true;
  }

  bool StructSize(Location type, int depth, std::uint64_t& size) {
    const auto key = std::make_pair(type.section, type.offset);
    auto it = sizes_.find(key);
    if (it != sizes_.end()) {
      if (!it->second) return Fail("type tree has a cycle of inline structs");
      size = *it->second;
      return true;
    }
    sizes_[key] = std::nullopt;  // in progress: meeting it again means a cycle
    std::vector<Member> members;
    if (!ReadMembers(type, depth + 1, members)) return false;
    size = 0;
    if (!members.empty()) {
      const Member& last = members.back();
      std::uint64_t lastSize = 0;
      if (!MemberSize(last, depth + 1, lastSize)) return false;
      size = last.offset + lastSize * std::uint64_t(last.width > 1 ? last.width : 1);
    }
    sizes_[key] = size;
    return true;
  }

  bool FindMember(Location type, const char* name, std::optional<Member>& found) {
    const auto key = std::make_pair(type.section, type.offset);
    auto it = lists_.find(key);
    if (it == lists_.end()) {
      std::vector<Member> members;
      if (!ReadMembers(type, 0, members)) return false;
      it = lists_.emplace(key, std::move(members)).first;
    }
    found.reset();
    for (const Member& m : it->second) {
      if (m.name == name) {
        found = m;
        break;
      }
    }
    return true;
  }

  // The objects of an array member of `object`: one entry per element, nullopt for a null reference.
  // A count whose pointer is null gives no elements.
  bool ArrayElements(Location object, const Member& m, std::vector<std::optional<Location>>& elements) {
    elements.clear();
    if (m.type != kArrayOfReferences && m.type != kReferenceToArray) return true;
    const Location countAt = Offset(object, m.offset);
    std::uint32_t count = 0;
    std::optional<Location> array;
    if (!ReadU32(countAt, count) || !ReadPointer(Offset(countAt, 4), array)) return false;
    if (!array || count == 0) return true;
    std::uint64_t stride = c_.PointerSize();
    if (m.type == kReferenceToArray) {
      if (!m.definition) return Fail("array member '" + m.name + "' has no element type");
      if (!StructSize(*m.definition, 0, stride)) return false;
      if (stride == 0) return Fail("array '" + m.name + "' holds structs without members");
    }
    if (!InSection(*array, std::uint64_t(count) * stride)) {
      return Fail("array '" + m.name + "' of " + Num(count) + " elements runs past the end of section " +
                  Num(array->section));
    }
    elements.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      const Location element = Offset(*array, i * stride);
      if (m.type == kReferenceToArray) {
        elements.emplace_back(element);
        continue;
      }
      std::optional<Location> target;
      if (!ReadPointer(element, target)) return false;
      elements.push_back(target);
    }
    return true;
  }

  // The string member `name` of an object of type `type`; false in `found` when absent or null.
  bool StringMember(Location object, const std::optional<Location>& type, const char* name, bool& found,
                    std::string& text) {
    found = false;
    if (!type) return true;
    std::optional<Member> m;
    if (!FindMember(*type, name, m)) return false;
    if (!m || m->type != kString) return true;
    std::optional<Location> target;
    if (!ReadPointer(Offset(object, m->offset), target)) return false;
    if (!target) return true;
    found = true;
    return ReadString(*target, text);
  }

 private:
  bool InSection(Location at, std::uint64_t length) const {
    if (at.section >= c_.sectionData.size()) return false;
    const std::uint64_t size = c_.sectionData[at.section].size();
    return at.offset <= size && length <= size - at.offset;
  }

  bool MemberSize(const Member& m, int depth, std::uint64_t& size) {
    const bool wide = c_.is64Bit;
    switch (m.type) {
      case kInline:
        if (!m.definition) return Fail("inline member '" + m.name + "' has no type");
        return StructSize(*m.definition, depth, size);
      case kReference:
      case kString:
      case kEmptyReference:
        size = wide ? 8 : 4;
        return true;
      case kReferenceToArray:
      case kArrayOfReferences:
        size = wide ? 12 : 8;
        return true;
      case kVariantReference:
        size = wide ? 16 : 8;
        return true;
      case kReferenceToVariantArray:
        size = wide ? 20 : 12;
        return true;
      case kTransform:
        size = 68;
        return true;
      case kReal32:
      case kInt32:
      case kUInt32:
        size = 4;
        return true;
      case kReal16:
        size = 2;
        return true;
      default:
        if (m.type >= kInt8 && m.type <= kNormalUInt8) {
          size = 1;
          return true;
        }
        if (m.type >= kInt16 && m.type <= kNormalUInt16) {
          size = 2;
          return true;
        }
        return Fail("member '" + m.name + "' has unknown type " + Num(m.type));
    }
  }

  static Location Offset(Location at, std::uint64_t delta) {
    const std::uint64_t sum = at.offset + delta;
    // Past 4 GiB no section exists, so the bounds check that follows refuses it.
    return {at.section, sum > UINT32_MAX ? UINT32_MAX : std::uint32_t(sum)};
  }

  bool Fail(const std::string& text) {
    error = text;
    return false;
  }

  template <typename T>
  static std::string Num(T value) {
    return std::to_string(value);
  }

  const Container& c_;
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::optional<std::uint64_t>> sizes_;
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::vector<Member>> lists_;
  std::size_t visited_ = 0;
};

}  // namespace

bool WalkRoot(const Container& container, RootSummary& out, std::string& error) {
  out = RootSummary{};
  Walker w(container);
  const auto fail = [&] {
    error = w.error;
    return false;
  };
  const Location root = container.rootObject;
  if (root.section >= container.sectionData.size() ||
      root.offset > container.sectionData[root.section].size()) {
    error = "root object lies outside the sections";
    return false;
  }
  if (container.rootType.section >= container.sectionData.size()) {
    error = "root type lies outside the sections";
    return false;
  }

  std::optional<Member> textures;
  std::optional<Member> meshes;
  if (!w.FindMember(container.rootType, "Textures", textures) ||
      !w.FindMember(container.rootType, "Meshes", meshes)) {
    return fail();
  }
  std::vector<std::optional<Location>> elements;
  if (textures) {
    if (!w.ArrayElements(root, *textures, elements)) return fail();
    for (const auto& element : elements) {
      TextureEntry entry;
      if (element) {
        entry.present = true;
        if (!w.StringMember(*element, textures->definition, "FromFileName", entry.hasName,
                            entry.fromFileName)) {
          return fail();
        }
      }
      out.textures.push_back(std::move(entry));
    }
  }
  if (meshes) {
    if (!w.ArrayElements(root, *meshes, elements)) return fail();
    for (const auto& element : elements) {
      std::string name;
      bool found = false;
      if (element && !w.StringMember(*element, meshes->definition, "Name", found, name)) return fail();
      out.meshNames.push_back(std::move(name));
    }
  }
  return true;
}

bool ReadGr2(const std::uint8_t* data, std::size_t size, RootSummary& out, std::string& error) {
  Container container;
  if (!ReadContainer(data, size, container, error)) return false;
  return WalkRoot(container, out, error);
}

}  // namespace granny2
