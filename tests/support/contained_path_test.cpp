// Writes stay inside their roots: data-derived paths and the mirror copies.
#include "support/contained_path.hpp"

#include <gtest/gtest.h>

#include "log/gui_log.hpp"
#include "support/test_environment.hpp"

namespace {

const std::string kRoot = "Z:\\out\\Exported_Models_ITEM";

TEST(ContainedPathTest, RefusesEveryWayOutOfTheRootAndLogsIt) {
  const std::vector<std::string> escapes = {
      "..\\..\\..\\Windows\\x.gr2", "item/../../x.dds", "..", ".", "a\\.\\b", "a\\..", "..\\",
      // Windows drops trailing dots and blanks, so these climb like "..".
      "a\\...\\..\\b", "a\\.. \\b", "a\\. \\b", "a\\b.\\c", "a\\b \\c", "x.dds.", "x.dds ",
      // Drives, shares, device and long-path prefixes, alternate data streams.
      "C:\\Windows\\x.gr2", "c:x.gr2", "D:", "\\\\server\\share\\x.dds", "//server/share/x", "\\\\?\\C:\\x",
      "\\\\.\\PhysicalDrive0", "/\\server\\x", "tex.dds:hidden", "a\\b::$DATA",
      // Bytes no Windows name may hold, and DOS devices with or without an extension.
      std::string("a\0..\\b", 6), std::string("x.dds\0.exe", 10), "a\\\x01", "a\tb", "a*.dds", "a?.dds",
      "a<b", "a>b", "a|b", "a\"b", "CON", "item\\nul.dds", "Aux", "prn.txt", "a\\Com1.txt", "LPT9",
      "aux .dds"};
  for (const std::string& escape : escapes) EXPECT_EQ(JoinUnderRoot(kRoot, escape), "") << escape;
  EXPECT_EQ(JoinUnderRoot("", "item\\x.dds"), "");
  EXPECT_EQ(JoinUnderRoot("\\\\", "item\\x.dds"), "");

  testenv::DebugLogCapture log;
  JoinUnderRoot(kRoot, std::string("..\\evil\0\x07.gr2", 13));
  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("[WARN] JoinUnderRoot refused ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("path=..\\evil\\x00\\x07.gr2"), std::string::npos) << lines[0];
}

TEST(MirrorRootTest, CopiesOnlyBelowAnExistingMirrorRootDecidedPerRun) {
  testenv::ScopedTempDir dir("mirror");
  testenv::ScopedRunRoots roots("", "", "");
  EXPECT_FALSE(MirrorCopiesEnabled());
  EXPECT_EQ(MirrorDestination("item\\x.dds"), "");

  GetPathSettings().mirrorRoot = dir.path() + "ymir work\\";
  PrepareMirrorRoot();
  EXPECT_EQ(MirrorDestination("item/weapon/00010.dds"), dir.path() + "ymir work\\item\\weapon\\00010.dds");
  EXPECT_EQ(MirrorDestination("..\\..\\Windows\\x.dds"), "");

  // A missing drive turns the copies off for the whole run with one warning; the next run looks again.
  std::string missing;
  for (char letter = 'Y'; letter >= 'D' && missing.empty(); --letter) {
    if (platform::GetFileAttributes(std::string(1, letter) + ":\\") == platform::kInvalidAttributes)
      missing = std::string(1, letter) + ":\\";
  }
  ASSERT_FALSE(missing.empty()) << "every drive letter exists here";
  GetPathSettings().mirrorRoot = missing + "ymir work\\";
  PrepareMirrorRoot();
  for (int i = 0; i < 100; ++i) EXPECT_EQ(MirrorDestination("item\\x" + std::to_string(i) + ".dds"), "");
  const std::vector<GuiLogEntry> entries = GuiLogSnapshot();
  const std::string warning = "[WARN] Mirror drive " + missing + " not found: copies below " + missing +
                              "ymir work\\ skipped for this run.";
  EXPECT_EQ(
      std::count_if(entries.begin(), entries.end(), [&](const GuiLogEntry& e) { return e.text == warning; }),
      1);
  EXPECT_EQ(entries.back().level, GuiLogWarning);
  GetPathSettings().mirrorRoot = dir.path();
  PrepareMirrorRoot();
  EXPECT_TRUE(MirrorCopiesEnabled());
}

}  // namespace
