#include "readers/property_reader.hpp"

#include <gtest/gtest.h>

#include "readers/reader_test_files.hpp"
#include "support/test_environment.hpp"

namespace {

const char kHouseLf[] =
    "YPRT\n"
    "1408123\n"
    "propertyname\t\t\"house_01\"\n"
    "propertytype   \"Building\"\n"
    "buildingfile\t\"d:/ymir work/zone/house_01.gr2\"\n"
    "shadowflag\t\"1\"\n";

std::string WithLineEnd(const std::string& text, const std::string& end) {
  std::string out;
  for (const char c : text) out += c == '\n' ? end : std::string(1, c);
  return out;
}

}  // namespace

TEST(PropertyReader, BuildingFileReadsTheSameWithAnyLineEnd) {
  for (const std::string& end : {std::string("\n"), std::string("\r\n"), std::string("\r")}) {
    const PrbRecord record = ParsePrbText(WithLineEnd(kHouseLf, end));
    EXPECT_EQ(record.propertyName, "house_01");
    EXPECT_EQ(record.propertyType, "Building");
    EXPECT_EQ(record.buildingFile, "d:\\ymir work\\zone\\house_01.gr2");
    EXPECT_TRUE(record.shadowFlag);
    EXPECT_TRUE(record.found);
    EXPECT_EQ(record.error, "");
  }
}

TEST(PropertyReader, KeysAreCaseSensitiveAndTheLaterValueWins) {
  const PrbRecord capitals =
      ParsePrbText("YPRT\r\n1\r\nPropertyName \"house\"\r\nPROPERTYTYPE \"Building\"\r\n");
  EXPECT_EQ(capitals.propertyName, "");
  EXPECT_EQ(capitals.propertyType, "");
  EXPECT_FALSE(capitals.found);
  EXPECT_EQ(capitals.error, "PropertyName not found in PRB");

  const PrbRecord twice = ParsePrbText("propertyname \"first\"\npropertyname \"second\"\n");
  EXPECT_EQ(twice.propertyName, "second");

  // "YPRT" and digit-only lines are never keys; "YPRT2" and a key with a number are.
  const PrbRecord signature = ParsePrbText("YPRT\n  42  \npropertyname YPRT2\npropertytype 7 \"x\"\n");
  EXPECT_EQ(signature.propertyName, "YPRT2");
  EXPECT_EQ(signature.propertyType, "7 \"x\"");
}

TEST(PropertyReader, OnlyAPairOfOuterQuotesIsRemoved) {
  EXPECT_EQ(ParsePrbText("propertyname \"open").propertyName, "\"open");
  EXPECT_EQ(ParsePrbText("propertyname close\"").propertyName, "close\"");
  EXPECT_EQ(ParsePrbText("propertyname \"").propertyName, "\"");
  EXPECT_EQ(ParsePrbText("propertyname \"\"").propertyName, "");
  EXPECT_EQ(ParsePrbText("propertyname \t \" spaced name \" \t").propertyName, " spaced name ");
  EXPECT_EQ(ParsePrbText("propertyname \"\xb0\xcb caf\xe9\"").propertyName, "\xb0\xcb caf\xe9");
}

TEST(PropertyReader, ShadowFlagIsTrueOnlyForExactlyOne) {
  for (const char* value : {"1", "\"1\""}) {
    EXPECT_TRUE(ParsePrbText(std::string("shadowflag ") + value).shadowFlag) << value;
  }
  for (const char* value : {"01", "1.0", "\"01\"", "0", "", "true"}) {
    EXPECT_FALSE(ParsePrbText(std::string("shadowflag ") + value).shadowFlag) << value;
  }
  EXPECT_FALSE(ParsePrbText("shadowflag 1\nshadowflag 0\n").shadowFlag);
}

TEST(PropertyReader, EffectFileAndAMissingNameWithoutError) {
  const PreRecord fire = ParsePreText(
      "YPRT\r\n"
      "5\r\n"
      "propertyname\t\"fire_01\"\r\n"
      "propertytype\t\"Effect\"\r\n"
      "effectfile\t\"d:/ymir work/effect/fire.mse\"\r\n"
      "buildingfile\t\"ignored.gr2\"\r\n");
  EXPECT_EQ(fire.propertyName, "fire_01");
  EXPECT_EQ(fire.propertyType, "Effect");
  EXPECT_EQ(fire.effectFile, "d:\\ymir work\\effect\\fire.mse");
  EXPECT_TRUE(fire.found);

  const PreRecord nameless = ParsePreText("YPRT\r\neffectfile \"a.mse\"\r\n");
  EXPECT_FALSE(nameless.found);
  EXPECT_EQ(nameless.error, "");
  EXPECT_EQ(nameless.effectFile, "a.mse");
}

TEST(PropertyReader, ReadsFilesAndNamesTheOneItCannotOpen) {
  testenv::ScopedTempDir folder("property");
  readertest::WriteTextFile(folder.path() + "house.prb", WithLineEnd(kHouseLf, "\r\n"));
  readertest::WriteTextFile(folder.path() + "fire.pre", "YPRT\npropertyname \"fire\"\neffectfile a/b.mse\n");

  EXPECT_EQ(ParsePrb(folder.path() + "house.prb").buildingFile, "d:\\ymir work\\zone\\house_01.gr2");
  EXPECT_EQ(ParsePre(folder.path() + "fire.pre").effectFile, "a\\b.mse");

  const PrbRecord missingPrb = ParsePrb(folder.path() + "gone.prb");
  EXPECT_FALSE(missingPrb.found);
  EXPECT_EQ(missingPrb.error, "Cannot open PRB: " + folder.path() + "gone.prb");
  const PreRecord missingPre = ParsePre(folder.path() + "gone.pre");
  EXPECT_FALSE(missingPre.found);
  EXPECT_EQ(missingPre.error, "Cannot open PRE: " + folder.path() + "gone.pre");
}
