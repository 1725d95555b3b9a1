// vintrel-cli export run as a user runs it: the executable alone in a folder, on the demo client.
#include <gtest/gtest.h>

#include <utility>

#include "cli/cli_run.hpp"
#include "pipeline/core_initialization.hpp"
#include "support/test_environment.hpp"

namespace {

using namespace testenv;

std::string SourceFolder(const std::string& relative) {
  return platform::ToInternalPath(VINTREL_SOURCE_DIR) + "\\" + relative;
}

// What the demo client gives with every script chosen (README, "Output layout").
std::set<std::string> DemoTree() {
  const std::vector<std::pair<std::string, std::vector<std::string>>> groups = {
      {"assassin_w\\HairData\\[0004]HairData\\",
       {"assassin_w_hair_30.dds", "assassin_w_hair_30.gr2", "group_snippet.txt",
        "hair\\assassin_w_hair_30.dds", "pc2\\assassin\\hair\\assassin_w_hair_30.dds"}},
      {"assassin_w\\ShapeData\\[0002]ShapeData\\",
       {"assassin_w_body_05.dds", "assassin_w_body_05.gr2", "assassin_w_body_05_cape.dds",
        "group_snippet.txt", "pc2\\assassin\\assassin_w_body_05.dds",
        "pc2\\assassin\\assassin_w_body_05_cape.dds"}},
      {"warrior_m\\HairData\\[0007]HairData\\",
       {"group_snippet.txt", "hair\\warrior_m_hair_23.dds", "pc\\warrior\\hair\\warrior_m_hair_23.dds",
        "warrior_m_hair_23.gr2", "warrior_m_hair_23_red.dds"}},
      {"warrior_m\\HairData\\[0011]HairData\\",
       {"effect\\hair\\hair_21_glow.mde", "group_snippet.txt", "hair\\warrior_m_hair_21.dds",
        "pc\\warrior\\hair\\warrior_m_hair_21.dds", "warrior_m_hair_21.gr2", "warrior_m_hair_21_gold.dds"}},
      {"warrior_m\\HairData\\[0012]HairData\\", {"group_snippet.txt", "hair\\warrior_m_hair_22.dds"}},
      {"warrior_m\\ShapeData\\[0006]ShapeData\\",
       {"group_snippet.txt", "pc\\warrior\\warrior_m_body_07.dds", "warrior_m_body_07.dds",
        "warrior_m_body_07.gr2"}},
  };
  std::set<std::string> tree;
  for (const auto& group : groups) {
    for (const std::string& file : group.second) tree.insert(group.first + file);
  }
  return tree;
}

class ExportCommand : public testing::Test {
 protected:
  // The executable copied alone into an empty folder, as a user would install it.
  ExportCommand() {
    platform::CreateSingleFolder(app_);
    EXPECT_TRUE(platform::CopyFileOverwrite(cli_, executable_));
  }

  CliRun Run(const std::vector<std::string>& arguments) const {
    return testenv::RunProgram(executable_, arguments);
  }

  // Runs the export of the demo client into `output` (below the temp folder).
  CliRun Export(const std::string& output, const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> arguments = {"export",
                                          "--client",
                                          NativePath(SourceFolder("samples\\demo_client")),
                                          "--output",
                                          NativePath(temp_ / output),
                                          "--task",
                                          "hair-body"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return Run(arguments);
  }

  testenv::ScopedTempDir temp_{"cli"};
  std::string cli_ = testenv::CliPath();
  std::string app_ = temp_.path() + "app";
  std::string executable_ = app_ + cli_.substr(cli_.rfind('\\'));
};

TEST_F(ExportCommand, FirstStartWritesItsFilesBesideItselfAndExportsTheDemoClient) {
  const CliRun run = Export("out", {"--mirror-root", NativePath(temp_ / "mirror")});
  EXPECT_EQ(run.exitCode, 0) << run.out;

  std::set<std::string> lists = FilesBelow(SourceFolder("resources\\standard_filters"));
  lists.erase("README.md");
  ASSERT_EQ(lists.size(), 11u);
  // Their bytes come through the same embedding as the runtime, compared byte for byte below.
  EXPECT_EQ(FilesBelow(app_ + "\\standard_filters"), lists);
  EXPECT_EQ(ReadFile(app_ + "\\" + GrannyRuntimeFileName()), ReadFile(testenv::BuiltRuntimePath()));

  EXPECT_EQ(ExportedFiles(temp_ / "out\\Exported_Models_MSM"), DemoTree());
  EXPECT_EQ(FilesBelow(temp_ / "mirror").count("effect\\hair\\hair_21_glow.mde"), 1u);
  // The question and its candidates, then the window log with its times.
  EXPECT_NE(run.out.find("Select file MSM:\n  0: assassin_w.msm\n  1: warrior_m.msm (2x)\n"),
            std::string::npos)
      << run.out;
  const std::size_t done = run.out.find("] OK: Task Completed.\n");
  ASSERT_NE(done, std::string::npos) << run.out;
  EXPECT_EQ(run.out.substr(done - 9, 1), "[");
}

TEST_F(ExportCommand, SelectAnswersTheChoiceAndBadArgumentsExitWithTwo) {
  // An output path longer than the old 259-byte field is taken as it is.
  const std::string longOutput = "none\\" + std::string(130, 'l') + "\\" + std::string(130, 'm');
  const CliRun cancelled = Export(longOutput, {"--select", "none", "--no-mirror"});
  EXPECT_EQ(cancelled.exitCode, 0);
  EXPECT_TRUE(testenv::IsFolder(temp_ / (longOutput + "\\Exported_Models_MSM")));
  EXPECT_NE(cancelled.out.find("] [WARN] No MSM Selected.\n"), std::string::npos) << cancelled.out;

  EXPECT_EQ(Export("second", {"--select", "1"}).exitCode, 0);
  for (const std::string& file : ExportedFiles(temp_ / "second\\Exported_Models_MSM")) {
    EXPECT_EQ(file.rfind("warrior_m\\", 0), 0u) << file;
  }

  EXPECT_EQ(Export("bad", {"--select", "1,x"}).exitCode, 2);
  // An index the question does not offer is refused, not silently dropped.
  EXPECT_EQ(Export("bad", {"--select", "7", "--no-mirror"}).exitCode, 2);
  EXPECT_EQ(ExportedFiles(temp_ / "bad\\Exported_Models_MSM").size(), 0u);
  const std::string file = testenv::WriteFile(temp_ / "file", "not a folder");
  for (const std::string& client : {NativePath(temp_ / "missing"), NativePath(file)}) {
    EXPECT_EQ(Run({"export", "--client", client, "--output", NativePath(temp_ / "bad2")}).exitCode, 2)
        << client;
  }
  EXPECT_EQ(Run({"export", "--client", NativePath(temp_ / ""), "--output", ""}).exitCode, 2);
  EXPECT_EQ(Run({"export", "--output", NativePath(temp_ / "bad")}).exitCode, 2);
  EXPECT_EQ(Export("bad", {"--no-mirror", "--mirror-root", NativePath(temp_ / "m")}).exitCode, 2);
  EXPECT_EQ(platform::GetFileAttributes(temp_ / "bad2"), platform::kInvalidAttributes);
}

TEST_F(ExportCommand, AnOutputThatCannotBeCreatedIsAnErrorWithExitOne) {
  testenv::WriteFile(temp_ / "blocker", "a file where the output folder should be");
  const CliRun run = Export("blocker\\out", {"--no-mirror"});
  EXPECT_EQ(run.exitCode, 1) << run.out;
  EXPECT_NE(run.out.find("] ERROR: Cannot create output folder: "), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("OK: Task Completed."), std::string::npos) << run.out;
}

TEST_F(ExportCommand, MirrorRootThatIsTheClientUnderAnotherSpellingLeavesTheClientIntact) {
  const std::string demo = SourceFolder("samples\\demo_client");
  const std::set<std::string> files = FilesBelow(demo);
  for (const std::string& file : files) {
    platform::CreateFolderWithParents(temp_ / ("c\\" + file.substr(0, file.rfind('\\') + 1)));
    ASSERT_TRUE(platform::CopyFileOverwrite(demo + "\\" + file, temp_ / ("c\\" + file))) << file;
  }
  const CliRun run =
      Run({"export", "--client", NativePath(temp_ / "c"), "--output", NativePath(temp_ / "out"), "--task",
           "hair-body", "--mirror-root", NativePath(temp_ / "c") + "/."});
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_EQ(ExportedFiles(temp_ / "out\\Exported_Models_MSM"), DemoTree());
  for (const std::string& file : files)
    EXPECT_EQ(ReadFile(temp_ / ("c\\" + file)), ReadFile(demo + "\\" + file)) << file;
}

// "Weapon + Wings" on the demo client as README's output layout shows it.
TEST_F(ExportCommand, WeaponWingsExportsTheDemoItems) {
  const CliRun run = Run({"export", "--client", NativePath(SourceFolder("samples\\demo_client")), "--output",
                          NativePath(temp_ / "items"), "--task", "weapon-wings", "--mirror-root",
                          NativePath(temp_ / "mirror")});
  EXPECT_EQ(run.exitCode, 0) << run.out;
  std::set<std::string> tree = FilesNamed("ARMOR\\[12800]\\", "item_list_snippet.txt 12800.tga");
  tree.merge(FilesNamed("ARMOR\\[13000]\\", "item_list_snippet.txt 13000.tga"));
  tree.merge(FilesNamed("AURA\\[49010]\\", "item_list_snippet.txt 49010.tga aura_49010.mse"));
  tree.merge(
      FilesNamed("WEAPON\\[470]\\", "item_list_snippet.txt 00470.gr2 00470.tga item\\weapon\\00470.dds"));
  tree.merge(FilesNamed("WEAPON\\[470]\\effects\\",
                        "sword_glow.mse sword_glow_plus.mse sword_glow.mde "
                        "effect\\item\\tex\\sword_spark.dds plus_ring.dds"));
  tree.merge(
      FilesNamed("WING\\[85010]\\", "item_list_snippet.txt 85010.gr2 85010.tga item\\wing\\85010.dds"));
  tree.merge(
      FilesNamed("WING\\[85010]\\effects\\", "wing_glow.mse wing_glow.mde effect\\item\\tex\\wing_glow.dds"));
  EXPECT_EQ(ExportedFiles(temp_ / "items\\Exported_Models_ITEM"), tree);
  EXPECT_EQ(FilesBelow(temp_ / "mirror"),
            (std::set<std::string>{"item\\weapon\\00470.dds", "item\\wing\\85010.dds"}));
}

// "Npc + Mob" on the demo client: the folders README's output layout shows.
TEST_F(ExportCommand, NpcMobExportsTheDemoNpcFolders) {
  const CliRun run = Run({"export", "--client", NativePath(SourceFolder("samples\\demo_client")), "--output",
                          NativePath(temp_ / "npc"), "--task", "npc-mob", "--no-mirror"});
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_EQ(NamesIn(temp_ / "npc\\Exported_Models_NPC"),
            (std::vector<std::string>{"export_report.json", "export_report.txt", "[boss-a]", "[ghost]",
                                      "[orc_lord_e]", "[pirate_monster1]", "[pony_normal]",
                                      "[redguild_guard_M]", "[stray_dog]"}));
}

// "Map Objects" on the demo client: README's output layout, and the counts as plain lines.
TEST_F(ExportCommand, MapObjectsExportsTheDemoObjectsAndCountsThem) {
  const CliRun run = Run({"export", "--client", NativePath(SourceFolder("samples\\demo_client")), "--output",
                          NativePath(temp_ / "map"), "--task", "map-objects", "--mirror-root",
                          NativePath(temp_ / "mirror")});
  EXPECT_EQ(run.exitCode, 0) << run.out;
  const std::string village = "zone\\village\\", fire = "effect\\zone\\",
                    beside = "zone\\ymir work\\effect\\zone\\";
  EXPECT_EQ(
      ExportedFiles(temp_ / "map\\map_objects"),
      Tree({{"ambience\\Birds\\", "birds.prb|birds.pre|sound\\birds.mse"},
            {"buildings\\house_a\\", "house_a.gr2|house_a.prb|" + village + "house_a.dds|" + village +
                                         "house_a.gr2|" + village + "roof.dds"},
            {"buildings\\lamp\\", "lamp.gr2|lamp.prb|" + village + "house_a.dds|" + village + "lamp.gr2"},
            {"buildings\\ruin\\", "ruin.prb"},
            {"effects\\CampFire\\", "CAMPFIRE.pre|campfire.prb|" + fire + "campfire.mse|" + fire +
                                        "ember.mde|" + fire + "flame.dds|" + beside + "flame.mde|" + beside +
                                        "spark.dds"},
            {"effects\\Torch\\", "torch.prb|" + village + "Torch.mse|" + village + "torch_fire.mde"},
            {"other\\shed\\", "shed.gr2|shed.prb|" + village + "shed.dds|" + village + "shed.gr2"}}));
  EXPECT_EQ(FilesBelow(temp_ / "mirror"),
            Tree({{"zone\\village\\", "house_a.dds|roof.dds|shed.dds"}, {fire, "flame.dds|spark.dds"}}));
  EXPECT_NE(run.out.find("\nFound: 8 PRB files\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\nProcessed: 8 / 8\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("] Exported: 7/8 objects\n"), std::string::npos) << run.out;
}

}  // namespace
