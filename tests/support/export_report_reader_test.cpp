#include "support/export_report_reader.hpp"

#include <gtest/gtest.h>

#include "support/export_report.hpp"
#include "support/test_environment.hpp"

namespace {

using namespace testenv;

// A report as a run writes it, read back from its task folder: the bundles with their files at
// their paths on this machine, byte-exact for names that are not UTF-8, and missing references
// with what named them. A broken report of another task is named, not fatal; a name that would
// climb out of the task folder gets no path.
TEST(ExportReportReader, ReadsBackWhatARunWrote) {
  ScopedTempDir temp("report-reader");
  const std::string output = temp / "out";
  const std::string taskFolder = output + "\\Exported_Models_NPC";
  const std::string odd = "caf\xe9";
  StartJournal("Npc + Mob", taskFolder, false);
  {
    JournalBundleScope scope(taskFolder + "\\" + odd, temp / "client\\npclist.txt", 2);
    RecordFileWritten(taskFolder + "\\" + odd + "\\" + odd + ".gr2", temp / "client\\npc\\a.gr2", 2588);
    RecordMissingReference("d:\\ymir work\\npc\\gone.dds", "model texture");
    RecordRefusedPath("..\\..\\evil.gr2");
  }
  ReportRunInfo info;
  info.clientRoot = temp / "client\\";
  info.outcome = "completed";
  WriteFile(taskFolder + "\\export_report.json", ReportJson(TakeJournal(), info));
  WriteFile(output + "\\map_objects\\export_report.json", "{\"kind\": ");

  std::vector<std::string> errors;
  const std::vector<ReportedRun> runs = ReadExportReports(output, errors);
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("map_objects"), std::string::npos) << errors[0];
  EXPECT_EQ(runs[0].task, "Npc + Mob");
  EXPECT_EQ(runs[0].outcome, "completed");
  ASSERT_EQ(runs[0].bundles.size(), 1u);
  const ReportedBundle& bundle = runs[0].bundles[0];
  EXPECT_EQ(bundle.folder, odd);
  ASSERT_EQ(bundle.files.size(), 1u);
  EXPECT_EQ(bundle.files[0].path, taskFolder + "\\" + odd + "\\" + odd + ".gr2");
  EXPECT_EQ(bundle.files[0].bytes, 2588u);
  EXPECT_EQ(bundle.missing, std::vector<std::string>{"d:\\ymir work\\npc\\gone.dds (model texture)"});
  EXPECT_EQ(bundle.refused, std::vector<std::string>{"..\\..\\evil.gr2"});

  ReportedRun climbing;
  std::string error;
  ASSERT_TRUE(ParseExportReport(R"({"bundles":[{"folder":"x","files":[{"path":"..\\..\\x.gr2"}]}]})",
                                taskFolder, climbing, error));
  EXPECT_EQ(climbing.bundles.at(0).files.at(0).path, "");
  EXPECT_FALSE(ParseExportReport("[1, 2]", taskFolder, climbing, error));
}

// Every byte that was not UTF-8 comes back; real UTF-8 next to it, including other private-use
// characters outside U+EF00..U+EFFF, is left alone.
TEST(ExportReportReader, RestoresEveryByte) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
  all += "\xc3\xa9 \xee\x80\x80 \xef\x80\x80";
  EXPECT_EQ(BytesOfSafeText(JsonSafeText(all)), all);
}

}  // namespace
