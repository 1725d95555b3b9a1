// vintrel-cli export run as a user runs it: the executable alone in a folder, on the demo client.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "exporters/export_test_helpers.hpp"
#include "platform/platform.hpp"

#ifdef VINTREL_CLI_PATH

namespace {

using exporttest::FilesBelow;
using exporttest::ReadFile;

struct CliRun {
  int exitCode = -1;
  std::string out;
};

std::string Native(const std::string& internalPath) {
  return platform::ToNativePath(internalPath).value_or(internalPath);
}

std::string SourceFolder(const std::string& relative) {
  return platform::ToInternalPath(VINTREL_SOURCE_DIR) + "\\" + relative;
}

const char* const kReferenceLists[] = {"assassin_m_old.msm", "assassin_w_old.msm", "item_list_old.txt",
                                       "npclist_old.txt",    "shaman_m_old.msm",   "shaman_w_old.msm",
                                       "sura_m_old.msm",     "sura_w_old.msm",     "warrior_m_old.msm",
                                       "warrior_w_old.msm",  "wolfman_m_old.msm"};

// What the demo client gives with every script chosen (README, "Output layout").
const std::set<std::string>& DemoTree() {
  static const std::set<std::string> tree = {
      "assassin_w\\HairData\\[0004]HairData\\assassin_w_hair_30.dds",
      "assassin_w\\HairData\\[0004]HairData\\assassin_w_hair_30.gr2",
      "assassin_w\\HairData\\[0004]HairData\\group_snippet.txt",
      "assassin_w\\HairData\\[0004]HairData\\hair\\assassin_w_hair_30.dds",
      "assassin_w\\HairData\\[0004]HairData\\pc2\\assassin\\hair\\assassin_w_hair_30.dds",
      "assassin_w\\ShapeData\\[0002]ShapeData\\assassin_w_body_05.dds",
      "assassin_w\\ShapeData\\[0002]ShapeData\\assassin_w_body_05.gr2",
      "assassin_w\\ShapeData\\[0002]ShapeData\\assassin_w_body_05_cape.dds",
      "assassin_w\\ShapeData\\[0002]ShapeData\\group_snippet.txt",
      "assassin_w\\ShapeData\\[0002]ShapeData\\pc2\\assassin\\assassin_w_body_05.dds",
      "assassin_w\\ShapeData\\[0002]ShapeData\\pc2\\assassin\\assassin_w_body_05_cape.dds",
      "warrior_m\\HairData\\[0007]HairData\\group_snippet.txt",
      "warrior_m\\HairData\\[0007]HairData\\hair\\warrior_m_hair_23.dds",
      "warrior_m\\HairData\\[0007]HairData\\pc\\warrior\\hair\\warrior_m_hair_23.dds",
      "warrior_m\\HairData\\[0007]HairData\\warrior_m_hair_23.gr2",
      "warrior_m\\HairData\\[0007]HairData\\warrior_m_hair_23_red.dds",
      "warrior_m\\HairData\\[0011]HairData\\effect\\hair\\hair_21_glow.mde",
      "warrior_m\\HairData\\[0011]HairData\\group_snippet.txt",
      "warrior_m\\HairData\\[0011]HairData\\hair\\warrior_m_hair_21.dds",
      "warrior_m\\HairData\\[0011]HairData\\pc\\warrior\\hair\\warrior_m_hair_21.dds",
      "warrior_m\\HairData\\[0011]HairData\\warrior_m_hair_21.gr2",
      "warrior_m\\HairData\\[0011]HairData\\warrior_m_hair_21_gold.dds",
      "warrior_m\\HairData\\[0012]HairData\\group_snippet.txt",
      "warrior_m\\HairData\\[0012]HairData\\hair\\warrior_m_hair_22.dds",
      "warrior_m\\ShapeData\\[0006]ShapeData\\group_snippet.txt",
      "warrior_m\\ShapeData\\[0006]ShapeData\\pc\\warrior\\warrior_m_body_07.dds",
      "warrior_m\\ShapeData\\[0006]ShapeData\\warrior_m_body_07.dds",
      "warrior_m\\ShapeData\\[0006]ShapeData\\warrior_m_body_07.gr2",
  };
  return tree;
}

class ExportCommand : public testing::Test {
 protected:
  // The executable copied alone into an empty folder, as a user would install it.
  ExportCommand() : app_(temp_.MakeFolder("app")), executable_(app_ + "\\" + FileNameOfCli()) {
    EXPECT_TRUE(platform::CopyFileOverwrite(platform::ToInternalPath(VINTREL_CLI_PATH), executable_));
  }

  static std::string FileNameOfCli() {
    const std::string cli = platform::ToInternalPath(VINTREL_CLI_PATH);
    return cli.substr(cli.rfind('\\') + 1);
  }

  CliRun Run(const std::vector<std::string>& arguments) {
    const std::string outFile = temp_.Join("stdout.txt");
    std::string command = "\"" + Native(executable_) + "\"";
    for (const std::string& a : arguments) command += " \"" + a + "\"";
    command += " > \"" + Native(outFile) + "\" 2> \"" + Native(temp_.Join("stderr.txt")) + "\"";
#ifdef _WIN32
    // cmd.exe drops the outer quotes of a line that starts with one.
    command = "\"" + command + "\"";
#endif
    CliRun run;
    const int status = std::system(command.c_str());
#ifdef _WIN32
    run.exitCode = status;
#else
    run.exitCode = status == -1 ? -1 : (status >> 8) & 0xFF;
#endif
    for (char c : ReadFile(outFile)) {
      if (c != '\r') run.out += c;
    }
    return run;
  }

  std::vector<std::string> ExportArguments(const std::string& output) const {
    return {"export", "--client", Native(SourceFolder("samples\\demo_client")), "--output", Native(output),
            "--task", "hair-body"};
  }

  exporttest::TempFolder temp_;
  std::string app_;
  std::string executable_;
};

TEST_F(ExportCommand, FirstStartWritesItsFilesBesideItselfAndExportsTheDemoClient) {
  std::vector<std::string> arguments = ExportArguments(temp_.Join("out"));
  arguments.insert(arguments.end(), {"--mirror-root", Native(temp_.Join("mirror"))});
  const CliRun run = Run(arguments);
  EXPECT_EQ(run.exitCode, 0) << run.out;

  for (const char* name : kReferenceLists) {
    EXPECT_EQ(ReadFile(app_ + "\\standard_filters\\" + name),
              ReadFile(SourceFolder(std::string("resources\\standard_filters\\") + name)))
        << name;
  }
  const std::string runtime = app_ + "\\" +
                              (platform::SharedLibraryFileName("granny2") == "granny2.dll"
                                   ? std::string("Granny2.dll")
                                   : platform::SharedLibraryFileName("granny2"));
  const std::string cli = platform::ToInternalPath(VINTREL_CLI_PATH);
  EXPECT_EQ(ReadFile(runtime),
            ReadFile(cli.substr(0, cli.rfind('\\') + 1) + platform::SharedLibraryFileName("granny2")));

  EXPECT_EQ(FilesBelow(temp_.Join("out\\Exported_Models_MSM")), DemoTree());
  EXPECT_EQ(FilesBelow(temp_.Join("mirror")).count("effect\\hair\\hair_21_glow.mde"), 1u);
  // The question and its candidates, then the window log with its times.
  EXPECT_NE(run.out.find("Select file MSM:\n  0: assassin_w.msm\n  1: warrior_m.msm (2x)\n"),
            std::string::npos)
      << run.out;
  const std::size_t done = run.out.find("] OK: Task Completed.\n");
  ASSERT_NE(done, std::string::npos) << run.out;
  EXPECT_EQ(run.out.substr(done - 9, 1), "[");
}

TEST_F(ExportCommand, ExistingReferenceListsAreUsedAsTheyAre) {
  // A user's own list that calls the new body of the demo old: it must survive the start and count.
  platform::CreateSingleFolder(app_ + "\\standard_filters");
  const std::string own =
      "Group ShapeData\n{\n\tGroup ShapeData07\n\t{\n\t\tModel \"warrior_m_body_07.gr2\"\n\t}\n}\n";
  temp_.WriteFile("app\\standard_filters\\warrior_m_old.msm", own);
  const CliRun run = Run(ExportArguments(temp_.Join("out")));
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_EQ(ReadFile(app_ + "\\standard_filters\\warrior_m_old.msm"), own);
  EXPECT_EQ(FilesBelow(app_ + "\\standard_filters").size(), 11u);
  const std::set<std::string> tree = FilesBelow(temp_.Join("out\\Exported_Models_MSM"));
  EXPECT_EQ(tree.count("warrior_m\\ShapeData\\[0006]ShapeData\\warrior_m_body_07.gr2"), 0u);
  EXPECT_EQ(tree.count("warrior_m\\HairData\\[0011]HairData\\warrior_m_hair_21.gr2"), 1u);
}

TEST_F(ExportCommand, SelectAnswersTheChoiceAndBadArgumentsExitWithTwo) {
  std::vector<std::string> none = ExportArguments(temp_.Join("none"));
  none.insert(none.end(), {"--select", "none", "--no-mirror"});
  const CliRun cancelled = Run(none);
  EXPECT_EQ(cancelled.exitCode, 0);
  EXPECT_NE(cancelled.out.find("] [WARN] No MSM Selected.\n"), std::string::npos) << cancelled.out;

  std::vector<std::string> second = ExportArguments(temp_.Join("second"));
  second.insert(second.end(), {"--select", "1"});
  EXPECT_EQ(Run(second).exitCode, 0);
  for (const std::string& file : FilesBelow(temp_.Join("second\\Exported_Models_MSM"))) {
    EXPECT_EQ(file.rfind("warrior_m\\", 0), 0u) << file;
  }

  std::vector<std::string> bad = ExportArguments(temp_.Join("bad"));
  bad.insert(bad.end(), {"--select", "1,x"});
  EXPECT_EQ(Run(bad).exitCode, 2);
  EXPECT_EQ(Run({"export", "--output", Native(temp_.Join("bad"))}).exitCode, 2);
  std::vector<std::string> both = ExportArguments(temp_.Join("bad"));
  both.insert(both.end(), {"--no-mirror", "--mirror-root", Native(temp_.Join("m"))});
  EXPECT_EQ(Run(both).exitCode, 2);
  EXPECT_EQ(platform::GetFileAttributes(temp_.Join("bad")), platform::kInvalidAttributes);
}

}  // namespace

#endif  // VINTREL_CLI_PATH
