#include "support/contained_path.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/debug_log_capture.hpp"

namespace {

const std::string kRoot = "Z:\\out\\Exported_Models_ITEM";

TEST(ContainedPathTest, JoinsOrdinaryDataPaths) {
  EXPECT_EQ(JoinUnderRoot(kRoot, "item\\weapon\\00010.gr2"), kRoot + "\\item\\weapon\\00010.gr2");
  EXPECT_EQ(JoinUnderRoot(kRoot + "\\", "/item//weapon/x.DDS"), kRoot + "\\item\\weapon\\x.DDS");
  EXPECT_EQ(JoinUnderRoot(kRoot + "/", "\\npc\\guard\\guard.gr2"), kRoot + "\\npc\\guard\\guard.gr2");
  EXPECT_EQ(JoinUnderRoot(kRoot, ""), kRoot);
  EXPECT_EQ(JoinUnderRoot(kRoot, "a..b\\..c\\.hidden\\x.tar.gz"), kRoot + "\\a..b\\..c\\.hidden\\x.tar.gz");
  EXPECT_EQ(JoinUnderRoot(kRoot, "console\\com10.txt\\nul_x.dds\\lpt0"),
            kRoot + "\\console\\com10.txt\\nul_x.dds\\lpt0");
  EXPECT_EQ(JoinUnderRoot(kRoot, "Cartella Speciale\\\xe8 bello.dds"),
            kRoot + "\\Cartella Speciale\\\xe8 bello.dds");
}

TEST(ContainedPathTest, RefusesEveryWayOutOfTheRoot) {
  const std::vector<std::string> escapes = {
      "..\\..\\..\\Windows\\x.gr2", "item/../../x.dds", "..", ".", "a\\.\\b", "a\\..", "..\\",
      // Windows drops trailing dots and blanks, so these climb like "..".
      "a\\...\\..\\b", "a\\.. \\b", "a\\. \\b", "a\\b.\\c", "a\\b \\c", "x.dds.", "x.dds ",
      // Drives, shares, device and long-path prefixes.
      "C:\\Windows\\x.gr2", "c:x.gr2", "D:", "\\\\server\\share\\x.dds", "//server/share/x", "\\\\?\\C:\\x",
      "\\\\.\\PhysicalDrive0", "/\\server\\x",
      // Alternate data streams.
      "tex.dds:hidden", "a\\b::$DATA",
      // Bytes no Windows name may hold.
      std::string("a\0..\\b", 6), std::string("x.dds\0.exe", 10),
      "a\\\x01"
      "b",
      "a\tb", "a*.dds", "a?.dds", "a<b", "a>b", "a|b", "a\"b",
      // DOS devices, with or without an extension.
      "CON", "item\\nul.dds", "Aux", "prn.txt", "a\\Com1.txt", "LPT9", "aux .dds"};
  for (const std::string& escape : escapes) {
    EXPECT_EQ(JoinUnderRoot(kRoot, escape), "") << escape;
  }
  EXPECT_EQ(JoinUnderRoot("", "item\\x.dds"), "");
  EXPECT_EQ(JoinUnderRoot("\\\\", "item\\x.dds"), "");
}

TEST(ContainedPathTest, RefusalIsLoggedWithoutRawControlBytes) {
  testenv::DebugLogCapture log;
  JoinUnderRoot(kRoot, std::string("..\\evil\0\x07.gr2", 13));
  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("[WARN] JoinUnderRoot refused ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("path=..\\evil\\x00\\x07.gr2"), std::string::npos) << lines[0];
}

// Whatever strangers write, an accepted result is the root or a plain path below it.
TEST(ContainedPathTest, RandomDataNeverLeavesTheRoot) {
  const std::string alphabet = "..\\/ a:Cc\x01?";
  std::mt19937 random(7);
  int accepted = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string relative;
    const int length = static_cast<int>(random() % 12);
    for (int j = 0; j < length; ++j) relative += alphabet[random() % alphabet.size()];
    const std::string joined = JoinUnderRoot(kRoot, relative);
    if (joined.empty()) continue;
    ++accepted;
    ASSERT_EQ(joined.compare(0, kRoot.size(), kRoot), 0) << relative;
    const std::string below = joined.substr(kRoot.size());
    ASSERT_TRUE(below.empty() || below[0] == '\\') << relative;
    std::size_t start = 1;
    while (start < below.size()) {
      std::size_t end = below.find('\\', start);
      if (end == std::string::npos) end = below.size();
      const std::string component = below.substr(start, end - start);
      ASSERT_FALSE(component.empty()) << relative;
      ASSERT_NE(component.back(), '.') << relative;
      ASSERT_NE(component.back(), ' ') << relative;
      ASSERT_EQ(component.find_first_of(":/?\x01"), std::string::npos) << relative;
      start = end + 1;
    }
  }
  EXPECT_GT(accepted, 1000);
}

}  // namespace
