// "Hair + Body" from START to the last file: the real pipeline runner on a worker thread, the real
// parser, filter, index, model runtime and exporter, on a client written into a temp folder.
#include <gtest/gtest.h>

#include "pipeline/msm_task.hpp"
#include "pipeline/task_table.hpp"
#include "support/gr2_writer.hpp"
#include "support/granny_analyzer.hpp"
#include "support/pipeline_run.hpp"
#include "support/test_environment.hpp"

namespace {

using namespace testenv;

// A summary record of a group that was exported.
std::string Record(const std::string& object, const std::string& msm, const std::string& gr2, int mde,
                   int textures, int dds, int warnings) {
  return "{\"object\":\"" + object + "\",\"type\":\"" + object.substr(6) + "\",\"msm\":\"" + msm +
         "\",\"gr2\":\"" + gr2 + "\",\"mde_copied\":" + std::to_string(mde) +
         ",\"textures_copied\":" + std::to_string(textures) + ",\"dds_copied\":" + std::to_string(dds) +
         ",\"warnings\":" + std::to_string(warnings) + ",\"status\":\"ok\"}";
}

// The old lists of this test's "standard client".
const char kOldWarrior[] =
    "BaseModelFileName\t\"d:/ymir work/pc/warrior/warrior_novice.gr2\"\n"
    "Group ShapeData\n{\n\tPathName\t\"d:/ymir work/pc/warrior/\"\n"
    "\tGroup ShapeData01\n\t{\n\t\tModel\t\"body_old.gr2\"\n\t}\n}\n";

const char kWarrior[] =
    "ScriptType\tRaceDataScript\n"
    "BaseModelFileName\t\"d:/ymir work/pc/warrior/warrior_novice.gr2\"\n"
    "Group ShapeData\n{\n\tPathName\t\"d:/ymir work/pc/warrior/\"\n"
    "\tGroup ShapeData01\n\t{\n\t\tShapeIndex\t1\n\t\tModel\t\"body_old.gr2\"\n\t}\n"
    "\tGroup ShapeData05\n\t{\n\t\tShapeIndex\t5\n\t\tModel\t\"body_05.gr2\"\n"
    "\t\tSourceSkin\t\"body_05.dds\"\n\t\tTargetSkin\t\"body_05_gold.dds\"\n\t}\n}\n"
    "Group HairData\n{\n\tPathName\t\"d:/ymir work/pc/warrior/\"\n"
    "\tGroup HairData02\n\t{\n\t\tHairIndex\t2\n\t\tModel\t\"hair/hair_02.gr2\"\n"
    "\t\tSourceSkin\t\"hair/hair_02.dds\"\n\t}\n"
    "\tGroup HairData03\n\t{\n\t\tHairIndex\t3\n\t}\n}\n";

// The same script in a second folder: HairData02 again (its model named from another folder, still
// the same group) and a group of its own.
const char kWarriorBackup[] =
    "Group HairData\n{\n\tPathName\t\"d:/ymir work/pc/warrior_backup/\"\n"
    "\tGroup HairData02\n\t{\n\t\tHairIndex\t2\n\t\tModel\t\"hair/HAIR_02.gr2\"\n"
    "\t\tSourceSkin\t\"hair/hair_02.dds\"\n"
    "\t\tMeshFileName\t\"d:/ymir work/effect/hair_glow.mde\"\n\t}\n"
    "\tGroup HairData09\n\t{\n\t\tHairIndex\t9\n\t\tModel\t\"hair/hair_09.gr2\"\n\t}\n}\n";

// Written by a stranger: every path tries to leave the folder it is exported into.
const char kHostileSura[] =
    "Group ShapeData\n{\n\tPathName\t\"d:/ymir work/pc/sura/\"\n"
    "\tGroup ShapeData01\n\t{\n\t\tModel\t\"body_s1.gr2\"\n"
    "\t\tSourceSkin\t\"../../../../../../outside.dds\"\n"
    "\t\tMeshFileName\t\"d:/ymir work/../../../../../escape.mde\"\n\t}\n}\n";

std::string referenceFolder;  // the driver takes no captures

class MsmExportEndToEnd : public testing::Test {
 protected:
  MsmExportEndToEnd() : roots_("", "", mirror_) {
    referenceFolder = temp_.path() + "refs";
    WriteFile(referenceFolder + "\\warrior_m_old.msm", testenv::WithLineEnd(kOldWarrior, "\r\n"));
    // The runtime is built beside the command-line tool.
    GrannyAnalyzer::Initialize(testenv::BuiltRuntimePath());
    RegisterTaskDriver(TaskMsm, [] { RunMsmTask(referenceFolder); });
    GetPipelineState().selectedTask.store(TaskMsm);
  }
  ~MsmExportEndToEnd() override {
    SetGuiLogListener(nullptr);
    GrannyAnalyzer::Shutdown();
  }

  void Model(const std::string& relative, const std::string& texture) {
    WriteFile(client_ + relative, BuildGr2({texture}, 1));
  }

  void WriteFullClient() {
    WriteFile(client_ + "data\\msm\\warrior_m.msm", testenv::WithLineEnd(kWarrior, "\r\n"));
    WriteFile(client_ + "backup\\Warrior_M.msm", kWarriorBackup);
    WriteFile(client_ + "data\\msm\\sura_m.msm", kHostileSura);
    for (const char* model : {"body_05", "hair\\hair_02", "hair\\hair_09"}) {
      Model(std::string("pc\\warrior\\") + model + ".gr2",
            std::string("d:\\ymir work\\pc\\warrior\\") + model + ".dds");
    }
    Model("pc\\sura\\body_s1.gr2", "..\\..\\..\\..\\..\\..\\outside_model.dds");
    WriteFile(client_ + "pc\\warrior\\body_05.dds", "body 05");
    WriteFile(client_ + "pc\\warrior\\body_05_gold.dds", "body 05 gold");
    WriteFile(client_ + "pc\\warrior\\hair\\hair_02.dds", "hair 02");
    WriteFile(client_ + "effect\\hair_glow.mde", "glow");
    for (const char* hostile : {"effect\\escape.mde", "outside.dds", "outside_model.dds"})
      WriteFile(client_ + hostile, "x");
  }

  // START PROCESSING on this test's client and output.
  PipelineRun Start(const std::vector<int>& ticks, const std::string& stopWhenExists = "") {
    return StartPipeline(client_, output_, ticks, stopWhenExists);
  }

  std::string TaskFolder() const { return output_ + "\\Exported_Models_MSM"; }

  testenv::ScopedTempDir temp_{"export"};
  std::string client_ = temp_.path() + "client\\";
  std::string output_ = temp_.path() + "out";
  std::string mirror_ = temp_.path() + "mirror\\";
  testenv::ScopedRunRoots roots_;
};

TEST_F(MsmExportEndToEnd, ExportsNewGroupsOnceWithEveryFileInPlace) {
  WriteFullClient();
  testenv::DebugLogCapture log;
  const PipelineRun run = Start({0, 1});
  const std::vector<std::string> lines = log.Lines();

  EXPECT_EQ(run.title, "Select file MSM:");
  EXPECT_EQ(run.candidates, (std::vector<std::string>{"sura_m.msm", "Warrior_M.msm (2x)"}));
  EXPECT_EQ(run.window.back(), "OK: Task Completed.");

  // Parse order: sura_m, then the two copies of warrior_m as found (backup folder first). Numbers go to
  // every group kept after de-duplication, before the old filter; data\warrior_m.msm writes into the
  // folder the backup copy created, spelled as that one is.
  const std::string sura = "sura_m\\ShapeData\\[0001]ShapeData\\";
  const std::string hair02 = "Warrior_M\\HairData\\[0002]HairData\\";
  const std::string hair09 = "Warrior_M\\HairData\\[0003]HairData\\";
  const std::string body05 = "Warrior_M\\ShapeData\\[0006]ShapeData\\";
  const std::string hair03 = "Warrior_M\\HairData\\[0007]HairData\\";
  EXPECT_EQ(
      ExportedFiles(TaskFolder()),
      (std::set<std::string>{
          sura + "group_snippet.txt", sura + "body_s1.gr2", hair02 + "group_snippet.txt",
          hair02 + "hair_02.gr2", hair02 + "effect\\hair_glow.mde", hair02 + "pc\\warrior\\hair\\hair_02.dds",
          hair02 + "hair\\hair_02.dds", hair09 + "group_snippet.txt", hair09 + "hair_09.gr2",
          body05 + "group_snippet.txt", body05 + "body_05.gr2", body05 + "pc\\warrior\\body_05.dds",
          body05 + "body_05.dds", body05 + "body_05_gold.dds", hair03 + "group_snippet.txt"}));
  EXPECT_EQ(ReadFile(TaskFolder() + "\\" + body05 + "group_snippet.txt"),
            "\t\tShapeIndex\t5\r\n\t\tModel\t\"body_05.gr2\"\r\n\t\tSourceSkin\t\"body_05.dds\"\r\n"
            "\t\tTargetSkin\t\"body_05_gold.dds\"\r\n");
  EXPECT_EQ(ReadFile(TaskFolder() + "\\" + hair02 + "pc\\warrior\\hair\\hair_02.dds"), "hair 02");
  EXPECT_EQ(ReadFile(TaskFolder() + "\\" + body05 + "body_05_gold.dds"), "body 05 gold");
  EXPECT_EQ(
      FilesBelow(mirror_),
      (std::set<std::string>{"effect\\hair_glow.mde", "pc\\warrior\\hair\\hair_02.dds", "hair\\hair_02.dds",
                             "pc\\warrior\\body_05.dds", "body_05.dds", "body_05_gold.dds"}));

  // The hostile group wrote its snippet and model, and nothing outside the output folder.
  for (const std::string& file : FilesBelow(temp_.path())) {
    const std::string top = file.substr(0, file.find('\\'));
    EXPECT_TRUE(top == "client" || top == "out" || top == "mirror" || top == "refs") << file;
  }

  for (const char* skipped :
       {"[0004]BaseModel' from MSM='warrior_m.msm' reason='model_old' model='warrior_novice.gr2'",
        "[0005]ShapeData' from MSM='warrior_m.msm' reason='model_old' model='body_old.gr2'"}) {
    EXPECT_TRUE(Contains(lines, std::string("[FilterManager] Skipping group '") + skipped)) << skipped;
  }
  EXPECT_EQ(Records(lines),
            (std::vector<std::string>{Record("[0001]ShapeData", "sura_m.msm", "body_s1.gr2", 0, 0, 0, 3),
                                      Record("[0002]HairData", "Warrior_M.msm", "hair_02.gr2", 1, 1, 1, 0),
                                      Record("[0003]HairData", "Warrior_M.msm", "hair_09.gr2", 0, 0, 0, 1),
                                      Record("[0006]ShapeData", "warrior_m.msm", "body_05.gr2", 0, 1, 2, 0),
                                      Record("[0007]HairData", "warrior_m.msm", "", 0, 0, 0, 1)}));
}

TEST_F(MsmExportEndToEnd, OneScriptNameAsksNothingAndAllOldEndsWithAWarning) {
  WriteFile(client_ + "msm\\warrior_m.msm",
            "BaseModelFileName \"d:/ymir work/pc/warrior/warrior_novice.gr2\"\n");
  const PipelineRun run = Start({});
  EXPECT_TRUE(run.title.empty());
  EXPECT_TRUE(Contains(run.window, "Parsing: warrior_m.msm"));
  EXPECT_TRUE(Contains(run.window, "[WARN] No Group Found After Filters (_old)."));
  EXPECT_EQ(run.window.back(), "OK: Task Completed.");
  EXPECT_TRUE(ExportedFiles(TaskFolder()).empty());
}

TEST_F(MsmExportEndToEnd, StopDuringTheExportEndsBeforeTheNextGroup) {
  constexpr int kGroups = 60;
  std::string script = "Group HairData\n{\n\tPathName\t\"d:/ymir work/pc/shaman/\"\n";
  for (int i = 0; i < kGroups; ++i) {
    const std::string n = std::to_string(i);
    script += "\tGroup HairData" + n + "\n\t{\n\t\tModel\t\"h" + n + ".gr2\"\n\t\tSourceSkin\t\"h" + n +
              ".dds\"\n\t}\n";
    Model("pc\\shaman\\h" + n + ".gr2", "d:\\ymir work\\pc\\shaman\\h" + n + ".dds");
    WriteFile(client_ + "pc\\shaman\\h" + n + ".dds", n);
  }
  WriteFile(client_ + "shaman_w.msm", script + "}\n");

  testenv::DebugLogCapture log;
  const PipelineRun run = Start({}, TaskFolder() + "\\shaman_w\\HairData\\[0001]HairData\\group_snippet.txt");
  EXPECT_EQ(run.window.back(), "INFO: Process Stopped.");
  EXPECT_TRUE(Contains(run.window, "[OK] MSM completato."));
  std::set<std::string> groups;
  for (const std::string& file : FilesBelow(TaskFolder() + "\\shaman_w\\HairData")) {
    groups.insert(file.substr(0, file.find('\\')));
  }
  EXPECT_GE(groups.size(), 1u);
  EXPECT_LT(groups.size(), static_cast<std::size_t>(kGroups));
  // A group cut short by the stop writes no summary.
  EXPECT_LE(Records(log.Lines()).size(), groups.size());
}

}  // namespace
