// vintrel-cli gr2-info run as a user runs it, on the frozen fixtures.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.hpp"
#include "support/scoped_temp_folder.hpp"

#ifdef VINTREL_CLI_PATH

namespace {

struct CliRun {
  int exitCode = -1;
  std::string out;
};

std::string Native(const std::string& internalPath) {
  return platform::ToNativePath(internalPath).value_or(internalPath);
}

std::string Fixture(const std::string& name) {
  return Native(platform::ToInternalPath(std::string(VINTREL_SOURCE_DIR) + "/tests/fixtures/gr2/" + name));
}

CliRun RunCli(const std::vector<std::string>& arguments) {
  ScopedTempFolder folder;
  const std::string outFile = folder.Join("out.txt");
  std::string command = "\"" + Native(platform::ToInternalPath(VINTREL_CLI_PATH)) + "\"";
  for (const std::string& a : arguments) command += " \"" + a + "\"";
  command += " > \"" + Native(outFile) + "\" 2> \"" + Native(folder.Join("err.txt")) + "\"";
#ifdef _WIN32
  // cmd.exe drops the outer quotes of a line that starts with one.
  command = "\"" + command + "\"";
#endif
  CliRun run;
  const int status = std::system(command.c_str());
#ifdef _WIN32
  run.exitCode = status;
#else
  run.exitCode = status == -1 ? -1 : (status >> 8) & 0xFF;  // the exit status inside the wait status
#endif
  platform::ReadWholeFile(outFile, run.out);
  std::string text;
  for (char c : run.out) {
    if (c != '\r') text += c;
  }
  run.out = text;
  return run;
}

TEST(Gr2InfoCommand, PrintsMeshesAndSortedTexturesPerModel) {
  const std::string v7 = Fixture("textured_v7_32.gr2");
  const std::string v6 = Fixture("textured_v6_32.gr2");
  const std::string wide = Fixture("textured_v7_64.gr2");
  const std::string noMeshes = Fixture("no_meshes.gr2");
  const CliRun run = RunCli({"gr2-info", v7, v6, wide, noMeshes});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, v7 +
                         "\n  meshes: 2\n"
                         "  texture: D:\\Ymir Work\\item\\weapon\\SWORD.dds\n"
                         "  texture: d:\\ymir work\\item\\weapon\\aura.dds\n"
                         "  texture: d:\\ymir work\\item\\weapon\\sword.dds\n" +
                         v6 + "\n  meshes: 1\n  texture: d:\\ymir work\\npc\\wolf\\wolf.dds\n" + wide +
                         "\n  meshes: 3\n"
                         "  texture: d:\\ymir work\\pc\\hair\\hair_00.dds\n"
                         "  texture: d:\\ymir work\\pc\\hair\\hair_01.tga\n" +
                         noMeshes + "\n  meshes: 0\n  skipped\n");
}

TEST(Gr2InfoCommand, AnyUnreadableModelMakesTheRunFail) {
  const std::string good = Fixture("textured_v6_32.gr2");
  const std::string bitKnit = Fixture("bitknit.gr2");
  const CliRun run = RunCli({"gr2-info", bitKnit, good});
  EXPECT_EQ(run.exitCode, 1);
  const std::string internal = platform::AbsoluteInternalPath(platform::ToInternalPath(bitKnit));
  EXPECT_EQ(run.out, bitKnit + "\n  meshes: -1\n  error: Impossibile leggere file GR2: " + internal + "\n" +
                         good + "\n  meshes: 1\n  texture: d:\\ymir work\\npc\\wolf\\wolf.dds\n");
}

TEST(Gr2InfoCommand, BadArgumentsExitWithTwoAndHelpWithZero) {
  EXPECT_EQ(RunCli({"gr2-info"}).exitCode, 2);
  EXPECT_EQ(RunCli({"--no-such-option"}).exitCode, 2);
  EXPECT_EQ(RunCli({}).exitCode, 2);

  const CliRun help = RunCli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("gr2-info"), std::string::npos) << help.out;
  const CliRun version = RunCli({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_NE(version.out.find(VINTREL_VERSION), std::string::npos) << version.out;
}

}  // namespace

#endif  // VINTREL_CLI_PATH
