#include "readers/property_reader.hpp"

#include <gtest/gtest.h>

#include "support/test_environment.hpp"

static const char kHouse[] =
    "YPRT\n1408123\npropertyname\t\t\"house_01\"\npropertytype   \"Building\"\n"
    "buildingfile\t\"d:/ymir work/zone/house_01.gr2\"\nshadowflag\t\"1\"\n";

TEST(PropertyReader, BuildingFileWithAnyLineEndAndEffectFile) {
  for (const std::string end : {"\n", "\r\n", "\r"}) {
    const PrbRecord record = ParsePrbText(testenv::WithLineEnd(kHouse, end));
    EXPECT_EQ(record.propertyName + "|" + record.propertyType, "house_01|Building");
    EXPECT_EQ(record.buildingFile, "d:\\ymir work\\zone\\house_01.gr2");
    EXPECT_TRUE(record.shadowFlag);
    EXPECT_TRUE(record.found);
  }
  const PreRecord fire = ParsePreText(
      "YPRT\r\n5\r\npropertyname\t\"fire_01\"\r\neffectfile\t\"d:/ymir work/effect/fire.mse\"\r\n"
      "buildingfile\t\"ignored.gr2\"\r\n");
  EXPECT_EQ(fire.propertyName, "fire_01");
  EXPECT_EQ(fire.effectFile, "d:\\ymir work\\effect\\fire.mse");
  EXPECT_TRUE(fire.found);
  EXPECT_EQ(ParsePreText("YPRT\r\neffectfile \"a.mse\"\r\n").error, "");  // no name, but no error either
}

TEST(PropertyReader, KeyRulesAndFilesReadOrNamedWhenTheyCannotBeOpened) {
  const PrbRecord capitals =
      ParsePrbText("YPRT\r\n1\r\nPropertyName \"house\"\r\nPROPERTYTYPE \"Building\"\r\n");
  EXPECT_EQ(capitals.propertyType, "");
  EXPECT_EQ(capitals.error, "PropertyName not found in PRB");
  EXPECT_EQ(ParsePrbText("propertyname \"first\"\npropertyname \"second\"\n").propertyName, "second");
  // "YPRT" and digit-only lines are never keys; "YPRT2" and a key with a number are.
  const PrbRecord signature = ParsePrbText("YPRT\n  42  \npropertyname YPRT2\npropertytype 7 \"x\"\n");
  EXPECT_EQ(signature.propertyName + "|" + signature.propertyType, "YPRT2|7 \"x\"");
  // Only a pair of outer quotes is removed; bytes of other code pages pass through.
  EXPECT_EQ(ParsePrbText("propertyname \"open").propertyName, "\"open");
  EXPECT_EQ(ParsePrbText("propertyname \t \" spaced \xb0\xcb \" \t").propertyName, " spaced \xb0\xcb ");
  for (const char* flag : {"01", "1.0", "0", "", "true", "1\nshadowflag 0"}) {
    EXPECT_FALSE(ParsePrbText(std::string("shadowflag ") + flag).shadowFlag) << flag;
  }

  testenv::ScopedTempDir folder;
  const std::string house = testenv::WriteFile(folder / "house.prb", testenv::WithLineEnd(kHouse, "\r\n"));
  const std::string fire =
      testenv::WriteFile(folder / "fire.pre", "YPRT\npropertyname \"fire\"\neffectfile a/b.mse\n");
  EXPECT_EQ(ParsePrb(house).buildingFile + "|" + ParsePre(fire).effectFile,
            "d:\\ymir work\\zone\\house_01.gr2|a\\b.mse");
  EXPECT_EQ(ParsePrb(folder / "gone.prb").error, "Cannot open PRB: " + folder / "gone.prb");
  EXPECT_EQ(ParsePre(folder / "gone.pre").error, "Cannot open PRE: " + folder / "gone.pre");
}
