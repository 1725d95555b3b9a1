#include "readers/msm_parser.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.hpp"
#include "platform/temp_folder.hpp"

namespace {

std::string Write(const std::string& path, const std::string& text) {
  EXPECT_TRUE(testing_support::WriteTextFile(path, text)) << path;
  return path;
}

std::vector<std::string> NamesOf(const std::vector<MsmGroupRecord>& records) {
  std::vector<std::string> names;
  for (const MsmGroupRecord& record : records) names.push_back(record.groupName);
  return names;
}

// A hair script as real clients write it: tabs, trailing blanks, a declared count that matches nothing.
const char kHairScript[] =
    "ScriptType\tRaceDataScript\n"
    "BaseModelFileName\t\"d:/ymir work/pc2/assassin/assassin_novice.gr2\"\n"
    "Group HairData\n"
    "{\n"
    "\tPathName\t\"d:/ymir Work/pc2/assassin/\"  \n"
    "\tHairDataCount\t900\n"
    "\tGroup HairData01\n"
    "\t{\n"
    "\t\tHairIndex\t1\n"
    "\t\tModel\t\t\"hair/hair_1_1.gr2\"\t\n"
    "\t\tSourceSkin\t\"hair/hair_1_1.dds\"\n"
    "\t\tTargetSkin  \t \"assassin_hair_01_white.dds\"\n"
    "\t}\n"
    "\tGroup HairData07\n"
    "\t{\n"
    "\t\tModel\t\"hair/hair_7.gr2\"\n"
    "\t}\n"
    "\tGroup HairData123\n"
    "\t{\n"
    "\t\tModel\t\"hair/hair_123.gr2\"\n"
    "\t}\n"
    "}\n";

}  // namespace

TEST(MsmParser, ResolvesGroupsOfARealisticScript) {
  const auto records = MsmParser::Parse(kHairScript, "X:\\client\\assassin_w.msm");
  ASSERT_EQ(NamesOf(records),
            (std::vector<std::string>{"BaseModel", "HairData01", "HairData07", "HairData123"}));

  const MsmGroupRecord& base = records[0];
  EXPECT_EQ(base.groupType, "BaseModel");
  EXPECT_EQ(base.groupIndex, -1);
  EXPECT_EQ(base.modelPath, "d:\\ymir work\\pc2\\assassin\\assassin_novice.gr2");
  EXPECT_EQ(base.snippet, "BaseModelFileName\t\"d:/ymir work/pc2/assassin/assassin_novice.gr2\"\n");

  const MsmGroupRecord& hair = records[1];
  EXPECT_EQ(hair.msmPath, "X:\\client\\assassin_w.msm");
  EXPECT_EQ(hair.groupType, "HairData");
  EXPECT_EQ(hair.groupIndex, 1);
  EXPECT_EQ(hair.modelPath, "d:\\ymir Work\\pc2\\assassin\\hair\\hair_1_1.gr2");
  EXPECT_EQ(hair.ddsFiles, (std::vector<std::string>{"assassin_hair_01_white.dds", "hair\\hair_1_1.dds"}));
  EXPECT_EQ(hair.snippet,
            "\t\tHairIndex\t1\n"
            "\t\tModel\t\t\"hair/hair_1_1.gr2\"\t\n"
            "\t\tSourceSkin\t\"hair/hair_1_1.dds\"\n"
            "\t\tTargetSkin  \t \"assassin_hair_01_white.dds\"\n");
  EXPECT_TRUE(hair.modelInfo.textures.empty());

  // Gaps and three-digit numbers are taken as written; the declared count plays no role.
  EXPECT_EQ(records[2].groupIndex, 7);
  EXPECT_EQ(records[3].groupIndex, 123);
  EXPECT_EQ(records[3].modelPath, "d:\\ymir Work\\pc2\\assassin\\hair\\hair_123.gr2");
}

TEST(MsmParser, OpensOnlyNumberedGroupsWithABrace) {
  const std::string script =
      "Group ShapeData\n{\n"  // the outer groups never open
      "Group HairData {\n"
      "Group ShapeData07 {\nModel \"a.gr2\"\n}\n"  // brace on the header line
      "Group ShapeData08\n  {  \nModel \"b.gr2\"\n}\n"
      "Group ShapeData09\n"                        // dropped: the next line is no brace...
      "Group ShapeData10 {\nModel \"c.gr2\"\n}\n"  // ...and is handled as a line of its own
      "Group HairDataX1\n{\nModel \"x.gr2\"\n}\n"
      "Group ShapeData1a {\nModel \"y.gr2\"\n}\n"
      "Group hairdata02 {\nModel \"z.gr2\"\n}\n";
  const auto records = MsmParser::Parse(script, "s.msm");
  EXPECT_EQ(NamesOf(records), (std::vector<std::string>{"ShapeData07", "ShapeData08", "ShapeData10"}));
  EXPECT_EQ(records[0].modelPath, "a.gr2");
  EXPECT_EQ(records[1].modelPath, "b.gr2");
  EXPECT_EQ(records[2].modelPath, "c.gr2");
}

TEST(MsmParser, GroupEndsAtFirstBraceLineOrAtEndOfText) {
  const std::string script =
      "Group ShapeData01 {\n"
      "Group Inner\n{\nModel \"inner.gr2\"\n}\n"  // the nested block's brace closes the group
      "Model \"after.gr2\"\n}\n"
      "Group ShapeData02 {\nShapeIndex 2\n}\n"     // no Model: still a record, empty model path
      "Group HairData03 {\nModel \"open.gr2\"\n";  // never closed
  const auto records = MsmParser::Parse(script, "s.msm");
  ASSERT_EQ(NamesOf(records), (std::vector<std::string>{"ShapeData01", "ShapeData02", "HairData03"}));
  EXPECT_EQ(records[0].modelPath, "inner.gr2");
  EXPECT_EQ(records[0].snippet, "Model \"inner.gr2\"\n");
  EXPECT_EQ(records[1].modelPath, "");
  EXPECT_EQ(records[1].groupType, "ShapeData");
  EXPECT_EQ(records[2].modelPath, "open.gr2");
}

TEST(MsmParser, FolderPrefixesAndSpecialPath) {
  const std::string script =
      "BaseModelFileName \"bare_before.gr2\"\n"  // no folder seen yet
      "Group ShapeData\n{\n"
      "PATHNAME \"d:/ymir work/pc/warrior\"\n"  // any key case; a separator is appended
      "Group ShapeData00 {\nmodel \"body_0.gr2\"\n}\n"
      "Group ShapeData01 {\nSpecialPath \"d:/ymir work/special/\"\nModel \"body_1.gr2\"\n}\n"
      "Group ShapeData02 {\nModel \"body_2.gr2\"\n}\n"
      "}\n"
      "BaseModelFileName \"bare_after.gr2\"\n"
      "BaseModelFileName \"sub/with_path.gr2\"\n"
      "Group HairData\n{\n"
      "PathName \"d:/ymir work/pc/hair/\"\n"  // the current folder moves, the base folder stays
      "Group HairData00 {\nModel \"h.gr2\"\nBaseModelFileName \"late.gr2\"\n}\n"
      "}\n";
  const auto records = MsmParser::Parse(script, "s.msm");
  ASSERT_EQ(records.size(), 8u);
  EXPECT_EQ(records[0].modelPath, "bare_before.gr2");
  EXPECT_EQ(records[1].modelPath, "d:\\ymir work\\pc\\warrior\\body_0.gr2");
  EXPECT_EQ(records[2].modelPath, "d:\\ymir work\\special\\body_1.gr2");
  EXPECT_EQ(records[2].snippet, "SpecialPath \"d:/ymir work/special/\"\nModel \"body_1.gr2\"\n");
  EXPECT_EQ(records[3].modelPath, "d:\\ymir work\\pc\\warrior\\body_2.gr2");
  EXPECT_EQ(records[4].modelPath, "d:\\ymir work\\pc\\warrior\\bare_after.gr2");
  EXPECT_EQ(records[5].modelPath, "sub\\with_path.gr2");
  // A base model line inside a group is emitted at once and does not join the group's text.
  EXPECT_EQ(records[6].groupName, "BaseModel");
  EXPECT_EQ(records[6].modelPath, "d:\\ymir work\\pc\\warrior\\late.gr2");
  EXPECT_EQ(records[7].groupName, "HairData00");
  EXPECT_EQ(records[7].modelPath, "d:\\ymir work\\pc\\hair\\h.gr2");
  EXPECT_EQ(records[7].snippet, "Model \"h.gr2\"\n");
}

TEST(MsmParser, TextureKeysAndModelKeyMatching) {
  const std::string script =
      "Group ShapeData05 {\n"
      "ModelScale 2\n"  // not the Model key
      "Model_x \"first.gr2\"\n"
      "Model \"second.gr2\"\n"
      "SourceSkin \"a.dds\"\n"
      "SourceSkin2 \"b.dds\"\n"
      "SourceSkin3 \"c.dds\"\n"
      "TargetSkin8 \"d.DDS\"\n"
      "SourceSkin9 \"e.dds\"\n"
      "TargetSkin \"f.tga\"\n"
      "TargetSkin \"a.dds\"\n"
      "targetskin2 \"A.dds\"\n"
      "SourceSkin \".dds\"\n"
      "SourceSkin \"dds\"\n"
      "SourceSkin\n"
      "}\n";
  const auto records = MsmParser::Parse(script, "s.msm");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].groupIndex, 5);
  // Model_x carries the Model key; the rest of the line is its value.
  EXPECT_EQ(records[0].modelPath, "_x \"first.gr2");
  EXPECT_EQ(records[0].ddsFiles,
            (std::vector<std::string>{".dds", "A.dds", "a.dds", "b.dds", "c.dds", "d.DDS"}));
}

TEST(MsmParser, ReadKeyValueRules) {
  EXPECT_EQ(ReadKeyValue("", "Model"), "");
  EXPECT_EQ(ReadKeyValue(" \t model \t \"d:/x/y.gr2\"  ", "Model"), "d:\\x\\y.gr2");
  EXPECT_EQ(ReadKeyValue("Model=\"a.gr2\"", "Model"), "=\"a.gr2");
  EXPECT_EQ(ReadKeyValue("Model9 a", "Model"), "");
  EXPECT_EQ(ReadKeyValue("Model \t ", "Model"), "");
  EXPECT_EQ(ReadKeyValue("Mod", "Model"), "");
  // Bytes outside ASCII are neither folded nor decoded.
  EXPECT_EQ(ReadKeyValue("Model \"h\xe9r\xfc.gr2\"", "Model"), "h\xe9r\xfc.gr2");
  EXPECT_EQ(ReadKeyValue("Mod\xc9l x", "Mod\xe9l"), "");
}

TEST(MsmParser, GroupNamesGiveTypeAndIndex) {
  EXPECT_EQ(GroupTypeOf("HairData"), "Unknown");
  EXPECT_EQ(GroupTypeOf("ShapeData"), "Unknown");
  EXPECT_EQ(GroupTypeOf("HairData012"), "HairData");
  EXPECT_EQ(GroupTypeOf("ShapeData3"), "ShapeData");
  EXPECT_EQ(GroupTypeOf("ShapeData3 "), "Unknown");
  EXPECT_EQ(GroupTypeOf("HairDataShapeData1"), "Unknown");

  EXPECT_EQ(GroupIndexOf("HairData012"), 12);
  EXPECT_EQ(GroupIndexOf("ShapeData05"), 5);
  EXPECT_EQ(GroupIndexOf("ShapeDataX"), 0);
  EXPECT_EQ(GroupIndexOf("Other12"), -1);
  EXPECT_EQ(GroupIndexOf("ShapeData2147483647"), 2147483647);
  EXPECT_EQ(GroupIndexOf("ShapeData2147483648"), -1);
  EXPECT_EQ(GroupIndexOf("HairData99999999999999999999"), -1);

  // A number out of range still gives a record, with index -1.
  const auto records = MsmParser::Parse("Group HairData99999999999 {\nModel \"m.gr2\"\n}\n", "s.msm");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].groupIndex, -1);
}

TEST(MsmParser, LineEndingsCrLfLfAndLoneCr) {
  std::string lf = kHairScript;
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const auto fromLf = MsmParser::Parse(lf, "s.msm");
  const auto fromCrLf = MsmParser::Parse(crlf, "s.msm");
  ASSERT_EQ(NamesOf(fromLf), NamesOf(fromCrLf));
  for (std::size_t i = 0; i < fromLf.size(); ++i) {
    EXPECT_EQ(fromLf[i].snippet, fromCrLf[i].snippet);
    EXPECT_EQ(fromLf[i].modelPath, fromCrLf[i].modelPath);
    EXPECT_EQ(fromLf[i].ddsFiles, fromCrLf[i].ddsFiles);
  }

  // A group's brace, a lone CR and the outer brace: the next outer group must not be swallowed.
  const std::string mixed =
      "Group ShapeData\r\n{\r\n\tPathName \"d:/ymir work/pc/\"\r\n"
      "\tGroup ShapeData00\r\n\t{\r\n\t\tModel \"s.gr2\"\r\n\r\n\t}\r}\r\n"
      "Group HairData\n{\n\tGroup HairData00\r\t{\r\t\tModel \"h.gr2\"\r\t}\r}";
  const auto records = MsmParser::Parse(mixed, "s.msm");
  ASSERT_EQ(NamesOf(records), (std::vector<std::string>{"ShapeData00", "HairData00"}));
  // The blank line inside the group stays in the text as an empty line.
  EXPECT_EQ(records[0].snippet, "\t\tModel \"s.gr2\"\n\n");
  EXPECT_EQ(records[1].modelPath, "d:\\ymir work\\pc\\h.gr2");
}

TEST(MsmParser, OversizedGroupIsCutAndStillEmitted) {
  std::string script = "Group ShapeData01 {\nModel \"big.gr2\"\n";
  const std::string filler(1024 * 1024 - 1, 'x');  // with its line feed, one MiB per line
  for (int i = 0; i < 6; ++i) script += filler + "\n";
  script += "SourceSkin \"late.dds\"\n}\nGroup ShapeData02 {\nModel \"next.gr2\"\n}\n";

  testing::internal::CaptureStderr();
  const auto records = MsmParser::Parse(script, "s.msm");
  const std::string warnings = testing::internal::GetCapturedStderr();

  EXPECT_NE(warnings.find("[MsmParser WARN] Group 'ShapeData01' too large, truncating."), std::string::npos);
  ASSERT_EQ(NamesOf(records), (std::vector<std::string>{"ShapeData01", "ShapeData02"}));
  EXPECT_EQ(records[0].modelPath, "big.gr2");
  // The model line and four fillers fit; the fifth crosses the limit and is not taken.
  EXPECT_EQ(records[0].snippet.size(), std::string("Model \"big.gr2\"\n").size() + 4 * (filler.size() + 1));
  EXPECT_TRUE(records[0].ddsFiles.empty());  // taken only after the cut
  EXPECT_EQ(records[1].snippet, "Model \"next.gr2\"\n");
}

TEST(MsmParser, UnreadableFileGivesNoRecords) {
  testing_support::ScopedTempFolder folder;
  EXPECT_TRUE(MsmParser::ParseFile((folder / "missing.msm")).empty());
  const std::string path = Write(folder / "sura_m.msm", kHairScript);
  const auto records = MsmParser::ParseFile(path);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[1].msmPath, path);
}

TEST(MsmParser, FindsStandardScriptsDepthFirstInAnyCase) {
  testing_support::ScopedTempFolder client;
  for (const char* folder : {"a", "b\\deep", "c"}) platform::CreateFolderWithParents(client / folder);
  Write(client / "a\\Warrior_M.msm", "");
  Write(client / "b\\deep\\warrior_m.msm", "");
  Write(client / "b\\SURA_W.MSM", "");
  Write(client / "c\\warrior_m_old.msm", "");
  Write(client / "c\\ninja_m.msm", "");
  Write(client / "wolfman_m.msm", "");

  const auto found = FindStandardMsmFiles(client.path() + "/");
  const std::string root = client.path();
  const std::map<std::int32_t, std::string> expected{{0, root + "\\a\\Warrior_M.msm"},
                                                     {1, root + "\\b\\deep\\warrior_m.msm"},
                                                     {2, root + "\\b\\SURA_W.MSM"},
                                                     {3, root + "\\wolfman_m.msm"}};
  EXPECT_EQ(found, expected);
  EXPECT_TRUE(FindStandardMsmFiles((client / "no_such_folder")).empty());
}
