// `export --convert`: every exported model gets its .glb and every texture its .png beside it, and
// the report lists them.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/cli_run.hpp"
#include "support/client_paths.hpp"
#include "support/file_operations.hpp"
#include "support/test_environment.hpp"

using namespace testenv;

TEST(ExportConvert, TheDemoExportGetsAGlbBesideEachModelAndAPngBesideEachTexture) {
  ScopedTempDir temp("export-convert");
  const CliRun run = RunProgram(
      CliPath(), {"export", "--client",
                  NativePath(platform::ToInternalPath(VINTREL_SOURCE_DIR) + "\\samples\\demo_client"),
                  "--output", NativePath(temp / "out"), "--task", "all", "--no-mirror", "--convert"});
  ASSERT_EQ(run.exitCode, 0) << run.out;
  // Kept for the validator that CI runs over them.
  const std::string kept = platform::ExecutableFolder() + "gltf-validation\\";
  CreateRecursiveDirectory(kept);
  int models = 0;
  int textures = 0;
  for (const std::string& file : FilesBelow(temp / "out")) {
    const std::string extension = ExtensionOf(file);
    const std::string stem = temp / ("out\\" + file.substr(0, file.size() - 4));
    if (extension == ".gr2") {
      ++models;
      const std::string glb = ReadFile(stem + ".glb");
      EXPECT_EQ(glb.substr(0, 4), "glTF") << file;
      testenv::WriteFile(kept + "demo_" + std::to_string(models) + ".glb", glb);
    } else if (extension == ".dds") {
      ++textures;
      EXPECT_EQ(ReadFile(stem + ".png").substr(1, 3), "PNG") << file;
    }
  }
  EXPECT_GE(models, 8);
  EXPECT_GE(textures, 20);
  const std::string report = ReadFile(temp / "out\\Exported_Models_ITEM\\export_report.json");
  EXPECT_NE(report.find("00470.glb"), std::string::npos);
  EXPECT_NE(report.find("00470.png"), std::string::npos);
}
