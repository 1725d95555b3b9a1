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

const std::vector<std::string> kTextures = {"d:\\ymir work\\item\\sword.dds", "D:/Ymir Work/item/Sword.DDS",
                                            "d:\\ymir work\\item\\sword.dds", "\xB0\xA1.tga"};

bool Read(const std::string& bytes, granny2::RootSummary& summary, std::string& error) {
  return granny2::ReadGr2(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), summary, error);
}

std::vector<std::string> Names(const granny2::RootSummary& summary) {
  std::vector<std::string> names;
  for (const auto& t : summary.textures) names.push_back(t.present && t.hasName ? t.fromFileName : "<none>");
  return names;
}

void ExpectRefused(const std::string& bytes, const std::string& reasonPart, const char* label) {
  granny2::RootSummary summary;
  std::string error;
  EXPECT_FALSE(Read(bytes, summary, error)) << label;
  EXPECT_NE(error.find(reasonPart), std::string::npos) << label << ": " << error;
}

std::string SharedFile(const std::string& name) {
  std::string bytes;
  platform::ReadWholeFile(
      platform::ToInternalPath(std::string(VINTREL_SHARED_TESTDATA) + "/gr2-oodle1/" + name), bytes);
  return bytes;
}

TEST(Gr2Reader, EveryLayoutReadsBackTexturesAndMeshes) {
  struct Variant {
    int version;
    bool wide;
    bool v6Magic;
    bool leadingMember;
  };
  const Variant variants[] = {{6, false, false, false}, {7, false, false, false}, {7, false, true, false},
                              {6, true, false, false},  {7, true, false, false},  {7, false, false, true},
                              {6, true, false, true}};
  for (const Variant& v : variants) {
    Gr2WriteOptions options;
    options.version = v.version;
    options.is64Bit = v.wide;
    options.v6Magic = v.v6Magic;
    options.leadingRootMember = v.leadingMember;
    const std::string label = "v" + std::to_string(v.version) + (v.wide ? " 64-bit" : " 32-bit") +
                              (v.v6Magic ? " v6 magic" : "") + (v.leadingMember ? " extra member" : "");
    granny2::RootSummary summary;
    std::string error;
    ASSERT_TRUE(Read(BuildGr2(kTextures, 3, options), summary, error)) << label << ": " << error;
    EXPECT_EQ(Names(summary), kTextures) << label;
    EXPECT_EQ(summary.meshNames, (std::vector<std::string>{"Mesh0", "Mesh1", "Mesh2"})) << label;
  }
}

TEST(Gr2Reader, NullTextureSlotsAndNullNamesAreTold) {
  Gr2WriteOptions options;
  options.nullTextureSlots = 1;
  options.unnamedTextures = 2;
  granny2::RootSummary summary;
  std::string error;
  ASSERT_TRUE(Read(BuildGr2({"a.dds"}, 1, options), summary, error)) << error;
  ASSERT_EQ(summary.textures.size(), 4u);
  EXPECT_TRUE(summary.textures[0].present && summary.textures[0].hasName);
  EXPECT_TRUE(summary.textures[1].present && !summary.textures[1].hasName);
  EXPECT_TRUE(summary.textures[2].present && !summary.textures[2].hasName);
  EXPECT_FALSE(summary.textures[3].present);

  // A count whose pointer is null is an empty list, not a read through null.
  options = {};
  options.defect = Gr2Defect::CountWithNullPointer;
  ASSERT_TRUE(Read(BuildGr2({"a.dds", "b.dds"}, 0, options), summary, error)) << error;
  EXPECT_TRUE(summary.textures.empty());
  EXPECT_TRUE(summary.meshNames.empty());
}

TEST(Gr2Reader, BrokenAndUnsupportedFilesAreRefusedWithTheReason) {
  const std::string good = BuildGr2({"a.dds"}, 1);

  ExpectRefused(good.substr(0, good.size() - 1), "truncated", "one byte short");
  ExpectRefused(good.substr(0, 40), "too short", "header only");
  ExpectRefused(std::string(64, 'x'), "unknown magic", "not gr2");

  std::string flipped = good;
  flipped[flipped.size() / 2] ^= 0x20;
  ExpectRefused(flipped, "CRC mismatch", "changed byte");

  std::string version = good;
  version[0x20] = 9;
  ExpectRefused(version, "version 9", "unknown version");

  Gr2WriteOptions options;
  options.defect = Gr2Defect::RelocationPastSection;
  ExpectRefused(BuildGr2({"a.dds"}, 1, options), "points past the end of section 0",
                "relocation past section");
  options.defect = Gr2Defect::CyclicTypeTree;
  ExpectRefused(BuildGr2({"a.dds"}, 1, options), "cycle", "cyclic type tree");
  options.defect = Gr2Defect::UnterminatedTypeList;
  ExpectRefused(BuildGr2({"a.dds"}, 1, options), "without an end record", "no end record");

  options = {};
  options.compression = granny2::kCompressionBitKnit2;
  ExpectRefused(BuildGr2({"a.dds"}, 1, options), "section 0 is compressed with BitKnit2", "BitKnit");
  options.compression = granny2::kCompressionOodle0;
  ExpectRefused(BuildGr2({"a.dds"}, 1, options), "Oodle0", "Oodle0");

  options = {};
  options.bigEndianMagic = true;
  ExpectRefused(BuildGr2({"a.dds"}, 1, options), "big-endian", "big-endian 32");
  options.is64Bit = true;
  ExpectRefused(BuildGr2({"a.dds"}, 1, options), "big-endian", "big-endian 64");

  options = {};
  options.stringDatabase = 2;
  ExpectRefused(BuildGr2({"a.dds"}, 1, options), "hashes", "hashed names");
}

// Under the sanitizers this walks every prefix and every single-byte change of a file (with the
// CRC made right again), so any read outside the buffers shows up.
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

TEST(Gr2Reader, RealOodle1FilesDecodeAndWalkToTheirMeshes) {
  std::string json;
  ASSERT_TRUE(platform::ReadWholeFile(
      platform::ToInternalPath(std::string(VINTREL_SHARED_TESTDATA) + "/gr2-oodle1/expected.json"), json));
  const nlohmann::json expected = nlohmann::json::parse(json);
  int files = 0;
  for (const auto& [name, facts] : expected.items()) {
    if (name.front() == '_') continue;
    ++files;
    const std::string bytes = SharedFile(name);
    ASSERT_FALSE(bytes.empty()) << name;
    granny2::Container container;
    std::string error;
    ASSERT_TRUE(granny2::ReadContainer(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                       container, error))
        << name << ": " << error;
    ASSERT_EQ(container.sections.size(), facts["sections"].size()) << name;
    std::string allData;
    for (std::size_t i = 0; i < container.sections.size(); ++i) {
      const auto& data = container.sectionData[i];
      EXPECT_EQ(Sha256Hex(data.data(), data.size()), facts["sections"][i]["sha256"].get<std::string>())
          << name << " section " << i;
      allData.append(data.begin(), data.end());
    }
    EXPECT_NE(allData.find(facts["string_in_decoded_data"].get<std::string>()), std::string::npos) << name;

    granny2::RootSummary summary;
    ASSERT_TRUE(granny2::WalkRoot(container, summary, error)) << name << ": " << error;
    EXPECT_EQ(summary.textures.size(), facts["root_textures"].size()) << name;
    ASSERT_EQ(summary.meshNames.size(), facts["meshes"].get<std::size_t>()) << name;
    EXPECT_EQ(summary.meshNames[0], facts["first_mesh_name"].get<std::string>()) << name;
  }
  EXPECT_EQ(files, 3);
}

TEST(Gr2Reader, DamagedOodle1DataIsRefusedNotMisread) {
  const std::string good = SharedFile("RockSlinger_proj_rock.gr2");
  ASSERT_FALSE(good.empty());
  // Section 0's compressed bytes start at 0x1C8 and run for 1650 bytes.
  std::string cut = good;
  cut.resize(0x1C8 + 100);
  ExpectRefused(cut, "truncated", "cut inside section 0");

  int refused = 0;
  for (std::size_t at = 0x1C8 + 36; at < 0x1C8 + 1650; at += 53) {
    std::string bytes = good;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);
    FixGr2Crc(bytes);
    granny2::RootSummary summary;
    std::string error;
    if (!Read(bytes, summary, error)) {
      ++refused;
      EXPECT_FALSE(error.empty());
    }
  }
  // Changed model data mostly derails the decoder or the walk; it must say so rather than crash.
  EXPECT_GT(refused, 0);
}

}  // namespace
