#include "exporters/msm_group_exporter.hpp"

#include <gtest/gtest.h>

#include "support/client_file_index.hpp"
#include "support/test_environment.hpp"

namespace {

using testenv::Contains;

// One group of sura_m.msm, exported alone, without its model; the whole task runs in the end-to-end test.
TEST(MsmGroupExporterTest, MissingPiecesCostOneWarningEachAndTheGroupGoesOn) {
  testenv::ScopedTempDir temp("group");
  const std::string client = temp / "client\\", output = temp / "out";
  testenv::ScopedRunRoots roots(client, output, temp / "mirror\\");
  testenv::WriteFile(client + "pc\\sura\\hair\\H3.DDS", "upper case on disk");
  BuildClientFileIndex(client);
  MsmGroupRecord record;
  record.msmPath = client + "data\\sura_m.msm";
  record.groupName = "[0002]HairData";
  record.groupType = "HairData";
  record.groupIndex = 3;
  record.snippet = "\tMeshFileName \"d:/ymir work/effect/none.mde\"\n";
  record.ddsFiles = {"nowhere\\gone.dds", "pc\\sura\\hair\\h3.dds"};
  record.modelInfo.textures = {{"d:\\ymir work\\nowhere\\gone.dds", false}};

  testenv::DebugLogCapture log;
  FileExporter::ExportGroup(record);
  const std::vector<std::string> lines = log.Lines();

  EXPECT_TRUE(Contains(lines, "[WARN] GR2 source missing or not found: "));
  EXPECT_TRUE(Contains(lines, "[WARN] MDE not found: none.mde (original: d:\\ymir work\\effect\\none.mde)"));
  // An unresolved model texture is not remembered, so the script's copy of the name is tried again.
  EXPECT_TRUE(Contains(lines, "[WARN] Texture not found: nowhere\\gone.dds"));
  EXPECT_TRUE(Contains(lines, "[WARN] DDS not found: nowhere\\gone.dds"));
  EXPECT_EQ(testenv::FilesBelow(output + "\\sura_m\\HairData\\[0002]HairData"),
            (std::set<std::string>{"group_snippet.txt", "pc\\sura\\hair\\h3.dds"}));
  EXPECT_EQ(
      testenv::Records(lines),
      std::vector<std::string>{"{\"object\":\"[0002]HairData\",\"type\":\"HairData\",\"msm\":\"sura_m.msm\","
                               "\"gr2\":\"\",\"mde_copied\":0,\"textures_copied\":0,\"dds_copied\":1,"
                               "\"warnings\":4,\"status\":\"ok\"}"});
}

}  // namespace
