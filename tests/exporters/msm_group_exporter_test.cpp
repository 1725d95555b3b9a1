#include "exporters/msm_group_exporter.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exporters/export_test_helpers.hpp"
#include "pipeline/pipeline_state.hpp"
#include "support/client_file_index.hpp"
#include "support/debug_log_capture.hpp"
#include "support/test_environment.hpp"

namespace {

using exporttest::Contains;
using exporttest::FilesBelow;
using exporttest::Records;

// One group of sura_m.msm, exported alone; the whole task runs in the end-to-end test.
class MsmGroupExporterTest : public testing::Test {
 protected:
  MsmGroupExporterTest() {
    record_.msmPath = client_ + "data\\sura_m.msm";
    record_.groupName = "[0002]HairData";
    record_.groupType = "HairData";
    record_.groupIndex = 3;
    record_.modelPath = "d:\\ymir work\\pc\\sura\\hair\\h3.gr2";
    record_.modelInfo.gr2Path = client_ + "pc\\sura\\hair\\h3.gr2";
  }

  testenv::ScopedTempDir temp_{"group"};
  std::string client_ = temp_.path() + "client\\";
  std::string output_ = temp_.path() + "out";
  exporttest::ScopedRunRoots roots_{client_, output_, temp_.path() + "mirror\\"};
  MsmGroupRecord record_;
};

TEST_F(MsmGroupExporterTest, MissingPiecesCostOneWarningEachAndTheGroupGoesOn) {
  exporttest::WriteFile(client_ + "pc\\sura\\hair\\H3.DDS", "upper case on disk");
  BuildClientFileIndex(client_);
  record_.modelPath.clear();
  record_.modelInfo = GrannyModelInfo();  // not analysed: no model
  record_.snippet = "\tMeshFileName \"d:/ymir work/effect/none.mde\"\n";
  record_.ddsFiles = {"nowhere\\gone.dds", "pc\\sura\\hair\\h3.dds"};
  record_.modelInfo.textures = {{"d:\\ymir work\\nowhere\\gone.dds", false}};

  testenv::DebugLogCapture log;
  FileExporter::ExportGroup(record_);
  const std::vector<std::string> lines = log.Lines();

  EXPECT_TRUE(Contains(lines, "[WARN] GR2 source missing or not found: "));
  EXPECT_TRUE(Contains(lines, "[WARN] MDE not found: none.mde (original: d:\\ymir work\\effect\\none.mde)"));
  // An unresolved model texture is not remembered, so the script's copy of the name is tried again.
  EXPECT_TRUE(Contains(lines, "[WARN] Texture not found: nowhere\\gone.dds"));
  EXPECT_TRUE(Contains(lines, "[WARN] DDS not found: nowhere\\gone.dds"));
  EXPECT_EQ(FilesBelow(output_ + "\\sura_m\\HairData\\[0002]HairData"),
            (std::set<std::string>{"group_snippet.txt", "pc\\sura\\hair\\h3.dds"}));
  EXPECT_EQ(Records(lines), std::vector<std::string>{
                                "{\"object\":\"[0002]HairData\",\"type\":\"HairData\",\"msm\":\"sura_m.msm\","
                                "\"gr2\":\"\",\"mde_copied\":0,\"textures_copied\":0,\"dds_copied\":1,"
                                "\"warnings\":4,\"status\":\"ok\"}"});
}

}  // namespace
