#include "support/granny_analyzer.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "support/gr2_writer.hpp"
#include "support/test_environment.hpp"

namespace {

bool Logged(const testenv::DebugLogCapture& log, const std::string& text) {
  const std::vector<std::string> lines = log.Lines();
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

class GrannyAnalyzerTest : public ::testing::Test {
 protected:
  void SetUp() override { GrannyAnalyzer::Shutdown(); }
  void TearDown() override { GrannyAnalyzer::Shutdown(); }
  void LoadRuntime() {
    GrannyAnalyzer::Initialize(testenv::BuiltRuntimePath());
    ASSERT_TRUE(GrannyAnalyzer::IsInitialized()) << testenv::BuiltRuntimePath();
  }
  std::string Model(const std::string& name, const std::vector<std::string>& textures, int meshes,
                    const Gr2WriteOptions& options = {}) {
    return testenv::WriteFile(client_.path() + name, BuildGr2(textures, meshes, options));
  }

  testenv::ScopedTempDir client_{"client"};
  testenv::ScopedRunRoots roots_{client_.path(), "", ""};
};

TEST_F(GrannyAnalyzerTest, WithoutTheRuntimeEveryAnalysisSaysSo) {
  testenv::DebugLogCapture log;
  GrannyAnalyzer::Initialize(client_.path() + "missing\\" + platform::SharedLibraryFileName("granny2"));
  EXPECT_FALSE(GrannyAnalyzer::IsInitialized());
  EXPECT_TRUE(Logged(log, "[ERROR] [GrannyAnalyzer] LoadLibrary failed for granny2.dll"));
  // A library without the three entry points is let go again.
#ifdef _WIN32
  GrannyAnalyzer::Initialize("kernel32.dll");
#else
  GrannyAnalyzer::Initialize("libm.so.6");
#endif
  EXPECT_FALSE(GrannyAnalyzer::IsInitialized());
  EXPECT_TRUE(Logged(log, "[ERROR] [GrannyAnalyzer] Missing required Granny functions"));

  const GrannyModelInfo info = GrannyAnalyzer::Analyze(Model("a.gr2", {"a.dds"}, 1));
  EXPECT_EQ(info.gr2Path, client_.path() + "a.gr2");
  EXPECT_EQ(info.error, "Granny2 SDK non inizializzato");
  EXPECT_EQ(info.meshCount, -1);
}

TEST_F(GrannyAnalyzerTest, ModelsWithoutTexturesAreSkippedAndUnreadableOnesFailWithTheReasonLogged) {
  LoadRuntime();
  Gr2WriteOptions unnamed, nullPointer;
  unnamed.unnamedTextures = 2;
  unnamed.nullTextureSlots = 1;
  nullPointer.defect = Gr2Defect::CountWithNullPointer;
  const std::string missing = client_.path() + "missing.gr2";
  const struct {
    std::string model;
    int meshes;
    std::string error, logged;
  } cases[] = {
      {Model("nomesh.gr2", {"a.dds"}, 0), 0, "", "[WARN] [GrannyAnalyzer] MeshCount<=0, skipping: "},
      {Model("notex.gr2", {}, 1), 1, "", "[WARN] [GrannyAnalyzer] No textures in GR2, skipping: "},
      {Model("nullptr.gr2", {"a.dds", "b.dds"}, 1, nullPointer), 1, "",
       "[WARN] [GrannyAnalyzer] No textures in GR2, skipping: "},
      {Model("unnamed.gr2", {}, 1, unnamed), 1, "",
       "[WARN] [GrannyAnalyzer] After dedupe no textures found for: "},
      {missing, -1, "Impossibile leggere file GR2: " + missing + ": cannot open the file",
       "[ERROR] [GrannyAnalyzer] Impossibile leggere file GR2: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.model);
    testenv::DebugLogCapture log;
    const GrannyModelInfo info = GrannyAnalyzer::Analyze(c.model);
    EXPECT_EQ(info.skipped, c.error.empty());
    EXPECT_EQ(info.error, c.error);
    EXPECT_TRUE(info.textures.empty());
    EXPECT_EQ(info.meshCount, c.meshes);
    EXPECT_TRUE(Logged(log, c.logged + (c.error.empty() ? c.model : "")));
  }
}

// The runtime reads the native path the analyser found: another letter case still reaches the
// model, and a pipe or a device named as one is refused at once rather than read for ever.
TEST_F(GrannyAnalyzerTest, ModelsAreFoundInAnyLetterCaseAndPipesOrDevicesRefusedWithoutWaiting) {
  LoadRuntime();
  testenv::WriteFile(client_.path() + "item\\sword.dds", "");  // its textures are found the same way
  Model("Sword.gr2", {"d:\\ymir work\\item\\aura.dds", "D:\\Ymir Work\\ITEM\\SWORD.dds"}, 1);
  const GrannyModelInfo found = GrannyAnalyzer::Analyze(client_.path() + "SWORD.GR2");
  EXPECT_EQ(found.meshCount, 1);
  ASSERT_EQ(found.textures.size(), 2u);
  EXPECT_TRUE(found.textures[0].exists);  // sorted: upper-case "D:" first
  EXPECT_FALSE(found.textures[1].exists);
#ifdef _WIN32
  const std::string special = "NUL";
#else
  const std::string special = client_.path() + "pipe.gr2";
  ASSERT_EQ(mkfifo(platform::ToNativePath(special)->c_str(), 0600), 0);
#endif
  auto analysis = std::async(std::launch::async, [&] { return GrannyAnalyzer::Analyze(special); });
  if (analysis.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
    ADD_FAILURE() << "the analysis blocked on " << special;
    std::_Exit(1);
  }
  EXPECT_EQ(analysis.get().error, "Impossibile leggere file GR2: " + special + ": not a regular file");
}

}  // namespace
