// "Npc + Mob" from START to the last file: the real runner, lists, filter, index, model runtime and
// exporter, on a copy of the demo client with hostile names and links added.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>

#include "exporters/npc_exporter.hpp"
#include "log/gui_log.hpp"
#include "pipeline/npc_task.hpp"
#include "pipeline/pipeline_runner.hpp"
#include "pipeline/pipeline_state.hpp"
#include "pipeline/task_table.hpp"
#include "support/granny_analyzer.hpp"
#include "support/test_environment.hpp"

namespace {

using namespace testenv;
using Tree = std::vector<std::pair<std::string, std::vector<std::string>>>;

std::set<std::string> Expand(const Tree& tree) {
  std::set<std::string> files;
  for (const auto& folder : tree) {
    for (const std::string& file : folder.second) files.insert(folder.first + file);
  }
  return files;
}

std::string Source(const std::string& relative) {
  return platform::ToInternalPath(VINTREL_SOURCE_DIR) + "\\" + relative;
}

class NpcExportEndToEnd : public testing::Test {
 protected:
  NpcExportEndToEnd() : roots_("", "", mirror_) {
    GrannyAnalyzer::Initialize(BuiltRuntimePath());
    RegisterTaskDriver(TaskNpc, [] { RunNpcTask(Source("resources\\standard_filters")); });
    GetPipelineState().selectedTask.store(TaskNpc);
    SetClientPathText(client_);
    SetOutputPathText(temp_ / "out");
  }
  ~NpcExportEndToEnd() override {
    RegisterTaskDriver(TaskNpc, [] { RunNpcTask(); });
    GrannyAnalyzer::Shutdown();
  }

  // START, with STOP pressed once `stopWhenExists` is there; returns the window log.
  std::vector<std::string> Start(const std::string& stopWhenExists = "") {
    std::vector<std::string> window;
    SetGuiLogListener([&](const GuiLogEntry& entry) { window.push_back(entry.text); });
    std::atomic<bool> finished{false};
    std::thread stopper([&] {
      while (!finished.load()) {
        if (!stopWhenExists.empty() && Exists(stopWhenExists)) GetPipelineState().stopRequested.store(true);
        platform::SleepMilliseconds(1);
      }
    });
    RunPipeline();
    finished.store(true);
    stopper.join();
    // A STOP pressed just as the run ended would stop whatever this process runs next.
    GetPipelineState().stopRequested.store(false);
    SetGuiLogListener(nullptr);
    return window;
  }

  std::string Task() const { return temp_ / "out\\Exported_Models_NPC\\"; }

  ScopedTempDir temp_{"npc"};
  std::string client_ = temp_ / "client\\";
  std::string mirror_ = temp_ / "mirror\\";
  ScopedRunRoots roots_;
};

TEST_F(NpcExportEndToEnd, ExportsEachNewFolderWithItsEffectsAndTexturesAndNothingElse) {
  const std::string demo = Source("samples\\demo_client");
  for (const std::string& file : FilesBelow(demo)) WriteFile(client_ + file, ReadFile(demo + "\\" + file));
  // A same-named file at the root that a look-up below the client root alone would take.
  WriteFile(client_ + "boss_flame.dds", "decoy");
  for (const char* outside : {"x\\x.gr2", "b\\b.gr2", "elsewhere\\elsewhere.gr2"})
    WriteFile(temp_ / outside, "x");
  WriteFile(client_ + "locale\\npclist.txt", ReadFile(client_ + "locale\\npclist.txt") +
                                                 "8101\t..\\..\\x\r\n8102\ta]\\..\\..\\b\r\n8103\tC:\\x\r\n" +
                                                 "8104\t" + temp_ / "elsewhere" + "\r\n8106\tstray|dog" +
                                                 "\r\n8105\t" + client_ + "npc\\pony_normal\r\n");
  const bool linked = MakeLink(client_ + "effect", client_ + "monster\\boss_a\\shared", true) &&
                      MakeLink(client_ + "monster\\boss_a", client_ + "monster\\boss_a\\self", true);

  DebugLogCapture log;
  testing::internal::CaptureStdout();
  const std::vector<std::string> window = Start();
  const std::string console = testing::internal::GetCapturedStdout();
  const std::vector<std::string> lines = log.Lines();

  EXPECT_EQ(window.back(), "OK: Task Completed.");
  EXPECT_TRUE(Contains(window, "Processing 13 NPC..."));  // 101, 102 and 9001 are old, 8002 is in both lists
  const Tree boss = {
      {"[boss-a]\\",
       {"attack.msa", "wait.msa", "boss_a.dds", "boss_a.gr2", "monster\\boss_a\\boss_a.dds",
        "effect\\common\\boss_spark.dds"}},
      {"[boss-a]\\effect\\monster\\boss_a\\", {"fire.mse", "smoke.mse", "boss_flame.dds", "ring.mde"}}};
  const Tree others = {
      {"[ghost]\\", {"ghost.gr2"}},
      {"[orc_lord_e]\\",
       {"orc_lord_e.dds", "orc_lord_e.gr2", "season1\\monster\\orc_lord_e\\orc_lord_e.dds"}},
      {"[pirate_monster1]\\",
       {"pirate_monster1.dds", "pirate_monster1.gr2",
        "pirate_monsters\\pirate_monster1\\pirate_monster1.dds"}},
      {"[pony_normal]\\", {"pony_normal.dds"}},
      {"[redguild_guard_M]\\",
       {"redguild_guard_M.gr2", "redguild_guard_m.dds", "npc\\redguild_guard_M\\redguild_guard_m.dds"}},
      {"[stray_dog]\\", {"stray_dog.gr2"}}};
  std::set<std::string> expected = Expand(boss);
  expected.merge(Expand(others));
  EXPECT_EQ(ExportedFiles(Task()), expected);
  EXPECT_EQ(ReadFile(Task() + "[boss-a]\\effect\\monster\\boss_a\\boss_flame.dds"),
            ReadFile(client_ + "effect\\monster\\boss_a\\boss_flame.dds"));

  // The mirror: effect files and textures at their game paths, each folder at its own.
  const std::set<std::string> mirrored = FilesBelow(mirror_);
  for (const char* file :
       {"effect\\monster\\boss_a\\smoke.mse", "effect\\common\\boss_spark.dds", "monster\\boss_a\\wait.msa",
        "monster2\\stray_dog\\stray_dog.gr2", "pirate_monsters\\pirate_monster1\\pirate_monster1.gr2",
        "npc\\redguild_guard_M\\redguild_guard_m.dds", "season1\\monster\\orc_lord_e\\orc_lord_e.gr2"})
    EXPECT_EQ(mirrored.count(file), 1u) << file;
  EXPECT_EQ(mirrored.size(), 18u);

  for (const std::string& file : FilesBelow(temp_.path())) {
    const std::string top = file.substr(0, file.find('\\'));
    EXPECT_TRUE(top == "client" || top == "out" || top == "mirror" || top == "x" || top == "b" ||
                top == "elsewhere")
        << file;
  }
  for (const std::string& line : std::vector<std::string>{
           "[NpcProcessor] Found folder via game path: " + client_ + "season1\\monster\\orc_lord_e",
           "[NpcProcessor] Found folder via file index: " + client_ +
               "pack\\ymir work\\pirate_monsters\\pirate_monster1",
           "[NpcProcessor] Found folder via substring search: " + client_ +
               "monster2\\ghost_v2 (matched: ghost_v2)",
           "[NpcProcessor] Found folder via substring search: " + client_ +
               "pack\\ymir work\\monster2\\stray_dog (matched: stray_dog)",
           "[NpcProcessor] Resolved absolute folder: " + client_ + "npc\\pony_normal",
           "[WARN] [NpcProcessor] Folder refused for: ..\\..\\x (leaves the client root)",
           "[WARN] [NpcProcessor] Folder refused for: a]\\..\\..\\b (leaves the client root)",
           "[WARN] [NpcProcessor] Folder refused for: C:\\x (not below the client root)",
           "[WARN] [NpcProcessor] Folder refused for: stray|dog (no folder of the output can bear its name)",
           "[WARN] [NpcProcessor] Folder refused for: " + temp_ / "elsewhere" +
               " (not below the client root)"})
    EXPECT_TRUE(Contains(lines, line)) << line;
  if (linked) {
    // Once for the export, once for the mirror; the link back into the folder itself ends there.
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                              return line.find("outside the folder") != std::string::npos;
                            }),
              2);
  }
  EXPECT_NE(
      console.find(
          "GR2 analizzati: 1\n[OK] GR2 mancanti: 0\n[OK] Texture mancanti: 1\n[OK] Texture redeployed: 1\n"),
      std::string::npos)
      << console;
  EXPECT_NE(console.find("Nessuna folder NPC trovata!"), std::string::npos);
}

TEST_F(NpcExportEndToEnd, StopEndsTheListAfterTheNpcInProgress) {
  std::string list;
  for (int i = 0; i < 40; ++i) {
    WriteFile(client_ + "npc\\n" + std::to_string(i) + "\\n" + std::to_string(i) + ".gr2", "model");
    list += std::to_string(30000 + i) + "\tn" + std::to_string(i) + "\n";
  }
  WriteFile(client_ + "npclist.txt", list);
  const std::vector<std::string> window = Start(Task() + "[n0]\\n0.gr2");
  EXPECT_EQ(window.back(), "INFO: Process Stopped.");
  EXPECT_TRUE(Contains(window, "[OK] NPC completato."));
  EXPECT_GE(NamesIn(Task()).size(), 1u);
  EXPECT_LT(NamesIn(Task()).size(), 40u);
}

// Entries run side by side, yet a model several of them share is analysed by the first, and each
// entry's report comes in list order, whichever thread got there first.
TEST_F(NpcExportEndToEnd, AModelSharedByEntriesIsAnalysedByTheFirst) {
  const std::string model = Source("samples\\demo_client\\monster\\boss_a\\boss_a.gr2");
  WriteFile(client_ + "monster\\twin\\twin.gr2", ReadFile(model));
  for (int i = 0; i < 60; ++i) WriteFile(client_ + "monster\\twin\\m" + std::to_string(i) + ".msa", "x");
  std::string list;
  for (int i = 0; i < 6; ++i) list += std::to_string(9101 + i) + "\ttwin\r\n";
  WriteFile(client_ + "npclist.txt", list);
  testing::internal::CaptureStdout();
  const std::vector<std::string> window = Start();
  const std::string console = testing::internal::GetCapturedStdout();
  EXPECT_EQ(window.back(), "OK: Task Completed.");
  std::string analysed;
  const std::string counted = "GR2 analizzati: ";
  for (std::size_t at = console.find(counted); at != std::string::npos; at = console.find(counted, at + 1))
    analysed += console.substr(at + counted.size(), 1);
  EXPECT_EQ(analysed, "100000") << console;
}

// The client's folders are walked once per task run, and the next run, maybe on a changed client,
// starts afresh.
TEST(NpcProcessor, NameSearchWalksTheClientOncePerTaskRun) {
  ScopedTempDir temp("npcsearch");
  WriteFile(temp / "client\\pack\\early\\early.gr2", "x");
  ScopedRunRoots roots(temp / "client\\", temp / "out", "");
  NpcProcessor first;
  std::string folder;
  EXPECT_TRUE(first.ResolveNpcFolder("early", folder));
  WriteFile(temp / "client\\pack\\late_dog\\late_dog.gr2", "x");
  EXPECT_FALSE(first.ResolveNpcFolder("late_dog", folder));
  NpcProcessor second;
  EXPECT_TRUE(second.ResolveNpcFolder("late_dog", folder));
  EXPECT_EQ(folder, temp / "client\\pack\\late_dog");
}

}  // namespace
