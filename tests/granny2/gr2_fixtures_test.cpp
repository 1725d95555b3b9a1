// The .gr2 files kept in tests/fixtures/gr2 are frozen writer output: reading them checks the reader
// against bytes that do not change with the writer. VINTREL_REGENERATE_GR2=1 writes them again,
// together with the fuzzer's seed corpus.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "granny2/gr2_container.hpp"
#include "granny2/gr2_root_walk.hpp"
#include "platform/platform.hpp"
#include "support/gr2_writer.hpp"

namespace {

struct Fixture {
  const char* fileName;
  std::vector<std::string> textures;
  int meshCount;
  Gr2WriteOptions options;
};

Gr2WriteOptions With(int version, bool wide, std::uint32_t compression = 0) {
  Gr2WriteOptions o;
  o.version = version;
  o.is64Bit = wide;
  o.compression = compression;
  return o;
}

const std::vector<Fixture>& Fixtures() {
  static const std::vector<Fixture> fixtures = {
      {"textured_v7_32.gr2",
       {"d:\\ymir work\\item\\weapon\\sword.dds", "d:\\ymir work\\item\\weapon\\aura.dds",
        "d:\\ymir work\\item\\weapon\\sword.dds", "D:\\Ymir Work\\item\\weapon\\SWORD.dds"},
       2,
       With(7, false)},
      {"textured_v6_32.gr2", {"d:\\ymir work\\npc\\wolf\\wolf.dds"}, 1, With(6, false)},
      {"textured_v7_64.gr2",
       {"d:\\ymir work\\pc\\hair\\hair_01.tga", "d:\\ymir work\\pc\\hair\\hair_00.dds"},
       3,
       With(7, true)},
      {"no_meshes.gr2", {"d:\\ymir work\\effect\\glow.dds"}, 0, With(7, false)},
      {"bitknit.gr2", {"x.dds"}, 1, With(7, false, granny2::kCompressionBitKnit1)},
  };
  return fixtures;
}

std::string FixturePath(const std::string& name) {
  return platform::ToInternalPath(std::string(VINTREL_SOURCE_DIR) + "/tests/fixtures/gr2/" + name);
}

void Store(const std::string& path, const std::string& bytes) {
  platform::File file = platform::File::CreateForWrite(path);
  ASSERT_TRUE(file.IsOpen() && file.Write(bytes.data(), bytes.size())) << path;
}

void RegenerateFiles() {
  for (const Fixture& f : Fixtures())
    Store(FixturePath(f.fileName), BuildGr2(f.textures, f.meshCount, f.options));
  const std::string corpus =
      platform::ToInternalPath(std::string(VINTREL_SOURCE_DIR) + "/fuzz/corpus/gr2_reader/");
  platform::CreateFolderWithParents(corpus);
  std::vector<Gr2WriteOptions> seeds = {With(7, false), With(6, false), With(7, true), With(6, true)};
  Gr2WriteOptions o;
  o.leadingRootMember = true;
  o.nullTextureSlots = 1;
  o.unnamedTextures = 1;
  seeds.push_back(o);
  o.is64Bit = true;
  seeds.push_back(o);
  for (Gr2Defect defect : {Gr2Defect::CyclicTypeTree, Gr2Defect::UnterminatedTypeList}) {
    Gr2WriteOptions broken;
    broken.defect = defect;
    seeds.push_back(broken);
  }
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    Store(corpus + "seed_" + std::to_string(i) + ".gr2",
          BuildGr2({"d:\\ymir work\\a.dds", "b.tga"}, 2, seeds[i]));
  }
}

TEST(Gr2Fixtures, FrozenFilesReadToTheirTextures) {
  if (platform::GetEnvironmentVariable("VINTREL_REGENERATE_GR2").value_or("") == "1") RegenerateFiles();
  for (const Fixture& f : Fixtures()) {
    std::string bytes;
    ASSERT_TRUE(platform::ReadWholeFile(FixturePath(f.fileName), bytes)) << f.fileName;
    granny2::RootSummary summary;
    std::string error;
    const bool read =
        granny2::ReadGr2(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), summary, error);
    if (f.options.compression != 0) {
      EXPECT_FALSE(read) << f.fileName;
      EXPECT_NE(error.find("BitKnit1"), std::string::npos) << error;
      continue;
    }
    ASSERT_TRUE(read) << f.fileName << ": " << error;
    std::vector<std::string> names;
    for (const auto& t : summary.textures) names.push_back(t.fromFileName);
    EXPECT_EQ(names, f.textures) << f.fileName;
    EXPECT_EQ(summary.meshNames.size(), static_cast<std::size_t>(f.meshCount)) << f.fileName;
  }
}

}  // namespace
