#include "support/granny_analyzer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.hpp"
#include "support/client_paths.hpp"
#include "support/debug_log_capture.hpp"
#include "support/gr2_writer.hpp"
#include "support/scoped_temp_folder.hpp"

namespace {

// The runtime is built into the folder of vintrel-cli.
std::string RuntimePath() {
#ifdef VINTREL_CLI_PATH
  const std::string cli = platform::ToInternalPath(VINTREL_CLI_PATH);
  return cli.substr(0, cli.find_last_of('\\') + 1) + platform::SharedLibraryFileName("granny2");
#else
  return platform::ExecutableFolder() + platform::SharedLibraryFileName("granny2");
#endif
}

bool Logged(const std::vector<std::string>& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

class GrannyAnalyzerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GrannyAnalyzer::Shutdown();
    savedClientRoot_ = GetPathSettings().clientRoot;
    SetClientRoot(client_.path());
  }
  void TearDown() override {
    GrannyAnalyzer::Shutdown();
    GetPathSettings().clientRoot = savedClientRoot_;
  }
  void LoadRuntime() {
    GrannyAnalyzer::Initialize(RuntimePath());
    ASSERT_TRUE(GrannyAnalyzer::IsInitialized()) << RuntimePath();
  }

  ScopedTempFolder client_;
  std::string savedClientRoot_;
};

TEST(GrannyFunctionLookup, TriesPlainThenSuffixedThenDecoratedName) {
  std::map<std::string, int> exported;
  std::vector<std::string> asked;
  const auto lookup = [&](const char* name) -> void* {
    asked.push_back(name);
    auto it = exported.find(name);
    return it == exported.end() ? nullptr : &it->second;
  };
  exported["_GrannyReadEntireFile@4"] = 3;
  EXPECT_EQ(FindGrannyFunction(lookup, "GrannyReadEntireFile"), &exported["_GrannyReadEntireFile@4"]);
  EXPECT_EQ(asked, (std::vector<std::string>{"GrannyReadEntireFile", "GrannyReadEntireFile4",
                                             "_GrannyReadEntireFile@4"}));
  exported["GrannyReadEntireFile4"] = 2;
  EXPECT_EQ(FindGrannyFunction(lookup, "GrannyReadEntireFile"), &exported["GrannyReadEntireFile4"]);
  exported.clear();
  EXPECT_EQ(FindGrannyFunction(lookup, "GrannyFreeFile"), nullptr);
}

TEST_F(GrannyAnalyzerTest, WithoutTheRuntimeEveryAnalysisSaysSo) {
  testenv::DebugLogCapture log;
  GrannyAnalyzer::Initialize(client_.Join("missing") + "\\" + platform::SharedLibraryFileName("granny2"));
  EXPECT_FALSE(GrannyAnalyzer::IsInitialized());
  EXPECT_TRUE(Logged(log.Lines(), "[ERROR] [GrannyAnalyzer] LoadLibrary failed for granny2.dll"));

  // A library without the three entry points is let go again.
#ifdef _WIN32
  GrannyAnalyzer::Initialize("kernel32.dll");
#else
  GrannyAnalyzer::Initialize("libm.so.6");
#endif
  EXPECT_FALSE(GrannyAnalyzer::IsInitialized());
  EXPECT_TRUE(Logged(log.Lines(), "[ERROR] [GrannyAnalyzer] Missing required Granny functions"));

  const std::string model = client_.Join("a.gr2");
  ASSERT_TRUE(WriteGr2File(model, {"a.dds"}, 1));
  const GrannyModelInfo info = GrannyAnalyzer::Analyze(model);
  EXPECT_EQ(info.gr2Path, model);
  EXPECT_EQ(info.error, "Granny2 SDK non inizializzato");
  EXPECT_TRUE(info.textures.empty());
  EXPECT_EQ(info.meshCount, -1);
}

TEST_F(GrannyAnalyzerTest, ListsTexturesSortedWithoutDuplicatesInEveryLayout) {
  LoadRuntime();
  client_.WriteFile("item\\weapon\\sword.dds", "dds");
  const std::vector<std::string> textures = {
      "d:\\ymir work\\item\\weapon\\sword.dds", "d:\\ymir work\\item\\weapon\\aura.dds",
      "d:\\ymir work\\item\\weapon\\sword.dds", "D:\\Ymir Work\\item\\weapon\\SWORD.dds"};
  const std::vector<std::string> expected = {"D:\\Ymir Work\\item\\weapon\\SWORD.dds",
                                             "d:\\ymir work\\item\\weapon\\aura.dds",
                                             "d:\\ymir work\\item\\weapon\\sword.dds"};
  for (int version : {6, 7}) {
    for (bool wide : {false, true}) {
      Gr2WriteOptions options;
      options.version = version;
      options.is64Bit = wide;
      options.nullTextureSlots = 1;
      options.unnamedTextures = 1;
      const std::string model = client_.Join("m" + std::to_string(version) + (wide ? "w" : "n") + ".gr2");
      ASSERT_TRUE(WriteGr2File(model, textures, 2, options));
      testenv::DebugLogCapture log;
      const GrannyModelInfo info = GrannyAnalyzer::Analyze(model);
      ASSERT_EQ(info.error, "") << model;
      EXPECT_FALSE(info.skipped);
      EXPECT_EQ(info.meshCount, 2);
      std::vector<std::string> names;
      for (const GrannyTexture& t : info.textures) names.push_back(t.fileName);
      ASSERT_EQ(names, expected) << model;
      // Game paths are looked up under the client folder, whatever their letter case.
      EXPECT_TRUE(info.textures[0].exists);
      EXPECT_FALSE(info.textures[1].exists);
      EXPECT_TRUE(info.textures[2].exists);
      const auto lines = log.Lines();
      EXPECT_TRUE(Logged(lines, "[INFO] [GrannyAnalyzer] MeshCount=2"));
      EXPECT_TRUE(Logged(lines, "[INFO] [GrannyAnalyzer] TextureCount=6"));
      EXPECT_TRUE(Logged(
          lines, "[DEBUG] [GrannyAnalyzer] Found texture: d:\\ymir work\\item\\weapon\\aura.dds (missing)"));
      EXPECT_TRUE(Logged(lines, "[INFO] [GrannyAnalyzer] Analyze complete for: " + model + " textures=3"));
    }
  }
}

TEST_F(GrannyAnalyzerTest, ModelsWithoutMeshesOrTexturesAreSkipped) {
  LoadRuntime();
  struct Case {
    const char* name;
    std::vector<std::string> textures;
    int meshes;
    Gr2WriteOptions options;
    const char* logged;
  };
  Gr2WriteOptions unnamed;
  unnamed.unnamedTextures = 2;
  unnamed.nullTextureSlots = 1;
  Gr2WriteOptions nullPointer;
  nullPointer.defect = Gr2Defect::CountWithNullPointer;
  const Case cases[] = {
      {"nomesh.gr2", {"a.dds"}, 0, {}, "MeshCount<=0, skipping: "},
      {"notex.gr2", {}, 1, {}, "No textures in GR2, skipping: "},
      {"nullptr.gr2", {"a.dds", "b.dds"}, 1, nullPointer, "No textures in GR2, skipping: "},
      {"unnamed.gr2", {}, 1, unnamed, "After dedupe no textures found for: "},
  };
  for (const Case& c : cases) {
    const std::string model = client_.Join(c.name);
    ASSERT_TRUE(WriteGr2File(model, c.textures, c.meshes, c.options));
    testenv::DebugLogCapture log;
    const GrannyModelInfo info = GrannyAnalyzer::Analyze(model);
    EXPECT_TRUE(info.skipped) << c.name;
    EXPECT_EQ(info.error, "") << c.name;
    EXPECT_TRUE(info.textures.empty()) << c.name;
    EXPECT_EQ(info.meshCount, c.meshes) << c.name;
    EXPECT_TRUE(Logged(log.Lines(), std::string("[WARN] [GrannyAnalyzer] ") + c.logged + model)) << c.name;
  }
}

TEST_F(GrannyAnalyzerTest, UnreadableModelsGiveTheErrorAndTheReasonInTheLog) {
  LoadRuntime();
  const std::string missing = client_.Join("missing.gr2");
  EXPECT_EQ(GrannyAnalyzer::Analyze(missing).error, "Impossibile leggere file GR2: " + missing);

  Gr2WriteOptions bitKnit;
  bitKnit.compression = 4;
  const std::string model = client_.Join("bitknit.gr2");
  ASSERT_TRUE(WriteGr2File(model, {"a.dds"}, 1, bitKnit));
  testenv::DebugLogCapture log;
  const GrannyModelInfo info = GrannyAnalyzer::Analyze(model);
  EXPECT_EQ(info.error, "Impossibile leggere file GR2: " + model);
  EXPECT_FALSE(info.skipped);
  EXPECT_EQ(info.meshCount, -1);
  const auto lines = log.Lines();
  EXPECT_TRUE(Logged(lines, "section 0 is compressed with BitKnit2"));
  EXPECT_TRUE(Logged(lines, "[ERROR] [GrannyAnalyzer] Impossibile leggere file GR2: " + model));
}

TEST_F(GrannyAnalyzerTest, RealOodle1ModelsReachTheirMeshes) {
  LoadRuntime();
  const std::string model =
      platform::ToInternalPath(std::string(VINTREL_SHARED_TESTDATA) + "/gr2-oodle1/Caveman.gr2");
  const GrannyModelInfo info = GrannyAnalyzer::Analyze(model);
  EXPECT_EQ(info.error, "");
  EXPECT_EQ(info.meshCount, 1);
  // This exporter hangs its textures under the materials, so the root list is empty.
  EXPECT_TRUE(info.skipped);
}

}  // namespace
