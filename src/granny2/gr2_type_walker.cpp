#include "granny2/gr2_type_walker.hpp"

#include <cstring>

namespace granny2 {
namespace {

constexpr std::uint64_t kMaxStructSize = 1u << 30;

template <typename T>
std::string Num(T value) {
  return std::to_string(value);
}

}  // namespace

bool TypeWalker::ReadPointer(Location slot, std::optional<Location>& target) {
  if (!InSection(slot, c_.PointerSize()))
    return Fail("pointer slot past the end of section " + Num(slot.section));
  const auto& map = c_.relocations[slot.section];
  auto it = map.find(slot.offset);
  target = it == map.end() ? std::nullopt : std::optional<Location>(it->second);
  return true;
}

bool TypeWalker::ReadU32(Location at, std::uint32_t& value) {
  const std::uint8_t* p = Bytes(at, 4);
  if (p == nullptr) return false;
  value = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
          (std::uint32_t(p[3]) << 24);
  return true;
}

const std::uint8_t* TypeWalker::Bytes(Location at, std::uint64_t length) {
  if (!InSection(at, length)) {
    Fail("value past the end of section " + Num(at.section));
    return nullptr;
  }
  return c_.sectionData[at.section].data() + at.offset;
}

bool TypeWalker::ReadString(Location at, std::string& text) {
  if (!InSection(at, 0)) return Fail("string past the end of section " + Num(at.section));
  const auto& data = c_.sectionData[at.section];
  // At the very end (or in an empty section) there is no room for even the terminator.
  if (at.offset >= data.size()) return Fail("string runs past the end of section " + Num(at.section));
  const void* end = std::memchr(data.data() + at.offset, 0, data.size() - at.offset);
  if (end == nullptr) return Fail("string runs past the end of section " + Num(at.section));
  text.assign(reinterpret_cast<const char*>(data.data() + at.offset), static_cast<const char*>(end));
  return true;
}

bool TypeWalker::ReadMembers(Location type, int depth, std::vector<Member>& members) {
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

bool TypeWalker::StructSize(Location type, int depth, std::uint64_t& size) {
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

bool TypeWalker::Members(Location type, const std::vector<Member>*& members) {
  const auto key = std::make_pair(type.section, type.offset);
  auto it = lists_.find(key);
  if (it == lists_.end()) {
    std::vector<Member> read;
    if (!ReadMembers(type, 0, read)) return false;
    it = lists_.emplace(key, std::move(read)).first;
  }
  members = &it->second;
  return true;
}

bool TypeWalker::FindMember(Location type, const char* name, std::optional<Member>& found) {
  const std::vector<Member>* members = nullptr;
  if (!Members(type, members)) return false;
  found.reset();
  for (const Member& m : *members) {
    if (m.name == name) {
      found = m;
      break;
    }
  }
  return true;
}

bool TypeWalker::ArrayElements(Location object, const Member& m,
                               std::vector<std::optional<Location>>& elements) {
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

bool TypeWalker::ReadVariantArray(Location object, const Member& m, VariantArray& out) {
  out = VariantArray{};
  if (m.type != kReferenceToVariantArray) return Fail("member '" + m.name + "' is no variant array");
  const Location at = Offset(object, m.offset);
  const std::size_t ptr = c_.PointerSize();
  return ReadPointer(at, out.type) && ReadU32(Offset(at, ptr), out.count) &&
         ReadPointer(Offset(at, ptr + 4), out.array);
}

bool TypeWalker::StringMember(Location object, const std::optional<Location>& type, const char* name,
                              bool& found, std::string& text) {
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

bool TypeWalker::InSection(Location at, std::uint64_t length) const {
  if (at.section >= c_.sectionData.size()) return false;
  const std::uint64_t size = c_.sectionData[at.section].size();
  return at.offset <= size && length <= size - at.offset;
}

bool TypeWalker::MemberSize(const Member& m, int depth, std::uint64_t& size) {
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

}  // namespace granny2
