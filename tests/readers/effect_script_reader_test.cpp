#include "readers/effect_script_reader.hpp"

#include <gtest/gtest.h>

#include "pipeline/pipeline_state.hpp"
#include "support/test_environment.hpp"

using Names = std::vector<std::string>;

static const char kGlowScript[] =
    "Group MeshData\n{\n\tMeshFileName\t\"d:/fx/b.mde\"\n\tmeshfilename \"d:/fx/a.mde\"\n"
    "\tMESHFILENAME \"d:/fx/b.mde\"\n\tMeshFileName \"\"\n}\nGroup TextureData\n{\n\tList TextureFiles\n\t{\n"
    "\t\t\"d:/fx/glow.dds\"\n\t\t\"d:/fx/glow.dds\"\n\t\t\"first.dds\" \"second.dds\"\n\t\tno quotes here\n"
    "\t\t\"caf\xe9 \xb0\xcb.dds\"\n\t}\n\t\"after the list.dds\"\n\tlist "
    "TEXTUREFILES\n\t{\n\t\t\"reopened.dds\"\n}\n";

TEST(EffectScriptReader, MeshSetAndTextureListWithAnyLineEndFromTextOrFile) {
  for (const std::string end : {"\n", "\r\n", "\r"}) {
    const MseRecord record = ParseMseText(testenv::WithLineEnd(kGlowScript, end), "sword.mse");
    EXPECT_TRUE(record.ok);
    EXPECT_EQ(record.meshFiles, (Names{"d:\\fx\\a.mde", "d:\\fx\\b.mde"}));
    EXPECT_EQ(record.textureFiles,
              (Names{"d:\\fx\\glow.dds", "first.dds", "caf\xe9 \xb0\xcb.dds", "reopened.dds"}));
  }
  testenv::ScopedTempDir folder;  // the file reader gives the same, and names a file it cannot open
  EXPECT_EQ(ParseMse(testenv::WriteFile(folder / "sword.mse", kGlowScript)).textureFiles.size(), 4u);
  EXPECT_EQ(ParseMse(folder.path() + "fx/gone.mse").error,
            "Impossibile aprire file MSE: " + folder / "fx\\gone.mse");
}

TEST(EffectScriptReader, KeepsTheFirstThousandDistinctTextures) {
  std::string script = "List TextureFiles\n{\n";
  for (int i = 0; i < 1005; ++i) script += "\"t" + std::to_string(i) + ".dds\"\n\"t0.dds\"\n";
  const MseRecord record = ParseMseText(script + "}\nMeshFileName \"late.mde\"\n", "many.mse");
  ASSERT_EQ(record.textureFiles.size(), 1000u);
  EXPECT_EQ(record.textureFiles.back(), "t999.dds");
  EXPECT_EQ(record.meshFiles, Names{"late.mde"});
}

TEST(EffectScriptReader, MeshNameScanTakesFirstToLastQuoteKeepsRepeatsAndStopsWhenAsked) {
  const std::string text =
      "\tMeshFileName \"a/one.mde\"\r\n\tMeshFileName \"inner\" \"quotes.mde\"\r\tmeshfilename \"not the "
      "key.mde\"\n"
      "\tMeshFileName \"a/one.mde\"\n\tMeshFileName \"\"\n\tMeshFileName \"unclosed.mde\n\tXMeshFileNameY "
      "\"any.mde\"";
  EXPECT_EQ(ReadMeshFileNames(text), (Names{"a\\one.mde", "inner\" \"quotes.mde", "a\\one.mde", "any.mde"}));
  GetPipelineState().stopRequested = true;
  const std::size_t found = ReadMeshFileNames(text).size();
  GetPipelineState().stopRequested = false;
  EXPECT_EQ(found, 0u);
}
