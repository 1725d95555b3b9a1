#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "granny2/gr2_container.hpp"
#include "granny2/gr2_root_walk.hpp"
#include "platform/platform.hpp"
#include "support/gr2_writer.hpp"
#include "support/sha256.hpp"

namespace {

bool Read(const std::string& bytes, granny2::RootSummary& summary, std::string& error) {
  return granny2::ReadGr2(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), summary, error);
}

std::string Build(void (*set)(Gr2WriteOptions&)) {
  Gr2WriteOptions options;
  set(options);
  return BuildGr2({"a.dds"}, 1, options);
}

std::string SharedFile(const std::string& name) {
  std::string bytes;
  platform::ReadWholeFile(
      platform::ToInternalPath(std::string(VINTREL_SHARED_TESTDATA) + "/gr2-oodle1/" + name), bytes);
  return bytes;
}

TEST(Gr2Reader, EveryLayoutReadsBackTexturesAndMeshesByMemberName) {
  const std::vector<std::string> textures = {"d:\\ymir work\\item\\sword.dds", "D:/Ymir Work/item/Sword.DDS",
                                             "d:\\ymir work\\item\\sword.dds", "\xB0\xA1.tga"};
  // {version, 64-bit, compression, v6 magic, extra leading root member}
  const Gr2WriteOptions layouts[] = {{6},
                                     {7},
                                     {7, false, 0, true},
                                     {6, true},
                                     {7, true},
                                     {7, false, 0, false, true},
                                     {6, true, 0, false, true}};
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

// Under the sanitizers this walks every prefix and many single-byte changes of a file (with the CRC made
// right again), so any read outside the buffers shows up.
TEST(Gr2Reader, DamagedFilesNeverReadOutOfBounds) {
  for (bool wide : {false, true}) {
    Gr2WriteOptions options;
    options.is64Bit = wide;
    const std::string good = BuildGr2({"a.dds", "b.dds"}, 2, options);
    granny2::RootSummary summary;
    std::string error;
    for (std::size_t length = 0; length < good.size(); ++length) {
      EXPECT_FALSE(Read(good.substr(0, length), summary, error)) << length;
      EXPECT_FALSE(error.empty());
    }
    for (std::size_t at = 0x20; at < good.size(); ++at) {
      for (unsigned char value : {0x00, 0x7F, 0xFF}) {
        std::string bytes = good;
        bytes[at] = static_cast<char>(value);
        FixGr2Crc(bytes);
        error.clear();
        if (!Read(bytes, summary, error)) {
          EXPECT_FALSE(error.empty()) << at;
        }
      }
    }
  }
}

TEST(Gr2Reader, RealOodle1FilesDecodeToKnownSectionsAndWalkToTheirMeshes) {
  const nlohmann::json expected = nlohmann::json::parse(SharedFile("expected.json"));
  int files = 0;
  for (const auto& [name, facts] : expected.items()) {
    if (name.front() == '_') continue;
    ++files;
    SCOPED_TRACE(name);
    std::string bytes = SharedFile(name), error;
    granny2::Container container;
    ASSERT_TRUE(granny2::ReadContainer(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                       container, error))
        << error;
    ASSERT_EQ(container.sections.size(), facts["sections"].size());
    std::string allData;
    for (std::size_t i = 0; i < container.sections.size(); ++i) {
      const auto& data = container.sectionData[i];
      EXPECT_EQ(Sha256Hex(data.data(), data.size()), facts["sections"][i]["sha256"]) << "section " << i;
      allData.append(data.begin(), data.end());
    }
    EXPECT_NE(allData.find(facts["string_in_decoded_data"].get<std::string>()), std::string::npos);
    granny2::RootSummary summary;
    ASSERT_TRUE(granny2::WalkRoot(container, summary, error)) << error;
    EXPECT_EQ(summary.textures.size(), facts["root_textures"].size());
    ASSERT_EQ(summary.meshNames.size(), facts["meshes"].get<std::size_t>());
    EXPECT_EQ(summary.meshNames[0], facts["first_mesh_name"]);

    // A section whose compressed bytes are too few for the decoder is refused with the decoder's reason.
    const std::size_t sizeField = 0x20 + granny2::InfoHeaderSize(container.version) + 8;
    bytes.replace(sizeField, 4, std::string("\x14\0\0\0", 4));
    FixGr2Crc(bytes);
    EXPECT_FALSE(Read(bytes, summary, error));
    EXPECT_NE(error.find("section 0: Oodle1 data is broken"), std::string::npos) << error;
  }
  EXPECT_EQ(files, 3);
}

}  // namespace
