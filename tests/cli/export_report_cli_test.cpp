// The report each task run leaves, the dry run, and --task all, on the demo client.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>

#include "cli/cli_run.hpp"
#include "support/test_environment.hpp"

namespace {

using namespace testenv;
using nlohmann::json;

const char* const kTasks[] = {"hair-body", "weapon-wings", "npc-mob", "map-objects"};
const char* const kFolders[] = {"Exported_Models_MSM", "Exported_Models_ITEM", "Exported_Models_NPC",
                                "map_objects"};

std::string DemoClient() { return platform::ToInternalPath(VINTREL_SOURCE_DIR) + "\\samples\\demo_client"; }

CliRun Export(const std::string& output, const std::string& task, std::vector<std::string> extra) {
  std::vector<std::string> arguments{
      "export", "--client", NativePath(DemoClient()), "--output", NativePath(output), "--task", task};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return RunProgram(CliPath(), arguments);
}

// path -> bytes of every file a report lists below its task folder.
std::map<std::string, std::uint64_t> Listed(const json& report) {
  std::map<std::string, std::uint64_t> files;
  for (const json& bundle : report["bundles"]) {
    for (const json& file : bundle["files"]) files[file["path"]] = file["bytes"];
  }
  for (const json& file : report["otherFiles"]) files[file["path"]] = file["bytes"];
  return files;
}

json Report(const std::string& file) { return json::parse(ReadFile(file)); }

}  // namespace

// Every file written is listed with its size and nothing listed is missing; running the four tasks
// in one go writes what four single runs write.
TEST(ExportReport, ReportsListTheirTreesExactlyAndAllTasksEqualsFourRuns) {
  ScopedTempDir temp("report");
  const CliRun all = Export(temp / "all", "all", {"--no-mirror"});
  ASSERT_EQ(all.exitCode, 0) << all.out;
  for (int i = 0; i < 4; ++i) {
    const std::string folder = temp.path() + "all\\" + kFolders[i];
    const json report = Report(folder + "\\export_report.json");
    std::map<std::string, std::uint64_t> onDisk;
    for (const std::string& file : FilesBelow(folder)) {
      if (file.rfind("export_report.", 0) != 0) onDisk[file] = ReadFile(folder + "\\" + file).size();
    }
    EXPECT_EQ(Listed(report), onDisk) << kTasks[i];
    EXPECT_FALSE(onDisk.empty());
    for (const json& bundle : report["bundles"]) {
      EXPECT_GT(bundle["origin"]["line"].get<int>(), i == 3 ? -1 : 0) << bundle["folder"];
      for (const json& missing : bundle["missing"]) EXPECT_NE(missing["namedBy"], "") << missing;
    }
    for (const json& left : report["leftOut"]) {
      if (left["reason"] == "standard") {
        EXPECT_NE(left["rule"], "") << left;
      }
    }

    const CliRun single = Export(temp / "single", kTasks[i], {"--no-mirror"});
    ASSERT_EQ(single.exitCode, 0) << single.out;
    const std::string alone = temp.path() + "single\\" + kFolders[i];
    EXPECT_EQ(FilesBelow(alone), FilesBelow(folder));
    json aloneReport = Report(alone + "\\export_report.json");
    json allReport = report;
    aloneReport.erase("run");
    allReport.erase("run");
    EXPECT_EQ(aloneReport, allReport) << kTasks[i];
    EXPECT_EQ(ReadFile(alone + "\\export_report.txt"), ReadFile(folder + "\\export_report.txt"));
  }
  // The demo client names files it lacks; each is reported with what named it.
  const json msm = Report(temp.path() + "all\\Exported_Models_MSM\\export_report.json");
  EXPECT_EQ(msm["totals"]["missingReferences"], 3);
  EXPECT_EQ(msm["leftOut"][0]["rule"], "model name");
  EXPECT_NE(ReadFile(temp.path() + "all\\Exported_Models_MSM\\export_report.txt").find("    needed by "),
            std::string::npos);
}

// A dry run creates nothing below the output and mirror roots and plans exactly what the real run
// then writes there.
TEST(ExportReport, DryRunChangesNothingAndPlansWhatTheRealRunWrites) {
  ScopedTempDir temp("plan");
  const std::string mirror = NativePath(temp / "mirror");
  const CliRun plan =
      Export(temp / "out", "all",
             {"--mirror-root", mirror, "--dry-run", "--report", NativePath(temp / "plan.json")});
  ASSERT_EQ(plan.exitCode, 0) << plan.out;
  EXPECT_FALSE(Exists(temp / "out"));
  EXPECT_FALSE(Exists(temp / "mirror"));
  EXPECT_NE(plan.out.find("PLAN: "), std::string::npos);
  const CliRun real = Export(temp / "out", "all", {"--mirror-root", mirror});
  ASSERT_EQ(real.exitCode, 0) << real.out;
  for (int i = 0; i < 4; ++i) {
    json planned = Report(temp / (std::string("plan-") + kTasks[i] + ".json"));
    json written = Report(temp.path() + "out\\" + kFolders[i] + "\\export_report.json");
    EXPECT_EQ(planned["kind"], "plan");
    planned.erase("run");
    planned.erase("kind");
    written.erase("run");
    written.erase("kind");
    EXPECT_EQ(planned, written) << kTasks[i];
  }
  EXPECT_FALSE(FilesBelow(temp / "mirror").empty());
}
