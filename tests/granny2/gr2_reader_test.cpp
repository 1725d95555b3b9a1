#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "granny2/gr2_container.hpp"
#include "granny2/gr2_root_walk.hpp"
#include "support/gr2_writer.hpp"

namespace {

bool Read(const std::string& bytes, granny2::RootSummary& summary, std::string& error) {
  return granny2::ReadGr2(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), summary, error);
}

std::string Build(void (*set)(Gr2WriteOptions&)) {
  Gr2WriteOptions options;
  set(options);
  return BuildGr2({"a.dds"}, 1, options);
}

TEST(Gr2Reader, EveryLayoutReadsBackTexturesAndMeshesByMemberName) {
  const std::vector<std::string> textures = {"d:\\ymir work\\item\\sword.dds", "D:/Ymir Work/item/Sword.DDS",
                                             "d:\\ymir work\\item\\sword.dds", "\xB0\xA1.tga"};
  // {version, 64-bit, compression, v6 magic, extra leading root member}; the plain v6, v7 and 64-bit v7
  // layouts are read from frozen files by the gr2-info test.
  const Gr2WriteOptions layouts[] = {
      {7, false, 0, true}, {6, true}, {7, false, 0, false, true}, {6, true, 0, false, true}};
  for (Gr2WriteOptions options : layouts) {
    SCOPED_TRACE("v" + std::to_string(options.version) + (options.is64Bit ? " 64" : " 32") +
                 (options.v6Magic ? " v6 magic" : "") + (options.leadingRootMember ? " extra member" : ""));
    options.unnamedTextures = 1;
    options.nullTextureSlots = 1;
    granny2::RootSummary summary;
    std::string error;
    ASSERT_TRUE(Read(BuildGr2(textures, 3, options), summary, error)) << error;
    std::vector<std::string> names;
    for (const auto& t : summary.textures)
      names.push_back(!t.present ? "<null>" : t.hasName ? t.fromFileName : "<unnamed>");
    std::vector<std::string> expected = textures;
    expected.insert(expected.end(), {"<unnamed>", "<null>"});
    EXPECT_EQ(names, expected);
    EXPECT_EQ(summary.meshNames, (std::vector<std::string>{"Mesh0", "Mesh1", "Mesh2"}));
  }
}

TEST(Gr2Reader, BrokenAndUnsupportedFilesAreRefusedWithTheReason) {
  const std::string good = BuildGr2({"a.dds"}, 1);
  std::string flipped = good, version = good;
  flipped[good.size() / 2] ^= 0x20;
  version[0x20] = 9;
  const std::pair<std::string, const char*> cases[] = {
      {good.substr(0, good.size() - 1), "truncated"},
      {good.substr(0, 40), "too short"},
      {std::string(64, 'x'), "unknown magic"},
      {flipped, "CRC mismatch"},
      {version, "version 9"},
      {Build([](Gr2WriteOptions& o) { o.defect = Gr2Defect::RelocationPastSection; }),
       "points past the end of section 0"},
      {Build([](Gr2WriteOptions& o) { o.defect = Gr2Defect::CyclicTypeTree; }), "cycle"},
      {Build([](Gr2WriteOptions& o) { o.defect = Gr2Defect::UnterminatedTypeList; }),
       "without an end record"},
      {Build([](Gr2WriteOptions& o) { o.compression = granny2::kCompressionBitKnit2; }),
       "section 0 is compressed with BitKnit2"},
      {Build([](Gr2WriteOptions& o) { o.compression = granny2::kCompressionOodle0; }), "Oodle0"},
      {Build([](Gr2WriteOptions& o) { o.bigEndianMagic = true; }), "big-endian"},
      {Build([](Gr2WriteOptions& o) { o.stringDatabase = 2; }), "hashes"},
  };
  for (const auto& [bytes, reason] : cases) {
    granny2::RootSummary summary;
    std::string error;
    EXPECT_FALSE(Read(bytes, summary, error)) << reason;
    EXPECT_NE(error.find(reason), std::string::npos) << reason << ": " << error;
  }
}

// The runtime checks a model's header alone, then reads only the size it declares: a multi-gigabyte
// file or one whose header lies costs no memory.
TEST(Gr2Reader, HeaderAloneGivesTheSizeToReadAndRefusesLyingOrHugeSizes) {
  std::string head = BuildGr2({"a.dds"}, 1);
  const std::uint32_t size = static_cast<std::uint32_t>(head.size());
  head.resize(granny2::kHeaderBytes);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(head.data());
  std::uint32_t declared = 0;
  std::string error;
  EXPECT_TRUE(granny2::ReadDeclaredFileSize(bytes, head.size(), 5ull << 30, declared, error)) << error;
  EXPECT_EQ(declared, size);
  EXPECT_FALSE(granny2::ReadDeclaredFileSize(bytes, head.size(), size - 1, declared, error));
  EXPECT_NE(error.find("truncated"), std::string::npos) << error;
  head.replace(0x24, 4, "\xF0\xFF\xFF\xFF", 4);
  EXPECT_FALSE(granny2::ReadDeclaredFileSize(bytes, head.size(), 5ull << 30, declared, error));
  EXPECT_NE(error.find("impossible file size"), std::string::npos) << error;
}

}  // namespace
