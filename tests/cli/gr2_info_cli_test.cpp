// vintrel-cli gr2-info run as a user runs it, on the .gr2 files in tests/fixtures/gr2: frozen writer
// output, so the whole reading path meets bytes that do not change with the writer.
#include <gtest/gtest.h>

#include "cli/cli_run.hpp"
#include "support/gr2_writer.hpp"

namespace {

std::string Fixture(const std::string& name) {
  return testenv::NativePath(
      platform::ToInternalPath(std::string(VINTREL_SOURCE_DIR) + "/tests/fixtures/gr2/" + name));
}

// Run as a fresh copy, alone in a folder, before any export has written the runtime beside it.
TEST(Gr2InfoCommand, FreshCopyPrintsMeshesAndSortedTexturesAndUnreadableModelsGiveTheReasonAndFailTheRun) {
  testenv::ScopedTempDir temp("gr2-info");
  const std::string copy = temp / testenv::CliPath().substr(testenv::CliPath().rfind('\\') + 1);
  ASSERT_TRUE(platform::CopyFileOverwrite(testenv::CliPath(), copy));
  Gr2WriteOptions hashedNames;
  hashedNames.stringDatabase = 2;
  testenv::WriteFile(temp / "hashed.gr2", BuildGr2({"a.dds"}, 1, hashedNames));
  const std::string v7 = Fixture("textured_v7_32.gr2"), v6 = Fixture("textured_v6_32.gr2"),
                    wide = Fixture("textured_v7_64.gr2"), noMeshes = Fixture("no_meshes.gr2"),
                    bitKnit = Fixture("bitknit.gr2"), hashed = testenv::NativePath(temp / "hashed.gr2");
  const testenv::CliRun run =
      testenv::RunProgram(copy, {"gr2-info", v7, v6, wide, noMeshes, bitKnit, hashed});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(testenv::RunProgram(copy, {"gr2-info", v7, noMeshes}).exitCode, 0);
  const auto internal = [](const std::string& native) {
    return platform::AbsoluteInternalPath(platform::ToInternalPath(native));
  };
  EXPECT_EQ(run.out,
            v7 + "\n  meshes: 2\n  texture: D:\\Ymir Work\\item\\weapon\\SWORD.dds\n" +
                "  texture: d:\\ymir work\\item\\weapon\\aura.dds\n" +
                "  texture: d:\\ymir work\\item\\weapon\\sword.dds\n" + v6 +
                "\n  meshes: 1\n  texture: d:\\ymir work\\npc\\wolf\\wolf.dds\n" + wide +
                "\n  meshes: 3\n  texture: d:\\ymir work\\pc\\hair\\hair_00.dds\n" +
                "  texture: d:\\ymir work\\pc\\hair\\hair_01.tga\n" + noMeshes +
                "\n  meshes: 0\n  skipped\n" + bitKnit +
                "\n  meshes: -1\n  error: Impossibile leggere file GR2: " + internal(bitKnit) +
                ": section 0 is compressed with BitKnit1 (method 3), which this reader does not decode\n" +
                hashed + "\n  meshes: -1\n  error: Impossibile leggere file GR2: " + internal(hashed) +
                ": names are stored as hashes (string database 2): texture names cannot be recovered\n");
}

TEST(Gr2InfoCommand, BadArgumentsExitWithTwoAndHelpOrVersionWithZero) {
  const auto run = [](const std::vector<std::string>& arguments) {
    return testenv::RunProgram(testenv::CliPath(), arguments);
  };
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"gr2-info"}, {"--no-such-option"}, {}})
    EXPECT_EQ(run(bad).exitCode, 2) << (bad.empty() ? "" : bad[0]);
  const testenv::CliRun help = run({"--help"}), version = run({"--version"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("gr2-info"), std::string::npos) << help.out;
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_NE(version.out.find(VINTREL_VERSION), std::string::npos) << version.out;
}

}  // namespace
