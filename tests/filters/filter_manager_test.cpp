#include "filters/filter_manager.hpp"

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.hpp"
#include "platform/temp_folder.hpp"
#include "support/debug_log_capture.hpp"

namespace {

std::string Write(const std::string& path, const std::string& text) {
  EXPECT_TRUE(testing_support::WriteTextFile(path, text)) << path;
  return path;
}

const char kOldWarrior[] =
    "BaseModelFileName \"d:/ymir work/pc/warrior/Warrior_Novice.gr2\"\r\n"
    "Group ShapeData\r\n{\r\n\tPathName \"d:/ymir work/pc/warrior/\"\r\n"
    "\tGroup ShapeData01\r\n\t{\r\n\t\tModel \"Assassin_Novice.gr2\"\r\n\t}\r\n"
    "\tGroup ShapeData02\r\n\t{\r\n\t\tModel \"body/\"\r\n\t}\r\n"
    "}\r\n";

MsmGroupRecord Group(const std::string& name, const std::string& modelPath) {
  MsmGroupRecord record;
  record.msmPath = "X:\\client\\pc\\warrior_m.msm";
  record.groupName = name;
  record.groupType = GroupTypeOf(name);
  record.groupIndex = GroupIndexOf(name);
  record.modelPath = modelPath;
  return record;
}

}  // namespace

TEST(FilterManager, MissingFolderSkipsNothing) {
  testing_support::ScopedTempFolder exe;
  const std::string asFile = Write(exe / "standard_filters", "not a folder");
  for (const std::string& folder : {(exe / "absent"), asFile}) {
    FilterManager filter;
    filter.oldModelNames.insert("stale.gr2");  // a failed load must not keep what an earlier one found
    testing::internal::CaptureStdout();
    filter.LoadOldMsm(folder);
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_NE(console.find("AVVISO: cartella non trovata: " + folder), std::string::npos) << console;
    EXPECT_NE(console.find("Filtro OLD MSM disattivato."), std::string::npos);
    EXPECT_TRUE(filter.oldModelNames.empty());
    EXPECT_TRUE(filter.standardGroups.empty());
    EXPECT_FALSE(filter.ShouldSkipGroup(Group("ShapeData01", "x\\Assassin_Novice.gr2")));
  }
}

TEST(FilterManager, ReadsEveryOldScriptOfTheFolderOnly) {
  FilterManager filter;
  testing_support::ScopedTempFolder filters;
  Write(filters / "Warrior_M_OLD.MSM", kOldWarrior);
  Write(filters / "bold.msm", "Group HairData04 {\nModel \"bold_hair.gr2\"\n}\n");
  Write(filters / "warrior_m.msm", "Group HairData05 {\nModel \"current.gr2\"\n}\n");
  Write(filters / "empty_old.msm", "nothing to see\n");
  platform::CreateFolderWithParents(filters / "sub");
  Write(filters / "sub\\deep_old.msm", "Group HairData06 {\nModel \"deep.gr2\"\n}\n");
  platform::CreateFolderWithParents(filters / "folder_old.msm");

  testing::internal::CaptureStdout();
  filter.LoadOldMsm(filters.path());
  const std::string console = testing::internal::GetCapturedStdout();

  EXPECT_EQ(filter.oldModelNames,
            (std::set<std::string>{"warrior_novice.gr2", "assassin_novice.gr2", "bold_hair.gr2"}));
  EXPECT_EQ(filter.standardGroups, (std::set<StandardGroupKey>{{1, "ShapeData", "assassin_novice.gr2"},
                                                               {2, "ShapeData", ""},
                                                               {4, "HairData", "bold_hair.gr2"}}));
  EXPECT_NE(console.find("File OLD caricati: 2"), std::string::npos) << console;
  EXPECT_NE(console.find("Modelli OLD (filename) unici: 3"), std::string::npos);
  EXPECT_NE(console.find("Gruppi standard Shape/Hair unici: 3"), std::string::npos);

  // A second load replaces what the first held.
  testing_support::ScopedTempFolder other;
  Write(other / "x_old.msm", "Group HairData01 {\nModel \"other.gr2\"\n}\n");
  testing::internal::CaptureStdout();
  filter.LoadOldMsm(other.path());
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(filter.oldModelNames, (std::set<std::string>{"other.gr2"}));
}

TEST(FilterManager, SkipsByModelFileNameThenBySlot) {
  FilterManager filter;
  testing_support::ScopedTempFolder filters;
  Write(filters / "warrior_m_old.msm", kOldWarrior);
  testing::internal::CaptureStdout();
  filter.LoadOldMsm(filters.path());
  testing::internal::GetCapturedStdout();

  testenv::DebugLogCapture log;
  // Model rule: the file name decides, in any folder and any case, base models included.
  EXPECT_TRUE(filter.ShouldSkipGroup(Group("HairData09", "d:\\ymir work\\pc2\\x\\ASSASSIN_NOVICE.GR2")));
  EXPECT_TRUE(filter.ShouldSkipGroup(Group("ShapeData07", "elsewhere\\warrior_novice.gr2")));
  // Same slot, new model: exported.
  EXPECT_FALSE(filter.ShouldSkipGroup(Group("ShapeData01", "d:\\ymir work\\pc\\warrior\\new_body.gr2")));
  // An empty model file name is caught only by a slot whose old model name is empty too.
  EXPECT_TRUE(filter.ShouldSkipGroup(Group("ShapeData02", "d:\\ymir work\\other\\")));
  EXPECT_FALSE(filter.ShouldSkipGroup(Group("ShapeData03", "d:\\ymir work\\other\\")));
  EXPECT_FALSE(filter.ShouldSkipGroup(Group("HairData02", "d:\\ymir work\\other\\")));
  // A record without an index matches no slot.
  MsmGroupRecord noIndex = Group("ShapeData02", "d:\\x\\");
  noIndex.groupIndex = -1;
  EXPECT_FALSE(filter.ShouldSkipGroup(noIndex));

  EXPECT_EQ(log.Lines(),
            (std::vector<std::string>{
                "[FilterManager] Skipping group 'HairData09' from MSM='warrior_m.msm' reason='model_old' "
                "model='assassin_novice.gr2'",
                "[FilterManager] Skipping group 'ShapeData07' from MSM='warrior_m.msm' reason='model_old' "
                "model='warrior_novice.gr2'",
                "[FilterManager] Skipping group 'ShapeData02' from MSM='warrior_m.msm' reason='shapekey_old' "
                "index=2 type='ShapeData' model=''"}));
}

TEST(FilterManager, ShippedReferenceScriptsLoad) {
  FilterManager filter;
  testing::internal::CaptureStdout();
  filter.LoadOldMsm(platform::ToInternalPath(VINTREL_SOURCE_DIR) + "\\resources\\standard_filters");
  const std::string console = testing::internal::GetCapturedStdout();
  // Nine scripts with three body shapes (the first is the base model) and three hair styles each.
  EXPECT_NE(console.find("File OLD caricati: 9"), std::string::npos) << console;
  EXPECT_EQ(filter.oldModelNames.size(), 9u * 6u);
  EXPECT_EQ(filter.standardGroups.size(), 9u * 6u);
  EXPECT_EQ(filter.oldModelNames.count("warrior_m_novice.gr2"), 1u);
  EXPECT_EQ(filter.oldModelNames.count("sura_w_hair_03.gr2"), 1u);
}
