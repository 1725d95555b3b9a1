#include "convert/model_converter.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/cli_run.hpp"
#include "support/file_operations.hpp"
#include "support/test_environment.hpp"
#include "support/test_models.hpp"

namespace {

using nlohmann::json;

std::uint32_t Le32(const std::string& s, std::size_t at) {
  return std::uint8_t(s[at]) | (std::uint8_t(s[at + 1]) << 8) | (std::uint8_t(s[at + 2]) << 16) |
         (std::uint32_t(std::uint8_t(s[at + 3])) << 24);
}

// The JSON chunk of a .glb, after checking the header and the chunk lengths against the file.
json GlbJson(const std::string& glb) {
  EXPECT_EQ(glb.substr(0, 4), "glTF");
  EXPECT_EQ(Le32(glb, 4), 2u);
  EXPECT_EQ(Le32(glb, 8), glb.size());
  const std::uint32_t jsonLength = Le32(glb, 12);
  EXPECT_EQ(glb.substr(16, 4), "JSON");
  EXPECT_EQ(Le32(glb, 20 + jsonLength), glb.size() - 28 - jsonLength);
  EXPECT_EQ(glb.substr(24 + jsonLength, 4), std::string("BIN\0", 4));
  return json::parse(glb.substr(20, jsonLength));
}

// A 4x4 DXT1 texture, all red.
const std::string kRedDds = Dds(4, 4, 4, "DXT1", 0, {0, 0, 0, 0}, std::string("\x00\xF8\x00\xF8\0\0\0\0", 8));

TEST(ModelConverter, ModelsBecomeGlbWithSkinMaterialsAndTheirTextureBesideThem) {
  testenv::ScopedTempDir dir("convert");
  testenv::WriteFile(dir / "body.dds", kRedDds);
  // Kept for the validator that CI runs over them.
  const std::string kept = platform::ExecutableFolder() + "gltf-validation\\";
  CreateRecursiveDirectory(kept);
  for (Gr2WriteOptions options : {Gr2WriteOptions{6}, Gr2WriteOptions{7, true}}) {
    SCOPED_TRACE(options.version);
    const std::string model = dir / ("model" + std::to_string(options.version) + ".GR2");
    testenv::WriteFile(model, BuildGr2Model(TwoMeshModel(), options));
    const ConversionResult result = ConvertBesideSource(model);
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.output, dir / ("model" + std::to_string(options.version) + ".glb"));
    const std::string glb = testenv::ReadFile(result.output);
    testenv::WriteFile(kept + FileNameOf(result.output), glb);
    const json doc = GlbJson(glb);
    ASSERT_EQ(doc["meshes"].size(), 2u);
    const json& body = doc["meshes"][0]["primitives"];
    ASSERT_EQ(body.size(), 2u);
    EXPECT_EQ(doc["accessors"][body[0]["indices"].get<int>()]["count"], 3);
    EXPECT_EQ(doc["accessors"][body[0]["attributes"]["POSITION"].get<int>()]["max"], json({1, 1, 2}));
    EXPECT_TRUE(body[0]["attributes"].contains("WEIGHTS_0"));
    // body.dds is found beside the model; cape.tga is not, so its material has no texture.
    EXPECT_TRUE(doc["materials"][body[0]["material"].get<int>()]["pbrMetallicRoughness"].contains(
        "baseColorTexture"));
    EXPECT_FALSE(doc["materials"][body[1]["material"].get<int>()]["pbrMetallicRoughness"].contains(
        "baseColorTexture"));
    EXPECT_EQ(doc["images"].size(), 1u);
    // Z up in the file: x stays, z becomes up, y becomes -z.
    EXPECT_EQ(doc["nodes"][0]["matrix"], json({1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1}));
    ASSERT_EQ(doc["skins"].size(), 1u);
    const json& joints = doc["skins"][0]["joints"];
    ASSERT_EQ(joints.size(), 2u);
    EXPECT_EQ(doc["nodes"][joints[0].get<int>()]["name"], "Spine");
    EXPECT_EQ(doc["nodes"][joints[1].get<int>()]["name"], "Root");
  }
  const ConversionResult texture = ConvertBesideSource(dir / "body.dds");
  ASSERT_TRUE(texture.ok) << texture.reason;
  const std::string png = testenv::ReadFile(dir / "body.png");
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1A\n");
  EXPECT_EQ(Le32(png, 16), 0x04000000u);  // width 4, big-endian
}

TEST(ModelConverter, CommandConvertsWhatItCanAndWarnsAboutTheRest) {
  testenv::ScopedTempDir dir("convert-cli");
  testenv::WriteFile(dir / "in\\hero.gr2", BuildGr2Model(TwoMeshModel()));
  testenv::WriteFile(dir / "in\\icon.dds", kRedDds);
  testenv::WriteFile(dir / "in\\broken.gr2", std::string(64, 'x'));
  testenv::WriteFile(dir / "in\\other\\Icon.dds", kRedDds);  // same name: must not replace the first result
  const testenv::CliRun run = testenv::RunProgram(
      testenv::CliPath(),
      {"convert", testenv::NativePath(dir / "in\\hero.gr2"), testenv::NativePath(dir / "in\\icon.dds"),
       testenv::NativePath(dir / "in\\broken.gr2"), testenv::NativePath(dir / "in\\other\\Icon.dds"),
       "--output", testenv::NativePath(dir / "out")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(testenv::NamesIn(dir / "out"), (std::vector<std::string>{"hero.glb", "icon.png", "Icon_2.png"}));
  EXPECT_NE(run.out.find("[WARN] Cannot convert " + testenv::NativePath(dir / "in\\broken.gr2") +
                         ": not a GR2 file (unknown magic)"),
            std::string::npos)
      << run.out;
}

}  // namespace
