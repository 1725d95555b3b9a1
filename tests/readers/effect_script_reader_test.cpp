#include "readers/effect_script_reader.hpp"

#include <gtest/gtest.h>

#include "pipeline/pipeline_state.hpp"
#include "readers/reader_test_files.hpp"
#include "support/test_environment.hpp"

namespace {

using Names = std::vector<std::string>;

const char kGlowScript[] =
    "Group MeshData\n"
    "{\n"
    "\tMeshFileName\t\"d:/ymir work/effect/sword/b.mde\"\n"
    "\tmeshfilename \"d:/ymir work/effect/sword/a.mde\"\n"
    "\tMESHFILENAME \"d:/ymir work/effect/sword/b.mde\"\n"
    "\tMeshFileName \"\"\n"
    "}\n"
    "Group TextureData\n"
    "{\n"
    "\tList TextureFiles\n"
    "\t{\n"
    "\t\t\"d:/ymir work/effect/sword/glow.dds\"\n"
    "\t\t\"d:/ymir work/effect/sword/glow.dds\"\n"
    "\t\t\"first.dds\" \"second.dds\"\n"
    "\t\tno quotes here\n"
    "\t\t\"caf\xe9 \xb0\xcb.dds\"\n"
    "\t}\n"
    "\t\"after the list.dds\"\n"
    "\tlist TEXTUREFILES\n"
    "\t{\n"
    "\t\t\"reopened.dds\"\n"
    "}\n";

std::string WithLineEnd(const std::string& text, const std::string& end) {
  std::string out;
  for (const char c : text) out += c == '\n' ? end : std::string(1, c);
  return out;
}

}  // namespace

TEST(EffectScriptReader, MeshSetAndTextureListWithAnyLineEnd) {
  for (const std::string& end : {std::string("\n"), std::string("\r\n"), std::string("\r")}) {
    const MseRecord record = ParseMseText(WithLineEnd(kGlowScript, end), "d:/ymir work/effect/sword.mse");
    EXPECT_TRUE(record.ok);
    EXPECT_EQ(record.error, "");
    EXPECT_EQ(record.mseFile, "d:/ymir work/effect/sword.mse");
    EXPECT_EQ(record.meshFiles,
              (Names{"d:\\ymir work\\effect\\sword\\a.mde", "d:\\ymir work\\effect\\sword\\b.mde"}));
    EXPECT_EQ(record.textureFiles, (Names{"d:\\ymir work\\effect\\sword\\glow.dds", "first.dds",
                                          "caf\xe9 \xb0\xcb.dds", "reopened.dds"}));
  }
}

TEST(EffectScriptReader, KeepsTheFirstThousandDistinctTextures) {
  std::string script = "List TextureFiles\n{\n";
  for (int i = 0; i < 1005; ++i) script += "\"t" + std::to_string(i) + ".dds\"\n\"t0.dds\"\n";
  script += "}\nMeshFileName \"late.mde\"\n";
  const MseRecord record = ParseMseText(script, "many.mse");
  ASSERT_EQ(record.textureFiles.size(), 1000u);
  EXPECT_EQ(record.textureFiles.front(), "t0.dds");
  EXPECT_EQ(record.textureFiles.back(), "t999.dds");
  EXPECT_EQ(record.meshFiles, Names{"late.mde"});
}

TEST(EffectScriptReader, ReadsFilesAndNamesTheOneItCannotOpen) {
  testenv::ScopedTempDir folder("effect");
  readertest::WriteTextFile(folder.path() + "fx\\sword.mse", WithLineEnd(kGlowScript, "\r\n"));
  const MseRecord record = ParseMse(folder.path() + "fx\\sword.mse");
  EXPECT_TRUE(record.ok);
  EXPECT_EQ(record.meshFiles.size(), 2u);
  EXPECT_EQ(record.textureFiles.size(), 4u);

  const MseRecord missing = ParseMse(folder.path() + "fx/gone.mse");
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.mseFile, folder.path() + "fx/gone.mse");
  EXPECT_EQ(missing.error, "Impossibile aprire file MSE: " + folder.path() + "fx\\gone.mse");
}

TEST(EffectScriptReader, MeshNameScanTakesFirstToLastQuoteAndKeepsRepeats) {
  const std::string text =
      "\tMeshFileName \"a/one.mde\"\r\n"
      "\tMeshFileName \"inner\" \"quotes.mde\"\r"
      "\tmeshfilename \"lower case is not the key.mde\"\n"
      "\tMeshFileName \"a/one.mde\"\n"
      "\tMeshFileName \"\"\n"
      "\tMeshFileName \"unclosed.mde\n"
      "\tXMeshFileNameY \"anywhere.mde\"";
  EXPECT_EQ(ReadMeshFileNames(text),
            (Names{"a\\one.mde", "inner\" \"quotes.mde", "a\\one.mde", "anywhere.mde"}));
}

TEST(EffectScriptReader, MeshNameScanStopsWhenTheRunIsStopped) {
  PipelineState& state = GetPipelineState();
  state.stopRequested = true;
  const Names names = ReadMeshFileNames("MeshFileName \"a.mde\"\n");
  state.stopRequested = false;
  EXPECT_TRUE(names.empty());
}
