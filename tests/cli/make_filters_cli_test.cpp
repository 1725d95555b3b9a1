// Reference lists made from a base client: an export against them leaves out exactly what the base has.
#include <gtest/gtest.h>

#include "cli/cli_run.hpp"
#include "support/file_operations.hpp"
#include "support/test_environment.hpp"

namespace {

using namespace testenv;

const char* const kTasks[] = {"hair-body", "weapon-wings", "npc-mob", "map-objects"};

std::string DemoClient() { return platform::ToInternalPath(VINTREL_SOURCE_DIR) + "\\samples\\demo_client"; }

// The bundle folders an export wrote, by the depth of each task's bundles below the output root.
std::set<std::string> Bundles(const std::string& output) {
  std::set<std::string> bundles;
  for (const std::string& file : FilesBelow(output)) {
    const int depth = file.rfind("Exported_Models_MSM", 0) == 0   ? 4
                      : file.rfind("Exported_Models_NPC", 0) == 0 ? 2
                                                                  : 3;
    std::size_t end = 0;
    for (int i = 0; i < depth && end != std::string::npos; ++i) end = file.find('\\', end + (i > 0 ? 1 : 0));
    if (end != std::string::npos && file.substr(end) != "\\export_report.json")
      bundles.insert(file.substr(0, end));
  }
  return bundles;
}

std::set<std::string> ExportAll(const std::string& client, const std::string& output,
                                const std::string& lists) {
  for (const char* task : kTasks) {
    const CliRun run =
        RunProgram(CliPath(), {"export", "--client", NativePath(client), "--output", NativePath(output),
                               "--task", task, "--no-mirror", "--filters", NativePath(lists)});
    EXPECT_EQ(run.exitCode, 0) << task << "\n" << run.out;
  }
  return Bundles(output);
}

void DropLine(const std::string& file, const std::string& start) {
  std::string kept;
  for (const std::string& line : SplitLinesCopy(ReadFile(file))) {
    if (line.rfind(start, 0) != 0) kept += line + "\r\n";
  }
  testenv::WriteFile(file, kept);
}

CliRun MakeFilters(const std::string& client, const std::string& lists) {
  return RunProgram(CliPath(),
                    {"make-filters", "--client", NativePath(client), "--output", NativePath(lists)});
}

}  // namespace

// Lists made from the demo client mark all of it as standard: no group, item, NPC or object of it
// is one its own lists cannot recognise.
TEST(MakeFiltersCommand, AClientExportedAgainstItsOwnListsExportsNothing) {
  ScopedTempDir temp("filters");
  const CliRun made = MakeFilters(DemoClient(), temp / "lists");
  ASSERT_EQ(made.exitCode, 0) << made.out;
  EXPECT_NE(made.out.find("Property names: 7 from 8 .prb files"), std::string::npos) << made.out;
  EXPECT_EQ(ExportAll(DemoClient(), temp / "out", temp / "lists"), std::set<std::string>{});

  // A folder that is not there turns every filter off, as a missing bundled folder does.
  const CliRun unfiltered = RunProgram(
      CliPath(), {"export", "--client", NativePath(DemoClient()), "--output", NativePath(temp / "all"),
                  "--task", "npc-mob", "--no-mirror", "--filters", NativePath(temp / "nowhere")});
  EXPECT_NE(unfiltered.out.find("Filtro OLD disattivato per NPC."), std::string::npos) << unfiltered.out;
  EXPECT_TRUE(IsFolder(temp / "all\\Exported_Models_NPC\\[wolf]"));
}

// A modified client against the lists of its base exports what the base does not have.
TEST(MakeFiltersCommand, AModifiedClientExportsWhatItsBaseLacks) {
  ScopedTempDir temp("filters");
  const std::string base = temp / "base";
  ASSERT_TRUE(CopyDirectoryRecursive(DemoClient(), base));
  platform::DeleteFile(base + "\\msm\\assassin_w.msm");
  DropLine(base + "\\locale\\item_list.txt", "12800\t");
  DropLine(base + "\\locale\\npclist.txt", "102\t");
  platform::DeleteFile(base + "\\property\\ambience\\birds.prb");
  platform::DeleteFile(base + "\\property\\ambience\\birds.pre");
  ASSERT_EQ(MakeFilters(base, temp / "lists").exitCode, 0);

  const std::set<std::string> bundles = ExportAll(DemoClient(), temp / "out", temp / "lists");
  std::set<std::string> expected = {"Exported_Models_ITEM\\ARMOR\\[12800]", "Exported_Models_NPC\\[wolf]",
                                    "map_objects\\ambience\\Birds"};
  std::size_t raceGroups = 0;
  for (const std::string& bundle : bundles) {
    if (bundle.rfind("Exported_Models_MSM\\assassin_w\\", 0) == 0) ++raceGroups, expected.insert(bundle);
  }
  EXPECT_EQ(bundles, expected);
  EXPECT_GT(raceGroups, 0u);
}
