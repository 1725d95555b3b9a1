// "Weapon + Wings" from START to the last file: the real runner, list merge, readers, filters, index,
// model runtime and exporter, on a client written into a temp folder.
#include <gtest/gtest.h>

#include "exporters/item_exporter.hpp"
#include "pipeline/item_task.hpp"
#include "pipeline/task_table.hpp"
#include "support/gr2_writer.hpp"
#include "support/granny_analyzer.hpp"
#include "support/pipeline_run.hpp"
#include "support/test_environment.hpp"

namespace {

using namespace testenv;

const char kWeapon[] = "10\tWEAPON \ticon/item/00010.tga\td:/ymir work/item/weapon/00010.gr2\t";
const char kUpgrade[] = "\tWEAPON\ticon/item/00010.tga\td:/ymir work/item/weapon/00010.gr2\n";
const char kListA[] =
    "20\tETC\ticon/item/etc.tga\n21\tcostume\ticon/item/c.tga\t\n22\t\ticon/item/e.tga\n300\tARMOR\ticon/"
    "item/00300.tga\n"
    "190\tARMOR\ticon/item/missing.tga\td:/ymir work/item/armor/missing.gr2\n"
    "60\tWEAPON\ticon/item/../../../outside_icon.tga\td:/ymir work/item/weapon/hostile.gr2\n";
const char kListB[] =
    "1000\tWEAPON\ticon/item/old.tga\td:/ymir work/item/weapon/old.gr2\n"
    "85001\tAURA\ticon/item/aura.tga\td:/ymir work/effect/aura/aura_01.mse\n";
// 10 has a glow of its own; 12 to 14, folded into 10, have two more (14's first line is overridden).
const char kShining[] =
    "10\t\"d:/ymir work/effect/item/glow_10.mse\"\n12~13\t\"d:/ymir work/effect/item/glow_12.mse\"\n"
    "14\t\"d:/ymir work/effect/item/never.mse\"\n14\t\"D:/Ymir Work/effect/item/glow_14.mse\"\n"
    "60\t\"d:/ymir work/effect/item/hostile.mse\"\n";

std::string Mse(const std::string& mesh, const std::string& texture) {
  return "MeshFileName \"" + mesh + "\"\nList TextureFiles\n{\n\"" + texture + "\"\n}\n";
}

std::string referenceFolder;  // the driver takes no captures

class ItemExportEndToEnd : public testing::Test {
 protected:
  ItemExportEndToEnd() : roots_("", "", mirror_) {
    referenceFolder = WriteFile(temp_ / "refs\\item_list_old.txt", "1000\tWEAPON\ta\tb\n");
    referenceFolder.resize(referenceFolder.rfind('\\'));
    GrannyAnalyzer::Initialize(BuiltRuntimePath());
    RegisterTaskDriver(TaskItems, [] { RunItemTask(referenceFolder); });
    GetPipelineState().selectedTask.store(TaskItems);
  }
  ~ItemExportEndToEnd() override {
    RegisterTaskDriver(TaskItems, static_cast<TaskDriver>(&RunItemTask));
    GrannyAnalyzer::Shutdown();
  }

  void WriteClient() {
    std::string upgrades;
    for (const char* vnum : {"12", "13", "14"}) upgrades += vnum + std::string(kUpgrade);
    WriteFile(client_ + "locale\\item_list.txt", WithLineEnd(kWeapon + ("\n" + upgrades) + kListA, "\r\n"));
    WriteFile(client_ + "patch\\Item_List.txt", upgrades + kListB);
    WriteFile(client_ + "locale\\shiningtable.txt", kShining);
    const std::string weapon = client_ + "pack\\ymir work\\item\\weapon\\";
    WriteFile(weapon + "00010.gr2", BuildGr2({"D:\\Ymir Work\\item\\weapon\\00010.dds"}, 1));
    WriteFile(weapon + "hostile.gr2", BuildGr2({"d:\\ymir work\\..\\..\\..\\..\\outside_tex.dds"}, 1));
    const std::string effect = client_ + "pack\\ymir work\\effect\\item\\";
    WriteFile(effect + "glow_10.mse",
              Mse("d:/ymir work/effect/item/glow.mde", "D:\\Ymir Work\\effect\\item\\tex\\spark.dds"));
    WriteFile(effect + "glow_12.mse", Mse("glow.mde", "ring.dds"));
    WriteFile(effect + "glow_14.mse", Mse("glow14.mde", "ring.dds"));
    WriteFile(effect + "never.mse", Mse("never.mde", "never.dds"));
    WriteFile(effect + "hostile.mse", Mse("d:/ymir work/../../../../escape.mde", "../../../../escape.dds"));
    WriteFile(effect + "ring.dds", "ring beside its script");
    WriteFile(client_ + "aaa\\ring.dds", "another ring");  // first by name in the index
    for (const std::string& file :
         FilesNamed(client_,
                    "icon\\item\\00010.tga icon\\item\\00300.tga icon\\item\\aura.tga "
                    "outside_tex.dds escape.dds escape.mde pack\\effect\\aura\\aura_01.mse "
                    "pack\\item\\weapon\\00010.dds")) {
      WriteFile(file, file.substr(client_.size()));
    }
    for (const std::string& file :
         FilesNamed(effect, "glow.mde glow14.mde never.mde never.dds tex\\spark.dds"))
      WriteFile(file, "x");
    WriteFile(temp_ / "outside_icon.tga", "outside");
  }

  std::string TaskFolder() const { return output_ + "\\Exported_Models_ITEM"; }

  ScopedTempDir temp_{"items"};
  std::string client_ = temp_.path() + "client\\";
  std::string output_ = temp_.path() + "out";
  std::string mirror_ = temp_.path() + "mirror\\";
  ScopedRunRoots roots_;
};

TEST_F(ItemExportEndToEnd, ExportsEachNewItemWithItsFilesAndEveryGlowOfItsUpgradeLevels) {
  WriteClient();
  const PipelineRun run = StartPipeline(client_, output_, {});
  EXPECT_TRUE(run.title.empty());
  std::set<std::string> expected =
      FilesNamed("WEAPON\\[10]\\", "item_list_snippet.txt 00010.gr2 00010.tga item\\weapon\\00010.dds");
  expected.merge(FilesNamed(
      "WEAPON\\[10]\\effects\\",
      "glow_10.mse glow.mde effect\\item\\tex\\spark.dds glow_12.mse ring.dds glow_14.mse glow14.mde"));
  expected.merge(FilesNamed("ARMOR\\[300]\\", "item_list_snippet.txt 00300.tga"));
  expected.merge(FilesNamed("AURA\\[85001]\\", "item_list_snippet.txt aura_01.mse aura.tga"));
  expected.merge(FilesNamed("WEAPON\\[60]\\",
                            "item_list_snippet.txt hostile.gr2 effects\\hostile.mse effects\\escape.mde"));
  EXPECT_EQ(ExportedFiles(TaskFolder()), expected);
  const std::string weapon = TaskFolder() + "\\WEAPON\\[10]\\";
  EXPECT_EQ(ReadFile(weapon + "item_list_snippet.txt"), kWeapon + std::string("\r\n"));
  EXPECT_EQ(ReadFile(weapon + "item\\weapon\\00010.dds"), "pack\\item\\weapon\\00010.dds");
  EXPECT_EQ(ReadFile(weapon + "effects\\ring.dds"), "ring beside its script");
  EXPECT_EQ(FilesBelow(mirror_), (std::set<std::string>{"item\\weapon\\00010.dds"}));

  std::string merged;
  for (const std::string& line : run.window) {
    if (line.rfind("Parsing merged item_list: ", 0) == 0) merged = line;
  }
  ASSERT_GE(merged.size(), 22u);
  EXPECT_EQ(merged.substr(merged.size() - 22), " (merged from 2 files)");
  for (const char* line : {"Item filter: excluded by OLD filter: 1",
                           "Item filter: excluded by category (not ARMOR/WEAPON/AURA/WING): 3",
                           "Parsing 5 items...", "[OK] ITEMS completed."}) {
    EXPECT_TRUE(Contains(run.window, line)) << line;
  }
  EXPECT_EQ(run.window.back(), "OK: Task Completed.");
  EXPECT_EQ(GetPipelineState().progress.load(), 1.0f);

  // Types no reader would pass, handed to the exporter directly: refused, the others go on.
  std::vector<ItemEntry> items(4);
  const char* types[] = {"..\\..\\x", "C:", "a\\..\\..", "ARMOR"};
  for (int i = 0; i < 4; ++i) {
    items[i].vnum = i + 1;
    items[i].type = types[i];
    items[i].iconPath = "icon/item/00300.tga";
  }
  ProcessItems(items);
  expected.merge(FilesNamed("ARMOR\\[4]\\", "item_list_snippet.txt 00300.tga"));
  EXPECT_EQ(ExportedFiles(TaskFolder()), expected);
  for (const std::string& file : FilesBelow(temp_.path())) {
    const std::string top = file.substr(0, file.find('\\'));
    EXPECT_TRUE(top == "client" || top == "out" || top == "mirror" || top == "refs" ||
                top == "outside_icon.tga")
        << file;
  }
}

TEST_F(ItemExportEndToEnd, StopDuringTheExportEndsBeforeTheNextItem) {
  constexpr int kItems = 60;
  std::string list;
  for (int i = 1; i <= kItems; ++i) {
    list += std::to_string(i) + "\tARMOR\ticon/" + std::to_string(i) + ".tga\n";
    WriteFile(client_ + "icon\\" + std::to_string(i) + ".tga", "icon");
  }
  WriteFile(client_ + "item_list.txt", list);
  const PipelineRun run = StartPipeline(client_, output_, {}, TaskFolder() + "\\ARMOR\\[1]\\1.tga");
  EXPECT_EQ(run.window.back(), "INFO: Process Stopped.");
  const std::size_t exported = NamesIn(TaskFolder() + "\\ARMOR").size();
  EXPECT_GE(exported, 1u);
  EXPECT_LT(exported, static_cast<std::size_t>(kItems));
}

}  // namespace
