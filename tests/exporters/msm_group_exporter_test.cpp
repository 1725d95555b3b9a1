#include "exporters/msm_group_exporter.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "exporters/export_test_helpers.hpp"
#include "pipeline/pipeline_state.hpp"
#include "support/client_file_index.hpp"
#include "support/debug_log_capture.hpp"

namespace {

using exporttest::Contains;
using exporttest::FilesBelow;
using exporttest::ReadFile;
using exporttest::Records;

class MsmGroupExporterTest : public testing::Test {
 protected:
  MsmGroupExporterTest()
      : client_(temp_.MakeFolder("client") + "\\"),
        output_(temp_.MakeFolder("out")),
        mirror_(temp_.MakeFolder("mirror") + "\\"),
        roots_(client_, output_, mirror_) {
    GetPipelineState().stopRequested.store(false);
  }
  ~MsmGroupExporterTest() override { GetPipelineState().stopRequested.store(false); }

  void ClientFile(const std::string& relative, const std::string& contents = "data") {
    temp_.WriteFile("client\\" + relative, contents);
  }

  // Indexes the client as the task does before its export phase.
  void IndexClient() { BuildClientFileIndex(client_); }

  MsmGroupRecord SuraHair() const {
    MsmGroupRecord record;
    record.msmPath = client_ + "data\\sura_m.msm";
    record.groupName = "[0002]HairData";
    record.groupType = "HairData";
    record.groupIndex = 3;
    record.modelPath = "d:\\ymir work\\pc\\sura\\hair\\h3.gr2";
    record.snippet =
        "\t\tHairIndex\t3\n\t\tModel\t\"hair/h3.gr2\"\n\t\tMeshFileName\t\"d:/ymir work/effect/glow.mde\"\n";
    record.modelInfo.gr2Path = client_ + "pc\\sura\\hair\\h3.gr2";
    return record;
  }

  std::string GroupFolder() const { return output_ + "\\sura_m\\HairData\\[0002]HairData"; }

  exporttest::TempFolder temp_;
  std::string client_;
  std::string output_;
  std::string mirror_;
  exporttest::ScopedRunRoots roots_;
};

TEST_F(MsmGroupExporterTest, ExportsSnippetModelEffectsAndTexturesAtTheirGamePaths) {
  ClientFile("pc\\sura\\hair\\h3.gr2", "model bytes");
  ClientFile("pc\\sura\\hair\\h3.dds", "model texture");
  ClientFile("effect\\glow.mde", "effect mesh");
  ClientFile("textures\\sura_hair_03.dds", "script texture");
  IndexClient();

  MsmGroupRecord record = SuraHair();
  record.modelInfo.textures = {{"d:\\ymir work\\pc\\sura\\hair\\h3.dds", true},
                               {"d:\\ymir work\\pc\\sura\\hair\\h3_gloss.dds", false}};
  // The first is the model texture again (copied once); the second is found by its name alone.
  record.ddsFiles = {"pc\\sura\\hair\\h3.dds", "sura_hair_03.dds"};

  testenv::DebugLogCapture log;
  FileExporter::ExportGroup(record);
  const std::vector<std::string> lines = log.Lines();

  EXPECT_EQ(FilesBelow(output_), (std::set<std::string>{
                                     "sura_m\\HairData\\[0002]HairData\\group_snippet.txt",
                                     "sura_m\\HairData\\[0002]HairData\\h3.gr2",
                                     "sura_m\\HairData\\[0002]HairData\\effect\\glow.mde",
                                     "sura_m\\HairData\\[0002]HairData\\pc\\sura\\hair\\h3.dds",
                                     "sura_m\\HairData\\[0002]HairData\\sura_hair_03.dds",
                                 }));
  EXPECT_EQ(ReadFile(GroupFolder() + "\\group_snippet.txt"),
            "\t\tHairIndex\t3\r\n\t\tModel\t\"hair/h3.gr2\"\r\n\t\tMeshFileName\t\"d:/ymir "
            "work/effect/glow.mde\"\r\n");
  EXPECT_EQ(ReadFile(GroupFolder() + "\\h3.gr2"), "model bytes");
  EXPECT_EQ(ReadFile(GroupFolder() + "\\pc\\sura\\hair\\h3.dds"), "model texture");
  // The mirror holds the game's own layout of every texture and effect file found, not the model.
  EXPECT_EQ(FilesBelow(mirror_),
            (std::set<std::string>{"effect\\glow.mde", "pc\\sura\\hair\\h3.dds", "sura_hair_03.dds"}));

  EXPECT_TRUE(Contains(lines, "[WARN] Texture not found: pc\\sura\\hair\\h3_gloss.dds"));
  EXPECT_EQ(Records(lines), std::vector<std::string>{
                                "{\"object\":\"[0002]HairData\",\"type\":\"HairData\",\"msm\":\"sura_m.msm\","
                                "\"gr2\":\"h3.gr2\",\"mde_copied\":1,\"textures_copied\":1,\"dds_copied\":1,"
                                "\"warnings\":1,\"status\":\"ok\"}"});
}

TEST_F(MsmGroupExporterTest, AnalysisErrorSkipsTheGroupWithoutAFolder) {
  MsmGroupRecord record = SuraHair();
  record.modelInfo.error = "Impossibile leggere file GR2: \"h3.gr2\"";

  testenv::DebugLogCapture log;
  FileExporter::ExportGroup(record);

  EXPECT_TRUE(FilesBelow(output_).empty());
  EXPECT_EQ(platform::GetFileAttributes(output_ + "\\sura_m"), platform::kInvalidAttributes);
  EXPECT_EQ(
      Records(log.Lines()),
      std::vector<std::string>{
          "{\"object\":\"[0002]HairData\",\"type\":\"HairData\",\"msm\":\"sura_m.msm\",\"gr2\":\"h3.gr2\","
          "\"mde_copied\":0,\"textures_copied\":0,\"dds_copied\":0,\"warnings\":1,"
          "\"status\":\"skipped_granny_error\",\"error\":\"Impossibile leggere file GR2: \\\"h3.gr2\\\"\"}"});
}

TEST_F(MsmGroupExporterTest, MissingPiecesCostOneWarningEachAndTheGroupGoesOn) {
  ClientFile("pc\\sura\\hair\\H3.DDS", "upper case on disk");
  IndexClient();
  MsmGroupRecord record = SuraHair();
  record.modelPath.clear();
  record.modelInfo = GrannyModelInfo();  // not analysed: no model
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
  EXPECT_EQ(FilesBelow(GroupFolder()),
            (std::set<std::string>{"group_snippet.txt", "pc\\sura\\hair\\h3.dds"}));
  EXPECT_EQ(Records(lines), std::vector<std::string>{
                                "{\"object\":\"[0002]HairData\",\"type\":\"HairData\",\"msm\":\"sura_m.msm\","
                                "\"gr2\":\"\",\"mde_copied\":0,\"textures_copied\":0,\"dds_copied\":1,"
                                "\"warnings\":4,\"status\":\"ok\"}"});
}

TEST_F(MsmGroupExporterTest, DataPathsThatClimbOutAreRefusedAndNothingLandsOutside) {
  ClientFile("pc\\sura\\hair\\h3.gr2");
  ClientFile("effect\\escape.mde", "hostile");
  ClientFile("effect\\inside.mde", "fine");
  ClientFile("escape.dds", "hostile");
  IndexClient();
  MsmGroupRecord record = SuraHair();
  record.snippet =
      "\tMeshFileName \"d:/ymir work/../../../../escape.mde\"\n"
      "\tMeshFileName \"d:/ymir work/effect/inside.mde\"\n";
  record.modelInfo.textures = {{"..\\..\\..\\..\\..\\escape.dds", true}};
  record.ddsFiles = {"c:\\escape.dds"};

  testenv::DebugLogCapture log;
  FileExporter::ExportGroup(record);
  const std::vector<std::string> lines = log.Lines();

  std::set<std::string> everything = FilesBelow(temp_.path());
  std::set<std::string> outside;
  for (const std::string& file : everything) {
    if (file.rfind("client\\", 0) != 0 && file.rfind("out\\", 0) != 0 && file.rfind("mirror\\", 0) != 0) {
      outside.insert(file);
    }
  }
  EXPECT_TRUE(outside.empty()) << *outside.begin();
  EXPECT_EQ(FilesBelow(GroupFolder()),
            (std::set<std::string>{"group_snippet.txt", "h3.gr2", "effect\\inside.mde"}));
  EXPECT_EQ(FilesBelow(mirror_), (std::set<std::string>{"effect\\inside.mde"}));
  EXPECT_TRUE(Contains(lines, "[WARN] Refused path outside the export folder: ..\\..\\..\\..\\escape.mde"));
  const std::vector<std::string> records = Records(lines);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_NE(records[0].find("\"mde_copied\":1,\"textures_copied\":0,\"dds_copied\":0,\"warnings\":3,"
                            "\"status\":\"ok\""),
            std::string::npos)
      << records[0];
}

TEST_F(MsmGroupExporterTest, StopBeforeTheGroupWritesNothing) {
  ClientFile("pc\\sura\\hair\\h3.gr2");
  IndexClient();
  GetPipelineState().stopRequested.store(true);
  testenv::DebugLogCapture log;
  FileExporter::ExportGroup(SuraHair());
  EXPECT_TRUE(FilesBelow(output_).empty());
  EXPECT_TRUE(Records(log.Lines()).empty());
}

TEST_F(MsmGroupExporterTest, EmptyMirrorRootMakesNoMirrorCopies) {
  ClientFile("pc\\sura\\hair\\h3.gr2");
  ClientFile("effect\\glow.mde");
  IndexClient();
  exporttest::ScopedRunRoots noMirror(client_, output_, "");
  FileExporter::ExportGroup(SuraHair());
  EXPECT_TRUE(FilesBelow(mirror_).empty());
  EXPECT_EQ(FilesBelow(GroupFolder()),
            (std::set<std::string>{"group_snippet.txt", "h3.gr2", "effect\\glow.mde"}));
}

TEST(MsmGroupExporterNames, ScriptFolderDropsOnlyALowerCaseMsmSuffix) {
  EXPECT_EQ(ScriptBaseName("G:\\client\\pc2\\assassin_w.msm"), "assassin_w");
  EXPECT_EQ(ScriptBaseName("G:\\client\\SURA_M.MSM"), "SURA_M.MSM");
  EXPECT_EQ(ScriptBaseName("x\\.msm"), ".msm");
  EXPECT_EQ(ScriptBaseName("a.msm"), "a");
}

}  // namespace
