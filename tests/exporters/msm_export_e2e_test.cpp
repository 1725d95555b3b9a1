// "Hair + Body" from START to the last file: the real pipeline runner on a worker thread, the real
// parser, filter, index, model runtime and exporter, on a client written into a temp folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "exporters/export_test_helpers.hpp"
#include "log/gui_log.hpp"
#include "pipeline/msm_task.hpp"
#include "pipeline/pipeline_runner.hpp"
#include "pipeline/pipeline_state.hpp"
#include "platform/platform.hpp"
#include "support/debug_log_capture.hpp"
#include "support/gr2_writer.hpp"
#include "support/granny_analyzer.hpp"

#ifdef VINTREL_CLI_PATH

namespace {

using exporttest::Contains;
using exporttest::FilesBelow;
using exporttest::ReadFile;
using exporttest::Records;

std::string CrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
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

class MsmExportEndToEnd : public testing::Test {
 protected:
  MsmExportEndToEnd()
      : client_(temp_.MakeFolder("client")),
        output_(temp_.Join("out")),
        mirror_(temp_.MakeFolder("mirror") + "\\"),
        roots_("", "", mirror_) {
    referenceFolder() = temp_.MakeFolder("refs");
    temp_.WriteFile("refs\\warrior_m_old.msm", CrLf(kOldWarrior));
    // The runtime is built beside the command-line tool.
    const std::string cli = platform::ToInternalPath(VINTREL_CLI_PATH);
    GrannyAnalyzer::Initialize(cli.substr(0, cli.rfind('\\') + 1) +
                               platform::SharedLibraryFileName("granny2"));
    RegisterTaskDriver(TaskMsm, [] { RunMsmTask(referenceFolder()); });
    GetPipelineState().selectedTask.store(TaskMsm);
  }

  ~MsmExportEndToEnd() override {
    SetGuiLogListener(nullptr);
    GrannyAnalyzer::Shutdown();
  }

  static std::string& referenceFolder() {
    static std::string folder;
    return folder;
  }

  void Model(const std::string& relative, const std::vector<std::string>& textures) {
    temp_.MakeFolder("client\\" + relative.substr(0, relative.rfind('\\')));
    ASSERT_TRUE(WriteGr2File(temp_.Join("client\\" + relative), textures, 1));
  }
  void ClientFile(const std::string& relative, const std::string& contents) {
    temp_.WriteFile("client\\" + relative, contents);
  }

  void WriteFullClient() {
    temp_.WriteFile("client\\data\\msm\\warrior_m.msm", CrLf(kWarrior));
    temp_.WriteFile("client\\backup\\Warrior_M.msm", kWarriorBackup);
    temp_.WriteFile("client\\data\\msm\\sura_m.msm", kHostileSura);
    Model("pc\\warrior\\body_05.gr2", {"d:\\ymir work\\pc\\warrior\\body_05.dds"});
    Model("pc\\warrior\\hair\\hair_02.gr2", {"d:\\ymir work\\pc\\warrior\\hair\\hair_02.dds"});
    Model("pc\\warrior\\hair\\hair_09.gr2", {"d:\\ymir work\\pc\\warrior\\hair\\hair_09.dds"});
    Model("pc\\sura\\body_s1.gr2", {"..\\..\\..\\..\\..\\..\\outside_model.dds"});
    ClientFile("pc\\warrior\\body_05.dds", "body 05");
    ClientFile("pc\\warrior\\body_05_gold.dds", "body 05 gold");
    ClientFile("pc\\warrior\\hair\\hair_02.dds", "hair 02");
    ClientFile("effect\\hair_glow.mde", "glow");
    ClientFile("effect\\escape.mde", "hostile");
    ClientFile("outside.dds", "hostile");
    ClientFile("outside_model.dds", "hostile");
  }

  struct Run {
    std::vector<std::string> window;
    bool asked = false;
    std::string title;
    std::vector<std::string> candidates;
  };

  // START PROCESSING: RunPipeline on a worker; this thread answers a selection request like the
  // popup, ticking `ticks`. `whileRunning` runs beside the worker (it may press STOP).
  Run Start(const std::vector<int>& ticks, const std::function<void()>& whileRunning = nullptr) {
    Run run;
    std::mutex windowMutex;
    SetGuiLogListener([&](const GuiLogEntry& entry) {
      std::lock_guard<std::mutex> lock(windowMutex);
      run.window.push_back(entry.text);
    });
    SetPathText(ClientPathText(), client_.c_str());
    SetPathText(OutputPathText(), output_.c_str());
    std::atomic<bool> finished{false};
    std::thread worker([&] {
      RunPipeline();
      finished.store(true);
    });
    std::thread side;
    if (whileRunning) side = std::thread(whileRunning);
    SelectionRequest& request = GetSelectionRequest();
    while (!finished.load()) {
      if (request.awaitingAnswer.load()) {
        {
          std::lock_guard<std::mutex> lock(request.answerMutex);
          run.asked = true;
          run.title = request.title;
          run.candidates = request.candidates;
          for (int index : ticks) request.ticked[static_cast<std::size_t>(index)] = true;
        }
        ConfirmSelection();
      }
      platform::SleepMilliseconds(5);
    }
    worker.join();
    if (side.joinable()) side.join();
    SetGuiLogListener(nullptr);
    return run;
  }

  std::string TaskFolder() const { return output_ + "\\Exported_Models_MSM"; }

  exporttest::TempFolder temp_;
  std::string client_;
  std::string output_;
  std::string mirror_;
  exporttest::ScopedRunRoots roots_;
};

TEST_F(MsmExportEndToEnd, ExportsNewGroupsOnceWithEveryFileInPlace) {
  WriteFullClient();
  testenv::DebugLogCapture log;
  const Run run = Start({0, 1});
  const std::vector<std::string> lines = log.Lines();

  ASSERT_TRUE(run.asked);
  EXPECT_EQ(run.title, "Select file MSM:");
  EXPECT_EQ(run.candidates, (std::vector<std::string>{"sura_m.msm", "Warrior_M.msm (2x)"}));
  EXPECT_EQ(run.window.back(), "OK: Task Completed.");
  EXPECT_TRUE(Contains(run.window, "Parsing: Warrior_M.msm"));

  // Parse order: sura_m, then the two copies of warrior_m in the order they were found (the backup
  // folder before the data folder). Numbers go to every group kept after de-duplication, before the old
  // filter.
  const std::string sura = "sura_m\\ShapeData\\[0001]ShapeData\\";
  const std::string hair02 = "Warrior_M\\HairData\\[0002]HairData\\";
  const std::string hair09 = "Warrior_M\\HairData\\[0003]HairData\\";
  // data\warrior_m.msm writes into the folder that the backup copy created, spelled as that one is.
  const std::string body05 = "Warrior_M\\ShapeData\\[0006]ShapeData\\";
  const std::string hair03 = "Warrior_M\\HairData\\[0007]HairData\\";
  EXPECT_EQ(FilesBelow(TaskFolder()), (std::set<std::string>{
                                          sura + "group_snippet.txt",
                                          sura + "body_s1.gr2",
                                          hair02 + "group_snippet.txt",
                                          hair02 + "hair_02.gr2",
                                          hair02 + "effect\\hair_glow.mde",
                                          hair02 + "pc\\warrior\\hair\\hair_02.dds",
                                          hair02 + "hair\\hair_02.dds",
                                          hair09 + "group_snippet.txt",
                                          hair09 + "hair_09.gr2",
                                          body05 + "group_snippet.txt",
                                          body05 + "body_05.gr2",
                                          body05 + "pc\\warrior\\body_05.dds",
                                          body05 + "body_05.dds",
                                          body05 + "body_05_gold.dds",
                                          hair03 + "group_snippet.txt",
                                      }));
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
    EXPECT_TRUE(file.rfind("client\\", 0) == 0 || file.rfind("out\\", 0) == 0 ||
                file.rfind("mirror\\", 0) == 0 || file.rfind("refs\\", 0) == 0)
        << file;
  }

  EXPECT_TRUE(
      Contains(lines,
               "[FilterManager] Skipping group '[0004]BaseModel' from MSM='warrior_m.msm' reason='model_old' "
               "model='warrior_novice.gr2'"));
  EXPECT_TRUE(
      Contains(lines,
               "[FilterManager] Skipping group '[0005]ShapeData' from MSM='warrior_m.msm' reason='model_old' "
               "model='body_old.gr2'"));
  EXPECT_EQ(Records(lines),
            (std::vector<std::string>{
                "{\"object\":\"[0001]ShapeData\",\"type\":\"ShapeData\",\"msm\":\"sura_m.msm\",\"gr2\":"
                "\"body_s1.gr2\","
                "\"mde_copied\":0,\"textures_copied\":0,\"dds_copied\":0,\"warnings\":3,\"status\":\"ok\"}",
                "{\"object\":\"[0002]HairData\",\"type\":\"HairData\",\"msm\":\"Warrior_M.msm\",\"gr2\":"
                "\"hair_02.gr2\","
                "\"mde_copied\":1,\"textures_copied\":1,\"dds_copied\":1,\"warnings\":0,\"status\":\"ok\"}",
                "{\"object\":\"[0003]HairData\",\"type\":\"HairData\",\"msm\":\"Warrior_M.msm\",\"gr2\":"
                "\"hair_09.gr2\","
                "\"mde_copied\":0,\"textures_copied\":0,\"dds_copied\":0,\"warnings\":1,\"status\":\"ok\"}",
                "{\"object\":\"[0006]ShapeData\",\"type\":\"ShapeData\",\"msm\":\"warrior_m.msm\",\"gr2\":"
                "\"body_05.gr2\","
                "\"mde_copied\":0,\"textures_copied\":1,\"dds_copied\":2,\"warnings\":0,\"status\":\"ok\"}",
                "{\"object\":\"[0007]HairData\",\"type\":\"HairData\",\"msm\":\"warrior_m.msm\",\"gr2\":\"\","
                "\"mde_copied\":0,\"textures_copied\":0,\"dds_copied\":0,\"warnings\":1,\"status\":\"ok\"}",
            }));
}

TEST_F(MsmExportEndToEnd, OnlyTheTickedScriptIsParsed) {
  WriteFullClient();
  const Run run = Start({0});
  ASSERT_TRUE(run.asked);
  EXPECT_TRUE(Contains(run.window, "Parsing: sura_m.msm"));
  EXPECT_FALSE(Contains(run.window, "Parsing: Warrior_M.msm"));
  EXPECT_EQ(FilesBelow(TaskFolder()),
            (std::set<std::string>{"sura_m\\ShapeData\\[0001]ShapeData\\group_snippet.txt",
                                   "sura_m\\ShapeData\\[0001]ShapeData\\body_s1.gr2"}));
}

TEST_F(MsmExportEndToEnd, WithoutTheRuntimeGroupsKeepTheirModelsButNotTheModelsTextures) {
  WriteFullClient();
  GrannyAnalyzer::Shutdown();
  testenv::DebugLogCapture log;
  Start({1});
  const std::string hair02 = TaskFolder() + "\\Warrior_M\\HairData\\[0001]HairData";
  EXPECT_EQ(FilesBelow(hair02), (std::set<std::string>{"group_snippet.txt", "hair_02.gr2",
                                                       "effect\\hair_glow.mde", "hair\\hair_02.dds"}));
  const std::vector<std::string> records = Records(log.Lines());
  ASSERT_EQ(records.size(), 4u);
  for (const std::string& record : records)
    EXPECT_NE(record.find("\"status\":\"ok\""), std::string::npos) << record;
}

TEST_F(MsmExportEndToEnd, OneScriptNameAsksNothingAndAllOldEndsWithAWarning) {
  temp_.WriteFile("client\\msm\\warrior_m.msm",
                  "BaseModelFileName \"d:/ymir work/pc/warrior/warrior_novice.gr2\"\n");
  const Run run = Start({});
  EXPECT_FALSE(run.asked);
  EXPECT_TRUE(Contains(run.window, "Parsing: warrior_m.msm"));
  EXPECT_TRUE(Contains(run.window, "[WARN] No Group Found After Filters (_old)."));
  EXPECT_EQ(run.window.back(), "OK: Task Completed.");
  EXPECT_TRUE(FilesBelow(TaskFolder()).empty());
}

TEST_F(MsmExportEndToEnd, StopDuringTheExportEndsBeforeTheNextGroup) {
  constexpr int kGroups = 60;
  std::string script = "Group HairData\n{\n\tPathName\t\"d:/ymir work/pc/shaman/\"\n";
  for (int i = 0; i < kGroups; ++i) {
    const std::string n = std::to_string(i);
    script += "\tGroup HairData" + n + "\n\t{\n\t\tModel\t\"h" + n + ".gr2\"\n\t\tSourceSkin\t\"h" + n +
              ".dds\"\n\t}\n";
    Model("pc\\shaman\\h" + n + ".gr2", {"d:\\ymir work\\pc\\shaman\\h" + n + ".dds"});
    ClientFile("pc\\shaman\\h" + n + ".dds", n);
  }
  temp_.WriteFile("client\\shaman_w.msm", script + "}\n");

  // STOP as soon as the first group's snippet is on disk.
  const std::string firstSnippet = TaskFolder() + "\\shaman_w\\HairData\\[0001]HairData\\group_snippet.txt";
  testenv::DebugLogCapture log;
  const Run run = Start({}, [&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      if (platform::GetFileAttributes(firstSnippet) != platform::kInvalidAttributes) {
        GetPipelineState().stopRequested.store(true);
        return;
      }
      std::this_thread::yield();
    }
  });

  EXPECT_EQ(run.window.back(), "INFO: Process Stopped.");
  EXPECT_TRUE(Contains(run.window, "[OK] MSM completato."));
  const std::size_t exported = Records(log.Lines()).size();
  std::set<std::string> groups;
  for (const std::string& file : FilesBelow(TaskFolder() + "\\shaman_w\\HairData")) {
    groups.insert(file.substr(0, file.find('\\')));
  }
  EXPECT_GE(groups.size(), 1u);
  EXPECT_LT(groups.size(), static_cast<std::size_t>(kGroups));
  // A group cut short by the stop writes no summary.
  EXPECT_LE(exported, groups.size());
}

}  // namespace

#endif  // VINTREL_CLI_PATH
