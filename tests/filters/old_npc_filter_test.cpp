#include "filters/old_npc_filter.hpp"

#include <gtest/gtest.h>

#include "support/test_environment.hpp"

static std::string Load(OldNpcFilter& filter, const std::string& folder, const std::string& list) {
  if (!list.empty()) testenv::WriteFile(folder + "npclist_old.txt", list);
  testing::internal::CaptureStdout();
  EXPECT_NO_THROW(filter.LoadOldNpcs(folder));
  return testing::internal::GetCapturedStdout();
}

TEST(OldNpcFilter, LoadsNumberedLinesCountsLinesNotNumbersAndSkipsBadNumbers) {
  OldNpcFilter filter;
  testenv::ScopedTempDir filters;
  std::string console = Load(filter, filters.path(),
                             "# monsters\r\n\r\n101\twild_dog\r\n  102 \twolf\r\n0\tguard_captain\tguard\r\n"
                             "0 \twolf_young\twolf\r"  // lone CR, blank before the tab
                             "103abc\tbear\n-5\tstrange\n20001");
  EXPECT_EQ(filter.oldNpcVnums, (std::set<std::int32_t>{-5, 0, 101, 102, 103, 20001}));
  EXPECT_NE(console.find("Filtro OLD NPC caricato: 7 vnum"), std::string::npos) << console;
  EXPECT_EQ(console.find("[WARN]"), std::string::npos);
  // Every variant line has the number 0: only the variants the list names are old.
  EXPECT_TRUE(filter.IsOld(NpcEntry{0, "Guard", "guard_captain ", "", "", 0}));
  EXPECT_FALSE(filter.IsOld(NpcEntry{0, "guard", "guard_sergeant", "", "", 0}));
  EXPECT_TRUE(filter.IsOld(NpcEntry{101, "anything", "", "", "", 0}));

  // A bad number costs its line only; a missing list empties the filter.
  console =
      Load(filter, filters / "bad\\", "101\twild_dog\nwild_cat\tcat\n99999999999\ttoo_big\n\t\n102\twolf\n");
  EXPECT_EQ(filter.oldNpcVnums, (std::set<std::int32_t>{101, 102}));
  EXPECT_NE(console.find("righe senza numero valido ignorate: 2"), std::string::npos) << console;
  console = Load(filter, filters / "elsewhere", "");
  EXPECT_NE(console.find("File npclist_old.txt non trovato in standard_filters/"), std::string::npos);
  EXPECT_TRUE(filter.oldNpcVnums.empty());
}
