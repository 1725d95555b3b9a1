#include "log/debug_log.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <typeinfo>
#include <vector>

#include "platform/platform.hpp"
#include "readers/text_lines.hpp"
#include "support/client_paths.hpp"
#include "support/test_environment.hpp"

namespace {

// The tail of every debug.log line that contains `tag`, after the "[date] " head; the writer is
// stopped first so that everything queued is on disk.
std::vector<std::string> LoggedLinesWith(const std::string& tag) {
  StopLogWriter();
  std::string contents;
  EXPECT_TRUE(platform::ReadWholeFile(DebugLogPath(), contents)) << DebugLogPath();
  std::vector<std::string> found;
  for (const std::string& line : SplitLinesCopy(contents)) {
    if (line.find(tag) == std::string::npos) continue;
    const std::size_t head = line.find("] ");
    found.push_back(head == std::string::npos ? line : line.substr(head + 2));
  }
  return found;
}

// '#' stands for a digit, '_' for a digit or a blank; everything else must match as it is.
bool MatchesShape(const std::string& text, const std::string& shape) {
  if (text.size() != shape.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
    if (shape[i] == '#' ? !digit : shape[i] == '_' ? !(digit || text[i] == ' ') : text[i] != shape[i])
      return false;
  }
  return true;
}

std::string UniqueTag(const std::string& name) {
  static int counter = 0;
  return "<" + name + "-" + std::to_string(platform::CurrentThreadId()) + "-" +
         std::to_string(std::time(nullptr)) + "-" + std::to_string(++counter) + ">";
}

TEST(DebugLog, WritesToThePerUserFolderInCtimeFormWithCrLf) {
  EXPECT_EQ(ToLowerCopy(DebugLogPath()), ToLowerCopy(testenv::UserDataFolder() + "debug.log"));
  const std::string tag = UniqueTag("format");
  LogLine("[STEP] " + tag + " first\nsecond");
  StopLogWriter();

  std::string contents;
  ASSERT_TRUE(platform::ReadWholeFile(DebugLogPath(), contents));
  const std::size_t at = contents.find("[STEP] " + tag);
  ASSERT_NE(at, std::string::npos);
  const std::size_t lineStart =
      contents.rfind('\n', at) == std::string::npos ? 0 : contents.rfind('\n', at) + 1;
  const std::string record = contents.substr(lineStart, contents.find("second", at) + 8 - lineStart);
  // Text mode on Windows: every line feed of the record, the embedded one too, is CR LF.
  const std::string tail = "] [STEP] " + tag + " first\r\nsecond\r\n";
  ASSERT_EQ(record.size(), 25 + tail.size()) << record;
  EXPECT_EQ(record.substr(25), tail);
  const std::string date = record.substr(1, 24);
  EXPECT_EQ(record[0], '[');
  EXPECT_NE(std::string("MonTueWedThuFriSatSun").find(date.substr(0, 3)), std::string::npos) << date;
  EXPECT_NE(std::string("JanFebMarAprMayJunJulAugSepOctNovDec").find(date.substr(4, 3)), std::string::npos)
      << date;
  // The day is right-aligned in two places: a blank, not a zero, before a one-digit day.
  EXPECT_TRUE(MatchesShape(date.substr(7), " _# ##:##:## ####")) << date;
  EXPECT_EQ(date[3], ' ');
  EXPECT_NE(date[8], '0') << date;
}

TEST(DebugLog, NoLineLostAtShutdownAndOrderKeptPerThread) {
  const std::string tag = UniqueTag("threads");
  constexpr int kThreads = 6;
  constexpr int kLines = 300;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &tag] {
      for (int i = 0; i < kLines; ++i) LogLine(tag + " t" + std::to_string(t) + " n" + std::to_string(i));
    });
  }
  // A shutdown racing the producers: lines queued before, during and after it must all arrive.
  std::thread stopper([] {
    for (int i = 0; i < 5; ++i) {
      StopLogWriter();
      std::this_thread::yield();
    }
  });
  for (std::thread& thread : threads) thread.join();
  stopper.join();

  const std::vector<std::string> lines = LoggedLinesWith(tag);
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
  std::vector<int> next(kThreads, 0);
  for (const std::string& line : lines) {
    const std::size_t t = line.find(" t");
    const std::size_t n = line.find(" n");
    const int thread = std::stoi(line.substr(t + 2, n - t - 2));
    const int number = std::stoi(line.substr(n + 2));
    ASSERT_EQ(number, next[thread]) << "thread " << thread << " out of order";
    ++next[thread];
  }
}

TEST(DebugLog, LinesAfterStopStartAFreshWriter) {
  const std::string tag = UniqueTag("restart");
  LogLine(tag + " before");
  StopLogWriter();
  StopLogWriter();  // a second stop with no writer is harmless
  LogLine(tag + " after");
  EXPECT_EQ(LoggedLinesWith(tag), (std::vector<std::string>{tag + " before", tag + " after"}));
}

TEST(ExceptionRecord, QuotesEscapedAndLastOpCarried) {
  const std::string tag = UniqueTag("exc");
  SetLastOp("copy \"a\" to b");
  platform::SetLastError(0);
  const std::runtime_error error("bad \"quoted\" value");
  LogException(tag, error);
  SetLastOp("");

  const std::vector<std::string> lines = LoggedLinesWith(tag);
  ASSERT_EQ(lines.size(), 1u);
  const std::string head = "[EXC] time=";
  ASSERT_EQ(lines[0].compare(0, head.size(), head), 0) << lines[0];
  EXPECT_TRUE(MatchesShape(lines[0].substr(head.size(), 20), "####-##-## ##:##:## ")) << lines[0];
  const std::string expected = "thread=" + std::to_string(platform::CurrentThreadId()) + " context=\"" + tag +
                               "\" type=" + typeid(error).name() +
                               " last_op=\"copy \"a\" to b\" what=\"bad \\\"quoted\\\" value\" WinErr=0";
  EXPECT_EQ(lines[0].substr(head.size() + 20), expected);
}

TEST(ExceptionRecord, SystemErrorAndOsErrorFields) {
  const std::string tag = UniqueTag("syserr");
  const std::system_error error(std::make_error_code(std::errc::permission_denied), "open");
  const std::uint32_t osError = 2;
  platform::SetLastError(osError);
  LogException(tag, error);
  const std::runtime_error plain("plain");
  platform::SetLastError(0);
  LogException(tag, plain);

  const std::vector<std::string> lines = LoggedLinesWith(tag);
  ASSERT_EQ(lines.size(), 2u);
  const std::string codeFields = " std_err_code=" + std::to_string(error.code().value()) + " std_err_msg=\"" +
                                 error.code().message() + "\"";
  EXPECT_NE(lines[0].find(" what=\"" + std::string(error.what()) + "\"" + codeFields +
                          " WinErr=2 WinErrMsg=\"" + platform::ErrorMessage(osError) + "\""),
            std::string::npos)
      << lines[0];
  EXPECT_EQ(lines[0].find(" last_op="), std::string::npos);
  EXPECT_EQ(lines[1].find("std_err"), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find(" what=\"plain\" WinErr=0"), std::string::npos) << lines[1];
  EXPECT_EQ(lines[1].find("WinErrMsg"), std::string::npos);
}

TEST(ExceptionRecord, CatchAllFormHasNoWhat) {
  const std::string tag = UniqueTag("unknown");
  std::thread([&tag] {
    // lastOp belongs to its thread: set here, it must not leak into the other records.
    SetLastOp("step 3");
    platform::SetLastError(5);
    LogException(tag);
  }).join();
  LogException(tag);

  const std::vector<std::string> lines = LoggedLinesWith(tag);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find(" context=\"" + tag + "\" type=unknown last_op=\"step 3\" WinErr=5"),
            std::string::npos)
      << lines[0];
  EXPECT_EQ(lines[0].find("WinErrMsg"), std::string::npos);
  EXPECT_EQ(lines[0].find("what="), std::string::npos);
  EXPECT_NE(lines[1].find(" context=\"" + tag + "\" type=unknown WinErr="), std::string::npos) << lines[1];
}

}  // namespace
