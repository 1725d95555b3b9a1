#include "filters/filter_manager.hpp"

#include <gtest/gtest.h>

#include "support/test_environment.hpp"

namespace {

bool Skips(const FilterManager& filter, const std::string& name, const std::string& modelPath,
           int index = -2) {
  MsmGroupRecord record;
  record.msmPath = "X:\\client\\pc\\warrior_m.msm";
  record.groupName = name;
  record.groupType = GroupTypeOf(name);
  record.groupIndex = index == -2 ? GroupIndexOf(name) : index;
  record.modelPath = modelPath;
  return filter.ShouldSkipGroup(record);
}

std::string Load(FilterManager& filter, const std::string& folder) {
  testing::internal::CaptureStdout();
  filter.LoadOldMsm(folder);
  return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(FilterManager, ReadsTheFoldersOldScriptsSkipsByModelFileNameThenBySlotAndTurnsOffWithoutIt) {
  FilterManager filter;
  testenv::ScopedTempDir filters;
  testenv::WriteFile(
      filters / "Warrior_M_OLD.MSM",
      "BaseModelFileName \"d:/pc/Warrior_Novice.gr2\"\r\nGroup ShapeData\r\n{\r\n\tPathName \"d:/pc/\"\r\n"
      "\tGroup ShapeData01\r\n\t{\r\n\t\tModel \"Assassin_Novice.gr2\"\r\n\t}\r\n"
      "\tGroup ShapeData02\r\n\t{\r\n\t\tModel \"body/\"\r\n\t}\r\n}\r\n");
  testenv::WriteFile(filters / "bold.msm", "Group HairData04 {\nModel \"bold_hair.gr2\"\n}\n");
  testenv::WriteFile(filters / "warrior_m.msm", "Group HairData05 {\nModel \"current.gr2\"\n}\n");
  testenv::WriteFile(filters / "sub\\deep_old.msm", "Group HairData06 {\nModel \"deep.gr2\"\n}\n");
  platform::CreateFolderWithParents(filters / "folder_old.msm");
  const std::string console = Load(filter, filters.path());
  EXPECT_EQ(filter.oldModelNames,
            (std::set<std::string>{"warrior_novice.gr2", "assassin_novice.gr2", "bold_hair.gr2"}));
  EXPECT_EQ(filter.standardGroups, (std::set<StandardGroupKey>{{1, "ShapeData", "assassin_novice.gr2"},
                                                               {2, "ShapeData", ""},
                                                               {4, "HairData", "bold_hair.gr2"}}));
  EXPECT_NE(console.find("File OLD caricati: 2"), std::string::npos) << console;
  EXPECT_NE(console.find("Modelli OLD (filename) unici: 3"), std::string::npos);
  EXPECT_NE(console.find("Gruppi standard Shape/Hair unici: 3"), std::string::npos);

  testenv::DebugLogCapture log;
  // The model's file name decides, in any folder and any case, base models included.
  EXPECT_TRUE(Skips(filter, "HairData09", "d:\\ymir work\\pc2\\x\\ASSASSIN_NOVICE.GR2"));
  EXPECT_TRUE(Skips(filter, "ShapeData07", "elsewhere\\warrior_novice.gr2"));
  EXPECT_FALSE(Skips(filter, "ShapeData01", "d:\\pc\\new_body.gr2"));
  // Otherwise the slot: index, type and model file name (here empty) must all match.
  EXPECT_TRUE(Skips(filter, "ShapeData02", "d:\\other\\"));
  EXPECT_FALSE(Skips(filter, "ShapeData03", "d:\\other\\"));
  EXPECT_FALSE(Skips(filter, "HairData02", "d:\\other\\"));
  EXPECT_FALSE(Skips(filter, "ShapeData02", "d:\\other\\", -1));
  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 3u);  // the model_old line is checked end to end
  EXPECT_EQ(
      lines[2],
      "[FilterManager] Skipping group 'ShapeData02' from MSM='warrior_m.msm' reason='shapekey_old' index=2 "
      "type='ShapeData' model=''");

  // A missing folder, or a file in its place, turns the filter off: nothing an earlier load found stays.
  for (const std::string& folder :
       {filters / "absent", testenv::WriteFile(filters / "standard_filters", "x")}) {
    const std::string off = Load(filter, folder);
    EXPECT_NE(off.find("AVVISO: cartella non trovata: " + folder), std::string::npos) << off;
    EXPECT_NE(off.find("Filtro OLD MSM disattivato."), std::string::npos);
    EXPECT_FALSE(Skips(filter, "HairData09", "x\\assassin_novice.gr2"));
  }
}
