// "Map Objects" from START to the last file: the real pipeline runner on a worker thread, the real
// readers, index, model runtime and exporter, on clients written into a temp folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "exporters/map_object_exporter.hpp"

#include "pipeline/pipeline_state.hpp"
#include "support/gr2_writer.hpp"
#include "support/granny_analyzer.hpp"
#include "support/pipeline_run.hpp"
#include "support/test_environment.hpp"

namespace {

using namespace testenv;

// A .prb (key "buildingfile") or .pre (key "effectfile") as real clients write them.
std::string Prop(const std::string& name, const std::string& type, const std::string& key,
                 const std::string& value) {
  const std::string line = key.empty() ? "" : key + "\t\t\"" + value + "\"\r\n";
  return "YPRT\r\n1704170211\r\npropertyname\t\t\"" + name + "\"\r\npropertytype\t\t\"" + type + "\"\r\n" +
         line + "isattributedata\t\t\"0\"\r\n";
}

class MapObjectsEndToEnd : public testing::Test {
 protected:
  MapObjectsEndToEnd() : roots_("", "", mirror_) {
    GrannyAnalyzer::Initialize(BuiltRuntimePath());
    GetPipelineState().selectedTask.store(TaskMapObjects);
  }
  ~MapObjectsEndToEnd() override { GrannyAnalyzer::Shutdown(); }

  ScopedTempDir temp_{"map"};
  std::string client_ = temp_.path() + "client\\";
  std::string mirror_ = temp_.path() + "mirror\\";
  ScopedRunRoots roots_;
};

TEST_F(MapObjectsEndToEnd, CopiesEachFileOnceAndNothingOutsideTheOutput) {
  const std::string props = client_ + "pack\\Property\\property\\", work = client_ + "pack\\ymir work\\";
  for (const char* folder : {"pack\\Property\\property\\zone_a\\", "pack2\\property\\"})
    WriteFile(client_ + folder + "house01.prb",
              Prop("House01", "Building", "buildingfile", "d:/ymir work/zone_a/house01.gr2"));
  WriteFile(work + "zone_a\\House01.gr2",
            BuildGr2({"D:\\Ymir Work\\zone_a\\roof.dds", "d:\\ymir work\\zone_a\\roof.dds"}, 1));
  WriteFile(work + "zone_a\\Roof.dds", "roof");
  WriteFile(props + "fire01.prb", Prop("Fire01", "Effect", "", ""));
  WriteFile(client_ + "zone_b\\Fire01.MSE", "List TextureFiles\r\n{\r\n\t\"fire.dds\"\r\n}\r\n");
  WriteFile(client_ + "zone_b\\fire.dds", "fire");
  for (const char* name : {"..\\..\\..\\evil", "C:\\evil"})
    WriteFile(props + name[0] + ".prb",
              Prop(name, "Building", "buildingfile", "d:/ymir work/zone_a/house01.gr2"));
  WriteFile(props + "trap.prb",
            Prop("Trap", "Other", "buildingfile", "d:/ymir work/../../../../outside.gr2"));
  WriteFile(client_ + "zone_c\\trap.mse",
            "MeshFileName \"d:/ymir work/../../escape.mde\"\r\nList "
            "TextureFiles\r\n{\r\n\"..\\..\\..\\escape.dds\"\r\n}\r\n");
  for (const char* bait : {"outside.gr2", "escape.mde", "escape.dds"}) WriteFile(client_ + bait, bait);
  WriteFile(temp_.path() + "elsewhere\\x.prb", Prop("x", "Building", "", ""));
  const bool linked = MakeLink(temp_.path() + "elsewhere", client_ + "link_out", true);

  DebugLogCapture log;
  const PipelineRun run = StartPipeline(client_, temp_.path() + "out", {});
  const std::vector<std::string> lines = log.Lines();
  const auto count = [&lines](const std::string& part) {
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return l.find(part) != std::string::npos; });
  };
  EXPECT_TRUE(Contains(run.window, "Found 6 PRB files"));
  EXPECT_TRUE(Contains(run.window, "[WARN] Refused object name outside the export folder: ..\\..\\..\\evil"));
  EXPECT_TRUE(Contains(run.window, "[WARN] Refused object name outside the export folder: C:\\evil"));
  // The summary line comes between the task's last line and the run's.
  EXPECT_EQ(std::vector<std::string>(run.window.end() - 4, run.window.end() - 2),
            (std::vector<std::string>{"Map Objects extraction completed!", "Exported: 4/6 objects"}));
  EXPECT_EQ(run.window.back(), "OK: Task Completed.");
  EXPECT_EQ(ExportedFiles(temp_.path() + "out\\map_objects"),
            Tree({{"buildings\\House01\\", "house01.gr2|house01.prb|zone_a\\house01.gr2|zone_a\\roof.dds"},
                  {"effects\\Fire01\\", "fire01.prb|zone_b\\Fire01.MSE|zone_b\\fire.dds"},
                  {"other\\Trap\\", "trap.prb|zone_c\\trap.mse|outside.gr2"}}));
  EXPECT_EQ(FilesBelow(mirror_), Tree({{"zone_a\\", "roof.dds"}, {"zone_b\\", "fire.dds"}}));
  const std::string copied =
      "[IO] TryCopyFile succeeded attempt=1 src=" + client_ + "pack\\ymir work\\zone_a\\";
  EXPECT_EQ(count(copied + "House01.gr2 dst="), 2);
  EXPECT_EQ(count(copied + "Roof.dds dst="), 2);
  // One walk of the client serves the .prb, .pre and .mse lists.
  if (linked) {
    EXPECT_EQ(count("Skipping link that leads outside the client: " + client_ + "link_out"), 1);
  }
  for (const std::string& file : FilesBelow(temp_.path())) {
    const std::string top = file.substr(0, file.find('\\'));
    EXPECT_TRUE(top == "client" || top == "out" || top == "mirror" || top == "elsewhere") << file;
  }
}

TEST_F(MapObjectsEndToEnd, ProgressLinesEveryFiftyAndStopBetweenObjects) {
  WriteFile(client_ + "m\\box.gr2", BuildGr2({}, 1));
  for (int i = 100; i < 220; ++i) {
    const std::string name = "obj" + std::to_string(i);
    WriteFile(client_ + "property\\" + name + ".prb",
              Prop(name, "Building", "buildingfile", "d:/ymir work/m/box.gr2"));
  }
  const std::string stopped = temp_.path() + "stopped";
  const PipelineRun run =
      StartPipeline(client_, stopped, {}, stopped + "\\map_objects\\buildings\\obj205\\obj205.prb");
  EXPECT_TRUE(Contains(run.window, "Progress: 50/120 objects") &&
              Contains(run.window, "Progress: 100/120 objects"));
  EXPECT_EQ(*(run.window.end() - 3), "Process cancelled by user");
  EXPECT_EQ(run.window.back(), "INFO: Process Stopped.");
  const std::size_t made = NamesIn(stopped + "\\map_objects\\buildings").size();
  EXPECT_TRUE(made >= 106 && made < 120) << made;
  EXPECT_EQ(GetPipelineState().prbProcessed.load(), static_cast<int>(made));
}

TEST_F(MapObjectsEndToEnd, EachRunSeesTheClientAsItIsNow) {
  WriteFile(client_ + "property\\tree.prb", Prop("Tree", "Effect", "", ""));
  WriteFile(client_ + "property\\tree.pre", Prop("Tree", "Effect", "effectfile", "d:/ymir work/fx/a.mse"));
  WriteFile(client_ + "fx\\a.mse", "");
  StartPipeline(client_, temp_.path() + "first", {});
  EXPECT_TRUE(IsFile(temp_.path() + "first\\map_objects\\effects\\Tree\\fx\\a.mse"));

  // Its .pre moved and naming another script; then another client.
  platform::DeleteFile(client_ + "property\\tree.pre");
  WriteFile(client_ + "extra\\TREE.pre", Prop("Tree", "Effect", "effectfile", "d:/ymir work/fx/b.mse"));
  WriteFile(client_ + "fx\\b.mse", "");
  StartPipeline(client_, temp_.path() + "changed", {});
  EXPECT_EQ(ExportedFiles(temp_.path() + "changed\\map_objects"),
            Tree({{"effects\\Tree\\", "fx\\b.mse|tree.prb|TREE.pre"}}));

  const std::string other = temp_.path() + "other\\";
  WriteFile(other + "property\\tree.prb", Prop("Tree", "Effect", "buildingfile", "d:/ymir work/t/tree.gr2"));
  WriteFile(other + "t\\tree.gr2", "model");
  StartPipeline(other, temp_.path() + "second", {});
  EXPECT_EQ(ExportedFiles(temp_.path() + "second\\map_objects"),
            Tree({{"effects\\Tree\\", "t\\tree.gr2|tree.gr2|tree.prb"}}));
}

}  // namespace

// Objects side by side: a file two objects want is copied by the first of them, whichever thread
// gets there first; when the first fails, the next one that wants it tries, once the first is done.
// A destination two objects write from different sources is written in object order.
TEST(MapObjectCopies, TheFirstObjectThatWantsAFileCopiesIt) {
  MapObjectCopies copies;
  copies.Claim({"D\\a", "d\\b"}, 0);
  copies.Claim({"d\\A", "d\\b"}, 1);
  std::atomic<int> laterBegan{-1};
  std::thread later([&] { laterBegan = copies.Begin("s|d\\a", "d\\a", 1) ? 1 : 0; });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(laterBegan.load(), -1) << "the later object went before the first";
  EXPECT_TRUE(copies.Begin("s|d\\a", "d\\a", 0));
  copies.Made("s|d\\a");
  later.join();
  EXPECT_EQ(laterBegan.load(), 0);

  // Object 0 fails to make "b" and object 1 writes it from another source: both wait for object 0.
  EXPECT_TRUE(copies.Begin("s|d\\b", "d\\b", 0));
  laterBegan = -1;
  std::atomic<int> otherBegan{-1};
  std::thread retry([&] { laterBegan = copies.Begin("s|d\\b", "d\\b", 1) ? 1 : 0; });
  std::thread other([&] { otherBegan = copies.Begin("t|d\\b", "d\\b", 1) ? 1 : 0; });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(laterBegan.load() + otherBegan.load(), -2) << "went before the first object was done";
  copies.Release(0);
  retry.join();
  other.join();
  EXPECT_EQ(laterBegan.load() + otherBegan.load(), 2);
  // A file nobody claimed goes at once, and only until made.
  EXPECT_TRUE(copies.Begin("c", "c", 5));
  copies.Made("c");
  EXPECT_FALSE(copies.Begin("c", "c", 2));
}
