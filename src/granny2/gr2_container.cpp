#include "granny2/gr2_container.hpp"

#include <array>
#include <cstring>

#include "granny2/oodle1.hpp"

namespace granny2 {
namespace {

using Magic = std::array<std::uint8_t, 16>;

struct MagicKind {
  Magic bytes;
  bool bigEndian;
  bool is64Bit;
};

const MagicKind kMagics[] = {
    {{0xb8, 0x67, 0xb0, 0xca, 0xf8, 0x6d, 0xb1, 0x0f, 0x84, 0x72, 0x8c, 0x7e, 0x5e, 0x19, 0x00, 0x1e},
     false,
     false},
    {{0x29, 0xde, 0x6c, 0xc0, 0xba, 0xa4, 0x53, 0x2b, 0x25, 0xf5, 0xb7, 0xa5, 0xf6, 0x66, 0xe2, 0xee},
     false,
     false},
    {{0x29, 0x75, 0x31, 0x82, 0xba, 0x02, 0x11, 0x77, 0x25, 0x3a, 0x60, 0x2f, 0xf6, 0x6a, 0x8c, 0x2e},
     false,
     false},
    {{0xe5, 0x9b, 0x49, 0x5e, 0x6f, 0x63, 0x1f, 0x14, 0x1e, 0x13, 0xeb, 0xa9, 0x90, 0xbe, 0xed, 0xc4},
     false,
     true},
    {{0xe5, 0x2f, 0x4a, 0xe1, 0x6f, 0xc2, 0x8a, 0xee, 0x1e, 0xd2, 0xb4, 0x4c, 0x90, 0xd7, 0x55, 0xaf},
     false,
     true},
    {{0xca, 0xb0, 0x67, 0xb8, 0x0f, 0xb1, 0x6d, 0xf8, 0x7e, 0x8c, 0x72, 0x84, 0x1e, 0x00, 0x19, 0x5e},
     true,
     false},
    {{0x0e, 0x11, 0x95, 0xb5, 0x6a, 0xa5, 0xb5, 0x4b, 0xeb, 0x28, 0x28, 0x50, 0x25, 0x78, 0xb3, 0x04},
     true,
     false},
    {{0x0e, 0x74, 0xa2, 0x0a, 0x6a, 0xeb, 0xeb, 0x64, 0xeb, 0x4e, 0x1e, 0xab, 0x25, 0x91, 0xdb, 0x8f},
     true,
     false},
    {{0x31, 0x95, 0xd4, 0xe3, 0x20, 0xdc, 0x4f, 0x62, 0xcc, 0x36, 0xd0, 0x3a, 0xb1, 0x82, 0xff, 0x89},
     true,
     true},
    {{0x31, 0xc2, 0x4e, 0x7c, 0x20, 0x40, 0xa3, 0x25, 0xcc, 0xe1, 0xc2, 0x7a, 0xb1, 0x32, 0x49, 0xf3},
     true,
     true},
};

constexpr std::size_t kMagicBlockSize = 0x20;
constexpr std::size_t kInfoStart = 0x20;
constexpr std::size_t kSectionHeaderSize = 44;
constexpr std::size_t kRelocationSize = 12;
constexpr std::uint32_t kMaxSections = 256;

std::uint32_t ReadU32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

// True when [offset, offset + length) lies inside a buffer of `size` bytes.
bool Fits(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
  return offset <= size && length <= size - offset;
}

const char* CompressionName(std::uint32_t method) {
  switch (method) {
    case kCompressionNone:
      return "none";
    case kCompressionOodle0:
      return "Oodle0";
    case kCompressionOodle1:
      return "Oodle1";
    case kCompressionBitKnit1:
      return "BitKnit1";
    case kCompressionBitKnit2:
      return "BitKnit2";
    default:
      return "unknown";
  }
}

std::string SectionText(std::size_t index) { return "section " + std::to_string(index); }

bool DecodeSection(const std::uint8_t* file, std::size_t fileSize, std::size_t index,
                   const SectionHeader& section, std::vector<std::uint8_t>& out, std::string& error) {
  const std::uint32_t size = section.decompressedSize;
  out.clear();
  if (size == 0) return true;
  switch (section.compression) {
    case kCompressionNone:
      if (!Fits(section.dataOffset, size, fileSize)) {
        error = SectionText(index) + ": data lies past the end of the file";
        return false;
      }
      out.assign(file + section.dataOffset, file + section.dataOffset + size);
      return true;
    case kCompressionOodle1: {
      if (section.compressedSize == 0) {
        out.assign(size, 0);
        return true;
      }
      if (!Fits(section.dataOffset, section.compressedSize, fileSize)) {
        error = SectionText(index) + ": compressed data lies past the end of the file";
        return false;
      }
      if (section.first16bit > section.first8bit || section.first8bit > size) {
        error = SectionText(index) + ": sub-stream stops out of order";
        return false;
      }
      out.assign(size, 0);
      std::string decoderError;
      if (!Oodle1Decompress(file + section.dataOffset, section.compressedSize, out.data(), size,
                            section.first16bit, section.first8bit, &decoderError)) {
        error = SectionText(index) + ": Oodle1 data is broken (" + decoderError + ")";
        out.clear();
        return false;
      }
      return true;
    }
    default:
      error = SectionText(index) + " is compressed with " + CompressionName(section.compression) +
              " (method " + std::to_string(section.compression) + "), which this reader does not decode";
      return false;
  }
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::uint32_t InfoHeaderSize(std::uint32_t version) {
  if (version == 6) return 0x38;
  if (version == 7) return 0x48;
  return 0;
}

namespace {

struct HeaderFacts {
  const MagicKind* kind = nullptr;
  std::uint32_t version = 0;
  std::uint32_t infoSize = 0;
  std::uint32_t totalSize = 0;
};

// Everything that the first kHeaderBytes bytes decide, so a reader can refuse a file before
// reading the rest of it.
bool CheckHeader(const std::uint8_t* data, std::size_t size, std::uint64_t fileSize, HeaderFacts& facts,
                 std::string& error) {
  if (size < kMagicBlockSize + 4) {
    error = "file too short for a GR2 header (" + std::to_string(size) + " bytes)";
    return false;
  }
  for (const MagicKind& m : kMagics) {
    if (std::memcmp(data, m.bytes.data(), m.bytes.size()) == 0) facts.kind = &m;
  }
  if (facts.kind == nullptr) {
    error = "not a GR2 file (unknown magic)";
    return false;
  }
  if (facts.kind->bigEndian) {
    error = "big-endian GR2 file, which this reader does not read";
    return false;
  }
  facts.version = ReadU32(data + kInfoStart);
  facts.infoSize = InfoHeaderSize(facts.version);
  if (facts.infoSize == 0) {
    error = "unsupported GR2 version " + std::to_string(facts.version);
    return false;
  }
  if (size < kInfoStart + facts.infoSize) {
    error = "file too short for the version " + std::to_string(facts.version) + " info header";
    return false;
  }
  const std::uint8_t* info = data + kInfoStart;
  facts.totalSize = ReadU32(info + 0x04);
  if (facts.totalSize > fileSize) {
    error = "file truncated: header says " + std::to_string(facts.totalSize) + " bytes, file has " +
            std::to_string(fileSize);
    return false;
  }
  if (facts.totalSize < kInfoStart + facts.infoSize || facts.totalSize > kMaxFileBytes) {
    error = "header gives an impossible file size " + std::to_string(facts.totalSize);
    return false;
  }
  if (facts.version == 7 && ReadU32(info + 0x38) != 0) {
    error = "names are stored as hashes (string database " + std::to_string(ReadU32(info + 0x38)) +
            "): texture names cannot be recovered";
    return false;
  }
  return true;
}

// The CRC covers everything from the end of the info header to the declared file size.
bool CheckCrc(const std::uint8_t* data, const HeaderFacts& facts, std::string& error) {
  const std::uint32_t storedCrc = ReadU32(data + kInfoStart + 0x08);
  const std::uint32_t crcStart = kInfoStart + facts.infoSize;
  const std::uint32_t computedCrc = Crc32(data + crcStart, facts.totalSize - crcStart);
  if (computedCrc != storedCrc) {
    error = "CRC mismatch (stored " + std::to_string(storedCrc) + ", computed " +
            std::to_string(computedCrc) + "): the file is damaged";
    return false;
  }
  return true;
}

// The section headers, refused when what they would decode to exceeds kMaxDecodedBytes.
bool ReadSectionTable(const std::uint8_t* data, std::uint32_t totalSize, std::vector<SectionHeader>& sections,
                      std::string& error) {
  const std::uint8_t* info = data + kInfoStart;
  const std::uint32_t tableOffset = ReadU32(info + 0x0C);
  const std::uint32_t sectionCount = ReadU32(info + 0x10);
  if (sectionCount == 0 || sectionCount > kMaxSections) {
    error = "implausible section count " + std::to_string(sectionCount);
    return false;
  }
  const std::uint64_t tableStart = std::uint64_t(kInfoStart) + tableOffset;
  if (!Fits(tableStart, std::uint64_t(sectionCount) * kSectionHeaderSize, totalSize)) {
    error = "section table lies past the end of the file";
    return false;
  }
  std::uint64_t decodedTotal = 0;
  sections.resize(sectionCount);
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    const std::uint8_t* p = data + tableStart + std::size_t(i) * kSectionHeaderSize;
    SectionHeader& s = sections[i];
    s.compression = ReadU32(p + 0);
    s.dataOffset = ReadU32(p + 4);
    s.compressedSize = ReadU32(p + 8);
    s.decompressedSize = ReadU32(p + 12);
    s.alignment = ReadU32(p + 16);
    s.first16bit = ReadU32(p + 20);
    s.first8bit = ReadU32(p + 24);
    s.relocationOffset = ReadU32(p + 28);
    s.relocationCount = ReadU32(p + 32);
    s.marshallingOffset = ReadU32(p + 36);
    s.marshallingCount = ReadU32(p + 40);
    decodedTotal += s.decompressedSize;
  }
  if (decodedTotal > kMaxDecodedBytes) {
    error =
        "sections would decode to " + std::to_string(decodedTotal) + " bytes, more than this reader accepts";
    return false;
  }
  return true;
}

bool DecodeSections(const std::uint8_t* data, std::uint32_t totalSize, Container& out, std::string& error) {
  out.sectionData.resize(out.sections.size());
  for (std::size_t i = 0; i < out.sections.size(); ++i) {
    if (!DecodeSection(data, totalSize, i, out.sections[i], out.sectionData[i], error)) return false;
  }
  return true;
}

// Relocations are checked whole before any pointer is followed: slot inside its section,
// target section present and target not past that section's end.
bool ReadSectionRelocations(const std::uint8_t* data, std::uint32_t totalSize, std::uint32_t index,
                            Container& out, std::string& error) {
  const SectionHeader& s = out.sections[index];
  if (s.relocationCount == 0) return true;
  if (!Fits(s.relocationOffset, std::uint64_t(s.relocationCount) * kRelocationSize, totalSize)) {
    error = SectionText(index) + ": relocation table lies past the end of the file";
    return false;
  }
  const std::size_t sectionCount = out.sections.size();
  auto& map = out.relocations[index];
  map.reserve(s.relocationCount);
  for (std::uint32_t r = 0; r < s.relocationCount; ++r) {
    const std::uint8_t* p = data + s.relocationOffset + std::size_t(r) * kRelocationSize;
    const std::uint32_t slot = ReadU32(p);
    const Location target{ReadU32(p + 4), ReadU32(p + 8)};
    if (!Fits(slot, out.PointerSize(), out.sectionData[index].size())) {
      error =
          SectionText(index) + ": relocation " + std::to_string(r) + " has its slot past the section's end";
      return false;
    }
    if (target.section >= sectionCount) {
      error = SectionText(index) + ": relocation " + std::to_string(r) + " points to missing section " +
              std::to_string(target.section);
      return false;
    }
    if (target.offset > out.sectionData[target.section].size()) {
      error = SectionText(index) + ": relocation " + std::to_string(r) + " points past the end of " +
              SectionText(target.section);
      return false;
    }
    map[slot] = target;
  }
  return true;
}

bool ReadRelocations(const std::uint8_t* data, std::uint32_t totalSize, Container& out, std::string& error) {
  out.relocations.resize(out.sections.size());
  for (std::uint32_t i = 0; i < out.sections.size(); ++i) {
    if (!ReadSectionRelocations(data, totalSize, i, out, error)) return false;
  }
  return true;
}

}  // namespace

bool ReadDeclaredFileSize(const std::uint8_t* head, std::size_t headSize, std::uint64_t fileSize,
                          std::uint32_t& declaredSize, std::string& error) {
  HeaderFacts facts;
  if (!CheckHeader(head, headSize, fileSize, facts, error)) return false;
  declaredSize = facts.totalSize;
  return true;
}

bool ReadContainer(const std::uint8_t* data, std::size_t size, Container& out, std::string& error) {
  out = Container{};
  HeaderFacts facts;
  if (!CheckHeader(data, size, size, facts, error) || !CheckCrc(data, facts, error)) return false;
  out.is64Bit = facts.kind->is64Bit;
  out.version = facts.version;
  const std::uint8_t* info = data + kInfoStart;
  out.rootType = {ReadU32(info + 0x14), ReadU32(info + 0x18)};
  out.rootObject = {ReadU32(info + 0x1C), ReadU32(info + 0x20)};
  return ReadSectionTable(data, facts.totalSize, out.sections, error) &&
         DecodeSections(data, facts.totalSize, out, error) &&
         ReadRelocations(data, facts.totalSize, out, error);
}

}  // namespace granny2
