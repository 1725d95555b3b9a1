// The one place that reads the real Oodle1-compressed models shared beside the checkout, with the digests
// of their decoded sections.
#include "granny2/oodle1.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "granny2/gr2_container.hpp"
#include "granny2/gr2_mesh_reader.hpp"
#include "granny2/gr2_root_walk.hpp"
#include "support/client_paths.hpp"
#include "support/gr2_writer.hpp"
#include "support/sha256.hpp"
#include "support/test_environment.hpp"

namespace {

std::string SharedFile(const std::string& name) {
  return testenv::ReadFile(
      platform::ToInternalPath(std::string(VINTREL_SHARED_TESTDATA) + "/gr2-oodle1/" + name));
}

const std::uint8_t* Bytes(const std::string& bytes) {
  return reinterpret_cast<const std::uint8_t*>(bytes.data());
}

TEST(Oodle1, RealFilesDecodeToKnownSectionsAndWalkToTheirMeshes) {
  const nlohmann::json expected = nlohmann::json::parse(SharedFile("expected.json"));
  int files = 0, textured = 0;
  for (const auto& [name, facts] : expected.items()) {
    if (name.front() == '_') continue;
    ++files;
    SCOPED_TRACE(name);
    std::string bytes = SharedFile(name), error;
    granny2::Container container;
    ASSERT_TRUE(granny2::ReadContainer(Bytes(bytes), bytes.size(), container, error)) << error;
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
    // The mesh layer reads whole: in-range indices, and a texture named through the material's maps.
    granny2::ModelContent content;
    ASSERT_TRUE(granny2::ReadModelContent(container, content, error)) << error;
    ASSERT_EQ(content.meshes.size(), 1u);
    EXPECT_EQ(content.meshes[0].name, facts["first_mesh_name"]);
    EXPECT_FALSE(content.meshes[0].indices.empty());
    ASSERT_EQ(content.materials.size(), 1u);
    if (ToLowerCopy(ExtensionOf(content.materials[0].diffuseTexture)) == ".dds") ++textured;

    // A section whose compressed bytes are too few for the decoder is refused with the decoder's reason.
    const std::size_t sizeField = 0x20 + granny2::InfoHeaderSize(container.version) + 8;
    bytes.replace(sizeField, 4, std::string("\x14\0\0\0", 4));
    FixGr2Crc(bytes);
    EXPECT_FALSE(granny2::ReadGr2(Bytes(bytes), bytes.size(), summary, error));
    EXPECT_NE(error.find("section 0: Oodle1 data is broken"), std::string::npos) << error;
  }
  EXPECT_EQ(files, 3);
  EXPECT_EQ(textured, 2);  // the third names its texture only in extended data
}

// On the largest real section, where the most decoder state is exercised: every input holds exactly its
// length and every output buffer exactly the requested size, so that AddressSanitizer sees any overrun.
// (A decoder that ignored its input could not meet the digests above.)
TEST(Oodle1, EveryTruncationIsRefusedInBounds) {
  const std::string file = SharedFile("RockSlinger_proj_rock.gr2");
  std::string error;
  granny2::Container container;
  ASSERT_TRUE(granny2::ReadContainer(Bytes(file), file.size(), container, error)) << error;
  const granny2::SectionHeader header = container.sections[0];
  const auto compressed = file.begin() + header.dataOffset;
  for (std::size_t cut = 1; cut < header.compressedSize; ++cut) {
    const std::vector<std::uint8_t> in(compressed, compressed + cut);
    std::vector<std::uint8_t> out(header.decompressedSize);
    error.clear();
    const bool ok = Oodle1Decompress(in.data(), in.size(), out.data(), out.size(), header.first16bit,
                                     header.first8bit, &error);
    EXPECT_TRUE(ok || !error.empty()) << cut;
    // Up to the read-ahead slack the tail may be padding the decoder never needed.
    if (cut + 16 < header.compressedSize) {
      EXPECT_FALSE(ok) << cut;
    }
  }
}

}  // namespace
