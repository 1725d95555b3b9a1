#include "support/export_report.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <thread>

// Bundles exported on several threads keep their own files; mirror copies follow the thread's
// bundle; the report orders bundles by folder whatever the threads' timing.
TEST(ExportJournal, AttributesFilesToBundlesAcrossThreads) {
  StartJournal("Weapon + Wings", "Z:\\out\\Exported_Models_ITEM", false);
  std::vector<std::thread> workers;
  for (int i = 0; i < 4; ++i) {
    workers.emplace_back([i] {
      const std::string folder =
          "Z:\\out\\Exported_Models_ITEM\\WEAPON\\[" + std::to_string(10 * (4 - i)) + "]";
      JournalBundleScope scope(folder, "Z:\\client\\item_list.txt", i + 1);
      RecordFileWritten(folder + "\\a.gr2", "Z:\\client\\a.gr2", 100);
      RecordFileWritten(folder + "\\a.gr2", "Z:\\client\\a.gr2", 120);  // overwritten: counted once
      RecordFileWritten("Z:\\mirror\\item\\a.dds", "Z:\\client\\a.dds", 7);
      RecordMissingReference("d:\\ymir work\\item\\gone.dds", "model texture");
    });
  }
  for (std::thread& worker : workers) worker.join();
  RecordFileWritten("Z:\\out\\Exported_Models_ITEM\\WEAPON\\[20]\\late.txt", "", 3);
  const ExportJournal journal = TakeJournal();
  EXPECT_FALSE(JournalActive());
  ASSERT_EQ(journal.bundles.size(), 4u);
  EXPECT_EQ(journal.bundles[0].folder, "Z:\\out\\Exported_Models_ITEM\\WEAPON\\[10]");
  ASSERT_EQ(journal.bundles[1].files.size(), 2u);  // a.gr2 once, as last written
  EXPECT_EQ(journal.bundles[1].files[0].bytes, 120u);
  for (const JournalBundle& bundle : journal.bundles) EXPECT_EQ(bundle.mirrorCopies.size(), 1u);
  const ReportTotals totals = TotalsOf(journal);
  EXPECT_EQ(totals.files, 5u);
  EXPECT_EQ(totals.bytes, 4u * 120u + 3u);
  EXPECT_EQ(totals.missingReferences, 1u);
  EXPECT_EQ(
      SummaryLine(totals, ""),
      "Summary: 4 bundles, 5 files (0.0 MB), 1 references not found, 0 skipped as standard, 0 refused.");
}

// Game data holds quotes, backslashes and Windows-1252 bytes: the report must stay valid JSON and
// give the original bytes back.
TEST(ExportJournal, ReportIsValidJsonForAnyBytes) {
  const std::string odd = "caf\xe9 \"q\" a\\b \xc3\xa9 \xef\xbf";
  StartJournal("Npc + Mob", "Z:\\out\\Exported_Models_NPC", true);
  {
    JournalBundleScope scope("Z:\\out\\Exported_Models_NPC\\[" + odd + "]", "Z:\\c\\npclist.txt", 3);
    RecordMissingReference(odd, "effect texture");
    RecordFileWritten("Z:\\out\\Exported_Models_NPC\\[" + odd + "]\\" + odd + ".dds", "", 1);
  }
  RecordLeftOut({"101", "standard", "number", "101"});
  const ExportJournal journal = TakeJournal();
  const nlohmann::json report = nlohmann::json::parse(ReportJson(journal, ReportRunInfo{}));
  EXPECT_EQ(report["kind"], "plan");
  EXPECT_EQ(report["totals"]["skippedAsStandard"], 1);
  const std::string written = report["bundles"][0]["missing"][0]["reference"];
  std::string restored;
  for (std::size_t i = 0; i < written.size(); ++i) {
    const unsigned char lead = static_cast<unsigned char>(written[i]);
    if (lead == 0xEE && i + 2 < written.size() &&
        (static_cast<unsigned char>(written[i + 1]) & 0xFC) == 0xBC) {
      restored += static_cast<char>(((written[i + 1] & 0x03) << 6) | (written[i + 2] & 0x3F));
      i += 2;
    } else {
      restored += written[i];
    }
  }
  EXPECT_EQ(restored, odd);
}
