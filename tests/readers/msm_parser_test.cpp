#include "readers/msm_parser.hpp"

#include <gtest/gtest.h>

#include "support/test_environment.hpp"

namespace {

// "name=model|" for each record.
std::string Summary(const std::vector<MsmGroupRecord>& records) {
  std::string out;
  for (const MsmGroupRecord& record : records) out += record.groupName + "=" + record.modelPath + "|";
  return out;
}

// As real clients write it: tabs, trailing blanks, a declared count that matches nothing, numbering gaps.
const char kHairScript[] =
    "BaseModelFileName\t\"d:/ymir work/pc2/assassin/base.gr2\"\nGroup HairData\n{\n"
    "\tPathName\t\"d:/ymir Work/pc2/\"  \n\tHairDataCount\t900\n\tGroup HairData01\n\t{\n"
    "\t\tModel\t\t\"hair/h1.gr2\"\t\n\t\tSourceSkin\t\"hair/h1.dds\"\n\t\tTargetSkin  \t \"white.dds\"\n\t}\n"
    "\tGroup HairData07\n\t{\n\t\tModel\t\"h7.gr2\"\n\t}\n\tGroup "
    "HairData123\n\t{\n\t\tModel\t\"h123.gr2\"\n\t}\n}\n";

}  // namespace

TEST(MsmParser, RealisticScriptReadsTheSameWithCrLfLfOrCrCrLf) {
  for (const std::string end : {"\n", "\r\n", "\r\r\n"}) {
    const auto records = MsmParser::Parse(testenv::WithLineEnd(kHairScript, end), "s.msm");
    ASSERT_EQ(Summary(records),
              "BaseModel=d:\\ymir work\\pc2\\assassin\\base.gr2|HairData01=d:\\ymir Work\\pc2\\hair\\h1.gr2|"
              "HairData07=d:\\ymir Work\\pc2\\h7.gr2|HairData123=d:\\ymir Work\\pc2\\h123.gr2|");
    EXPECT_EQ(records[1].groupType, "HairData");
    EXPECT_EQ(records[3].groupIndex, 123);
    EXPECT_EQ(records[1].ddsFiles, (std::vector<std::string>{"hair\\h1.dds", "white.dds"}));
    EXPECT_EQ(records[1].snippet,
              "\t\tModel\t\t\"hair/h1.gr2\"\t\n\t\tSourceSkin\t\"hair/h1.dds\"\n\t\tTargetSkin  \t "
              "\"white.dds\"\n");
  }
}

TEST(MsmParser, LoneCrEndsALineSoTheNextGroupIsNotSwallowed) {
  const auto records = MsmParser::Parse(
      "Group ShapeData\r\n{\r\n\tPathName \"d:/ymir work/pc/\"\r\n\tGroup ShapeData00\r\n\t{\r\n"
      "\t\tModel \"s.gr2\"\r\n\r\n\t}\r}\r\nGroup HairData\n{\n\tGroup HairData00\r\t{\r\t\tModel "
      "\"h.gr2\"\r\t}\r}",
      "s.msm");
  ASSERT_EQ(Summary(records), "ShapeData00=d:\\ymir work\\pc\\s.gr2|HairData00=d:\\ymir work\\pc\\h.gr2|");
  EXPECT_EQ(records[0].snippet, "\t\tModel \"s.gr2\"\n\n");
}

TEST(MsmParser, GroupOpensOnlyNumberedWithABraceAndEndsAtTheFirstBrace) {
  const auto records = MsmParser::Parse(
      "Group ShapeData\n{\nGroup HairData {\n"     // the outer groups never open
      "Group ShapeData07 {\nModel \"a.gr2\"\n}\n"  // brace on the header line
      "Group ShapeData08\n  {  \nModel \"b.gr2\"\n}\n"
      "Group ShapeData09\n"  // dropped: the next line is no brace, and is read as a line of its own
      "Group ShapeData10 {\nGroup Inner\n{\nModel \"inner.gr2\"\n}\nModel \"after.gr2\"\n}\n"
      "Group HairDataX1\n{\n}\nGroup ShapeData1a {\n}\nGroup hairdata02 {\n}\n"
      "Group HairData2147483648 {\n}\n"     // a number out of range: a record without an index
      "Group HairData03 {\nHairIndex 3\n",  // never closed, no model
      "s.msm");
  ASSERT_EQ(Summary(records),
            "ShapeData07=a.gr2|ShapeData08=b.gr2|ShapeData10=inner.gr2|HairData2147483648=|HairData03=|");
  EXPECT_EQ(records[3].groupIndex, -1);
  EXPECT_EQ(records[2].snippet, "Model \"inner.gr2\"\n");
}

TEST(MsmParser, FolderPrefixesAndSpecialPath) {
  const auto records = MsmParser::Parse(
      "BaseModelFileName \"bare_before.gr2\"\nGroup ShapeData\n{\n"
      "PATHNAME \"d:/ymir work/pc\"\n"  // any key case; a separator is appended
      "Group ShapeData00 {\nmodel \"b0.gr2\"\n}\n"
      "Group ShapeData01 {\nSpecialPath \"d:/ymir work/special/\"\nModel \"b1.gr2\"\n}\n"
      "Group ShapeData02 {\nModel \"b2.gr2\"\n}\n}\n"
      "BaseModelFileName \"bare_after.gr2\"\nBaseModelFileName \"sub/with_path.gr2\"\n"
      "Group HairData\n{\nPathName \"d:/ymir work/hair/\"\n"  // the base models' folder stays
      "Group HairData00 {\nModel \"h.gr2\"\nBaseModelFileName \"late.gr2\"\n}\n}\n",
      "s.msm");
  ASSERT_EQ(Summary(records),
            "BaseModel=bare_before.gr2|ShapeData00=d:\\ymir work\\pc\\b0.gr2|"
            "ShapeData01=d:\\ymir work\\special\\b1.gr2|ShapeData02=d:\\ymir work\\pc\\b2.gr2|"
            "BaseModel=d:\\ymir work\\pc\\bare_after.gr2|BaseModel=sub\\with_path.gr2|"
            "BaseModel=d:\\ymir work\\pc\\late.gr2|HairData00=d:\\ymir work\\hair\\h.gr2|");
  // A base model line inside a group is emitted at once and does not join the group's text.
  EXPECT_EQ(records[7].snippet, "Model \"h.gr2\"\n");
}

TEST(MsmParser, TextureKeysAndModelKeyMatching) {
  const auto records = MsmParser::Parse(
      "Group ShapeData05 {\nModelScale 2\nModel_x \"first.gr2\"\nModel \"second.gr2\"\n"
      "SourceSkin \"a.dds\"\nSourceSkin2 \"b.dds\"\nSourceSkin3 \"c.dds\"\nTargetSkin8 \"d.DDS\"\n"
      "SourceSkin9 \"e.dds\"\nTargetSkin \"f.tga\"\nTargetSkin \"a.dds\"\ntargetskin2 \"A.dds\"\n"
      "SourceSkin \".dds\"\nSourceSkin \"dds\"\nSourceSkin\nSourceSkin \"caf\xe9.dds\"\n}\n",
      "s.msm");
  // ModelScale is not the Model key; Model_x is, and the first Model line wins. Bytes stay bytes.
  ASSERT_EQ(Summary(records), "ShapeData05=_x \"first.gr2|");
  EXPECT_EQ(records[0].ddsFiles,
            (std::vector<std::string>{".dds", "A.dds", "a.dds", "b.dds", "c.dds", "caf\xe9.dds", "d.DDS"}));
}

TEST(MsmParser, GroupOverFiveMiBIsCutAndStillEmitted) {
  std::string script = "Group ShapeData01 {\nModel \"big.gr2\"\n";
  const std::string filler(1024 * 1024 - 1, 'x');  // with its line feed, one MiB per line
  for (int i = 0; i < 6; ++i) script += filler + "\n";
  testing::internal::CaptureStderr();
  const auto records = MsmParser::Parse(
      script + "SourceSkin \"late.dds\"\n}\nGroup ShapeData02 {\nModel \"next.gr2\"\n}\n", "s.msm");
  const std::string warnings = testing::internal::GetCapturedStderr();
  EXPECT_NE(warnings.find("[MsmParser WARN] Group 'ShapeData01' too large, truncating."), std::string::npos);
  ASSERT_EQ(Summary(records), "ShapeData01=big.gr2|ShapeData02=next.gr2|");
  // The model line and four fillers fit; the fifth crosses the limit, and nothing after it is read.
  EXPECT_EQ(records[0].snippet.size(), std::string("Model \"big.gr2\"\n").size() + 4 * (filler.size() + 1));
  EXPECT_TRUE(records[0].ddsFiles.empty());
}
