// The .gr2 container: header, section table, CRC, section decompression and relocations.
// Works on a byte buffer only, so the stand-in runtime and the fuzzer share it without the OS layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace granny2 {

enum SectionCompression : std::uint32_t {
  kCompressionNone = 0,
  kCompressionOodle0 = 1,
  kCompressionOodle1 = 2,
  kCompressionBitKnit1 = 3,
  kCompressionBitKnit2 = 4,
};

struct SectionHeader {
  std::uint32_t compression = 0;
  std::uint32_t dataOffset = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t decompressedSize = 0;
  std::uint32_t alignment = 0;
  std::uint32_t first16bit = 0;
  std::uint32_t first8bit = 0;
  std::uint32_t relocationOffset = 0;
  std::uint32_t relocationCount = 0;
  std::uint32_t marshallingOffset = 0;
  std::uint32_t marshallingCount = 0;
};

// A place inside the decoded file: section index and byte offset in that section.
struct Location {
  std::uint32_t section = 0;
  std::uint32_t offset = 0;
};

struct Container {
  std::uint32_t version = 0;
  bool is64Bit = false;
  Location rootType;
  Location rootObject;
  std::vector<SectionHeader> sections;
  std::vector<std::vector<std::uint8_t>> sectionData;  // decoded bytes, one buffer per section
  // Per section: pointer slot offset -> target. A slot missing here is a null pointer.
  std::vector<std::unordered_map<std::uint32_t, Location>> relocations;

  std::size_t PointerSize() const { return is64Bit ? 8 : 4; }
};

// Bounds the memory a hostile header can make us allocate.
constexpr std::uint64_t kMaxDecodedBytes = 256u * 1024u * 1024u;

// The leading bytes that hold the magic block and the longest info header.
constexpr std::size_t kHeaderBytes = 0x20 + 0x48;
// A model file larger than this is refused before it is read: its sections could not decode
// within kMaxDecodedBytes anyway.
constexpr std::uint64_t kMaxFileBytes = 2 * kMaxDecodedBytes;

// CRC-32 (zlib/IEEE), continuing from `crc` (0 to start).
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

// Info header size for a version (0 for versions we do not know).
std::uint32_t InfoHeaderSize(std::uint32_t version);

// Checks the magic and the info header in `head` (the first bytes of a file of `fileSize` bytes) and
// gives the file size the header declares: all a reader needs to read. False with the reason in
// `error` when the header is bad or declares more than the file holds or than kMaxFileBytes.
bool ReadDeclaredFileSize(const std::uint8_t* head, std::size_t headSize, std::uint64_t fileSize,
                          std::uint32_t& declaredSize, std::string& error);

// Decodes the container. On refusal returns false and says why in `error` (which section,
// which method or which condition).
bool ReadContainer(const std::uint8_t* data, std::size_t size, Container& out, std::string& error);

}  // namespace granny2
