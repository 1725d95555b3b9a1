#include "log/console.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Drops every "ESC [ digits-and-semicolons m" sequence.
std::string WithoutEscapes(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\033' && i + 1 < text.size() && text[i + 1] == '[') {
      std::size_t end = text.find_first_not_of("0123456789;", i + 2);
      if (end != std::string::npos && text[end] == 'm') {
        i = end;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::size_t Count(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size())) {
    ++count;
  }
  return count;
}

const std::string kReset = "\033[0m";

TEST(ConsoleLines, ColouredAndPlainForms) {
  EXPECT_EQ(ConsoleLineText(ConsoleLineKind::Ok, "done", true),
            "\033[38;5;46m[OK] " + kReset + "\033[38;5;51mdone" + kReset);
  EXPECT_EQ(ConsoleLineText(ConsoleLineKind::Warn, "w", true),
            "\033[38;5;226m[WARN] " + kReset + "\033[38;5;244mw" + kReset);
  EXPECT_EQ(ConsoleLineText(ConsoleLineKind::Err, "e", true),
            "\033[38;5;196m[ERR] " + kReset + "\033[38;5;244me" + kReset);
  EXPECT_EQ(ConsoleLineText(ConsoleLineKind::Err, "e", false), "[ERR] e");

  // Standard output captured to a file is no terminal: the same text, no escapes.
  testing::internal::CaptureStdout();
  PrintOk("one");
  PrintWarn("two");
  PrintErr("three");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "[OK] one\n[WARN] two\n[ERR] three\n");
}

TEST(ScanProgress, HalfWayBar) {
  const std::string plain = ScanProgressText(5, 10, false);
  EXPECT_EQ(plain, "[SCAN] [" + std::string(20, '#') + ">" + std::string(19, '.') + "] 50.0% (5/10) /");

  const std::string coloured = ScanProgressText(5, 10, true);
  EXPECT_EQ(WithoutEscapes(coloured), plain);
  EXPECT_EQ(coloured.rfind("\033[38;5;51m[SCAN]" + kReset + " \033[38;5;244m[" + kReset, 0), 0u);
  EXPECT_EQ(Count(coloured, "\033[38;5;46m#" + kReset), 20u);
  EXPECT_EQ(Count(coloured, "\033[38;5;244m." + kReset), 19u);
  EXPECT_NE(coloured.find("\033[38;5;46m#" + kReset + "\033[38;5;201m>" + kReset + "\033[38;5;244m."),
            std::string::npos);
  EXPECT_NE(coloured.find("\033[38;5;226m50.0%" + kReset + "\033[38;5;244m (5/10) " + kReset),
            std::string::npos);
  // The spinner is "|/-\\" at current modulo 4.
  const std::string spinner = "\033[38;5;201m/" + kReset;
  EXPECT_EQ(coloured.substr(coloured.size() - spinner.size()), spinner);
}

TEST(ScanProgress, EndsClampsAndSpins) {
  EXPECT_EQ(ScanProgressText(0, 0, true), "");
  EXPECT_EQ(ScanProgressText(3, -1, false), "");
  EXPECT_EQ(ScanProgressText(10, 10, false), "[SCAN] [" + std::string(40, '#') + "] 100.0% (10/10) -");
  EXPECT_EQ(ScanProgressText(0, 7, false), "[SCAN] [>" + std::string(39, '.') + "] 0.0% (0/7) |");
  EXPECT_EQ(ScanProgressText(15, 10, false), "[SCAN] [" + std::string(40, '#') + "] 100.0% (15/10) \\");
  EXPECT_EQ(ScanProgressText(-3, 10, false), "[SCAN] [>" + std::string(39, '.') + "] 0.0% (-3/10) /");
  EXPECT_EQ(ScanProgressText(1, 3, false),
            "[SCAN] [" + std::string(13, '#') + ">" + std::string(26, '.') + "] 33.3% (1/3) /");
}

TEST(ScanProgress, OnlyTheFinishedBarReachesAFile) {
  testing::internal::CaptureStdout();
  PrintScanProgress(0, 0);
  PrintScanProgress(3, 10);
  PrintScanProgress(9, 10);
  PrintScanProgress(10, 10);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, ScanProgressText(10, 10, false) + "\n");
  EXPECT_EQ(out.find('\r'), std::string::npos);
}

}  // namespace
