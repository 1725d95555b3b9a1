#include "filters/old_npc_filter.hpp"

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.hpp"
#include "platform/temp_folder.hpp"

namespace {

std::string Write(const std::string& path, const std::string& text) {
  EXPECT_TRUE(testing_support::WriteTextFile(path, text)) << path;
  return path;
}

}  // namespace

TEST(OldNpcFilter, LoadsNumberedLinesAndCountsThem) {
  OldNpcFilter filter;
  testing_support::ScopedTempFolder filters;
  Write(filters / "npclist_old.txt",
        "# monsters\r\n"
        "\r\n"
        "101\twild_dog\r\n"
        "  102 \twolf\r\n"
        "0\tguard_captain\tguard\r\n"
        "0 \twolf_young\twolf\r"  // lone CR, blank before the tab
        "103abc\tbear\n"
        "-5\tstrange\n"
        "20001");
  testing::internal::CaptureStdout();
  filter.LoadOldNpcs(filters.path());
  const std::string console = testing::internal::GetCapturedStdout();

  EXPECT_EQ(filter.oldNpcVnums, (std::set<std::int32_t>{-5, 0, 101, 102, 103, 20001}));
  // Lines loaded, not distinct numbers: both variant lines count.
  EXPECT_NE(console.find("Filtro OLD NPC caricato: 7 vnum"), std::string::npos) << console;
  EXPECT_EQ(console.find("[WARN]"), std::string::npos);
}

TEST(OldNpcFilter, BadNumberLineIsSkippedNotFatal) {
  OldNpcFilter filter;
  testing_support::ScopedTempFolder filters;
  Write(filters / "npclist_old.txt",
        "101\twild_dog\n"
        "wild_cat\tcat\n"
        "99999999999\ttoo_big\n"
        "\t\n"
        "102\twolf\n");
  testing::internal::CaptureStdout();
  ASSERT_NO_THROW(filter.LoadOldNpcs(filters.path()));
  const std::string console = testing::internal::GetCapturedStdout();

  EXPECT_EQ(filter.oldNpcVnums, (std::set<std::int32_t>{101, 102}));
  EXPECT_NE(console.find("righe senza numero valido ignorate: 2"), std::string::npos) << console;
  EXPECT_NE(console.find("Filtro OLD NPC caricato: 2 vnum"), std::string::npos);
}

TEST(OldNpcFilter, MissingListEmptiesTheFilter) {
  OldNpcFilter filter;
  testing_support::ScopedTempFolder filters;
  Write(filters / "npclist_old.txt", "101\twild_dog\n");
  testing::internal::CaptureStdout();
  filter.LoadOldNpcs(filters.path());
  filter.LoadOldNpcs((filters / "elsewhere"));
  const std::string console = testing::internal::GetCapturedStdout();
  EXPECT_NE(console.find("File npclist_old.txt non trovato in standard_filters/"), std::string::npos);
  EXPECT_NE(console.find("Filtro OLD disattivato per NPC."), std::string::npos);
  EXPECT_TRUE(filter.oldNpcVnums.empty());
}

TEST(OldNpcFilter, ShippedReferenceListLoads) {
  OldNpcFilter filter;
  testing::internal::CaptureStdout();
  filter.LoadOldNpcs(platform::ToInternalPath(VINTREL_SOURCE_DIR) + "\\resources\\standard_filters");
  const std::string console = testing::internal::GetCapturedStdout();
  EXPECT_NE(console.find("Filtro OLD NPC caricato: 16 vnum"), std::string::npos) << console;
  EXPECT_TRUE(filter.IsOld(101));
  EXPECT_TRUE(filter.IsOld(20001));
  EXPECT_FALSE(filter.IsOld(108));
}
