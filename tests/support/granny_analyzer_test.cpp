#include "support/granny_analyzer.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "granny2/gr2_container.hpp"
#include "support/client_paths.hpp"
#include "support/gr2_writer.hpp"
#include "support/test_environment.hpp"

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

bool Logged(const testenv::DebugLogCapture& log, const std::string& text) {
  const std::vector<std::string> lines = log.Lines();
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
  std::string Model(const std::string& name, const std::vector<std::string>& textures, int meshes,
                    const Gr2WriteOptions& options = {}) {
    EXPECT_TRUE(WriteGr2File(client_.path() + name, textures, meshes, options));
    return client_.path() + name;
  }

  testenv::ScopedTempDir client_{"client"};
  std::string savedClientRoot_;
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

TEST_F(GrannyAnalyzerTest, ListsTexturesSortedWithoutDuplicatesAndFindsThemUnderTheClient) {
  LoadRuntime();
  platform::CreateFolderWithParents(client_.path() + "item\\weapon");
  ASSERT_TRUE(platform::File::CreateForWrite(client_.path() + "item\\weapon\\sword.dds").IsOpen());
  Gr2WriteOptions options;
  options.nullTextureSlots = 1;
  options.unnamedTextures = 1;
  const std::string model =
      Model("m.gr2",
            {"d:\\ymir work\\item\\weapon\\sword.dds", "d:\\ymir work\\item\\weapon\\aura.dds",
             "d:\\ymir work\\item\\weapon\\sword.dds", "D:\\Ymir Work\\item\\weapon\\SWORD.dds"},
            2, options);
  testenv::DebugLogCapture log;
  const GrannyModelInfo info = GrannyAnalyzer::Analyze(model);
  ASSERT_EQ(info.error, "");
  EXPECT_FALSE(info.skipped);
  EXPECT_EQ(info.meshCount, 2);
  std::vector<std::string> found;
  // Game paths are looked up under the client folder, whatever their letter case.
  for (const GrannyTexture& t : info.textures) found.push_back(t.fileName + (t.exists ? " +" : " -"));
  EXPECT_EQ(found, (std::vector<std::string>{"D:\\Ymir Work\\item\\weapon\\SWORD.dds +",
                                             "d:\\ymir work\\item\\weapon\\aura.dds -",
                                             "d:\\ymir work\\item\\weapon\\sword.dds +"}));
  EXPECT_TRUE(Logged(log, "[INFO] [GrannyAnalyzer] TextureCount=6"));
  EXPECT_TRUE(
      Logged(log, "[DEBUG] [GrannyAnalyzer] Found texture: d:\\ymir work\\item\\weapon\\aura.dds (missing)"));
  EXPECT_TRUE(Logged(log, "[INFO] [GrannyAnalyzer] Analyze complete for: " + model + " textures=3"));
}

TEST_F(GrannyAnalyzerTest, ModelsWithoutTexturesAreSkippedAndUnreadableOnesFailWithTheReasonLogged) {
  LoadRuntime();
  Gr2WriteOptions unnamed, nullPointer, bitKnit;
  unnamed.unnamedTextures = 2;
  unnamed.nullTextureSlots = 1;
  nullPointer.defect = Gr2Defect::CountWithNullPointer;
  bitKnit.compression = granny2::kCompressionBitKnit2;
  const std::string missing = client_.path() + "missing.gr2",
                    broken = Model("bitknit.gr2", {"a.dds"}, 1, bitKnit);
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
      {broken, -1,
       "Impossibile leggere file GR2: " + broken +
           ": section 0 is compressed with BitKnit2 (method 4), which this reader does not decode",
       "section 0 is compressed with BitKnit2"},
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
  Model("Sword.gr2", {"a.dds"}, 1);
  EXPECT_EQ(GrannyAnalyzer::Analyze(client_.path() + "SWORD.GR2").meshCount, 1);
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
