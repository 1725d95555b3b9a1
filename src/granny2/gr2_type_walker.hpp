// Reads objects of a decoded container through its type tree: members found by name, pointers through
// the relocation map, every read checked against its section. Shared by the root walk and the mesh reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "granny2/gr2_container.hpp"

namespace granny2 {

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
  kUInt8 = 12,
  kBinormalInt8 = 13,
  kNormalUInt8 = 14,
  kInt16 = 15,
  kUInt16 = 16,
  kBinormalInt16 = 17,
  kNormalUInt16 = 18,
  kInt32 = 19,
  kUInt32 = 20,
  kReal16 = 21,
  kEmptyReference = 22,
};

// Bounds on the type tree of a hostile file.
constexpr int kMaxTypeDepth = 32;
constexpr std::size_t kMaxMembersPerType = 4096;
constexpr std::size_t kMaxMembersVisited = 1u << 20;

struct Member {
  std::uint32_t type = kEnd;
  std::string name;
  std::optional<Location> definition;
  std::int32_t width = 0;
  std::uint64_t offset = 0;  // from the start of the struct
};

// A reference to a variant array: the element type, the element count and the first element.
struct VariantArray {
  std::optional<Location> type;
  std::uint32_t count = 0;
  std::optional<Location> array;
};

class TypeWalker {
 public:
  explicit TypeWalker(const Container& c) : c_(c) {}

  std::string error;

  // The pointer stored at `slot`; nullopt for null. Fails when the slot lies outside its section.
  bool ReadPointer(Location slot, std::optional<Location>& target);
  bool ReadU32(Location at, std::uint32_t& value);
  bool ReadString(Location at, std::string& text);
  // The `length` bytes at `at`; null (with `error` set) when they do not lie inside one section.
  const std::uint8_t* Bytes(Location at, std::uint64_t length);

  // The members of the type list at `type`, with their offsets inside the struct.
  bool ReadMembers(Location type, int depth, std::vector<Member>& members);
  bool StructSize(Location type, int depth, std::uint64_t& size);
  // The members of `type` as ReadMembers gives them, read once per type.
  bool Members(Location type, const std::vector<Member>*& members);
  bool FindMember(Location type, const char* name, std::optional<Member>& found);
  // Size of one member of its type, its array width not counted.
  bool MemberSize(const Member& m, int depth, std::uint64_t& size);

  // The objects of an array member of `object`: one entry per element, nullopt for a null reference.
  // A count whose pointer is null gives no elements.
  bool ArrayElements(Location object, const Member& m, std::vector<std::optional<Location>>& elements);
  bool ReadVariantArray(Location object, const Member& m, VariantArray& out);

  // The string member `name` of an object of type `type`; false in `found` when absent or null.
  bool StringMember(Location object, const std::optional<Location>& type, const char* name, bool& found,
                    std::string& text);

  static Location Offset(Location at, std::uint64_t delta) {
    const std::uint64_t sum = at.offset + delta;
    // Past 4 GiB no section exists, so the bounds check that follows refuses it.
    return {at.section, sum > UINT32_MAX ? UINT32_MAX : std::uint32_t(sum)};
  }

  bool Fail(const std::string& text) {
    error = text;
    return false;
  }

 private:
  bool InSection(Location at, std::uint64_t length) const;

  const Container& c_;
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::optional<std::uint64_t>> sizes_;
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::vector<Member>> lists_;
  std::size_t visited_ = 0;
};

}  // namespace granny2
