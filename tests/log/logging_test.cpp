// debug.log, the window log and the console printers.
#include <gtest/gtest.h>

#include <regex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <typeinfo>

#include "log/console.hpp"
#include "log/debug_log.hpp"
#include "log/gui_log.hpp"
#include "support/client_paths.hpp"
#include "support/test_environment.hpp"

namespace {

using testenv::DebugLogCapture;

TEST(DebugLog, WritesToThePerUserFolderInCtimeFormWithCrLf) {
  EXPECT_EQ(ToLowerCopy(DebugLogPath()), ToLowerCopy(testenv::UserDataFolder() + "debug.log"));
  LogLine("[STEP] format first\nsecond");
  StopLogWriter();
  const std::string contents = testenv::ReadFile(DebugLogPath());
  const std::size_t at = contents.rfind("[STEP] format first");
  ASSERT_NE(at, std::string::npos);
  const std::string record = contents.substr(contents.rfind('\n', at) + 1);
  // A blank, not a zero, before a one-digit day; every line feed of the record is CR LF.
  EXPECT_TRUE(std::regex_match(record, std::regex("\\[(Mon|Tue|Wed|Thu|Fri|Sat|Sun) "
                                                  "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                                                  "[ 123]\\d \\d\\d:\\d\\d:\\d\\d \\d{4}\\] "
                                                  "\\[STEP\\] format first\r\nsecond\r\n")))
      << record;
}

TEST(DebugLog, NoLineLostAtShutdownAndOrderKeptPerThread) {
  constexpr int kThreads = 6, kLines = 300;
  DebugLogCapture log;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) LogLine("t" + std::to_string(t) + " n" + std::to_string(i));
    });
  }
  // A shutdown racing the producers: lines queued before, during and after it must all arrive.
  std::thread stopper([] {
    for (int i = 0; i < 5; ++i, std::this_thread::yield()) StopLogWriter();
  });
  for (std::thread& thread : threads) thread.join();
  stopper.join();
  LogLine("after the last stop");

  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines + 1));
  EXPECT_EQ(lines.back(), "after the last stop");
  std::vector<int> next(kThreads, 0);
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    const std::size_t n = lines[i].find(" n");
    const int thread = std::stoi(lines[i].substr(1, n - 1));
    ASSERT_EQ(std::stoi(lines[i].substr(n + 2)), next[thread]++) << "thread " << thread << " out of order";
  }
}

TEST(ExceptionRecord, FieldsOfEachForm) {
  DebugLogCapture log;
  SetLastOp("copy \"a\" to b");
  platform::SetLastError(0);
  const std::runtime_error error("bad \"quoted\" value");
  LogException("ctx", error);
  SetLastOp("");
  const std::system_error systemError(std::make_error_code(std::errc::permission_denied), "open");
  platform::SetLastError(2);
  LogException("sys", systemError);
  std::thread([] {
    SetLastOp("step 3");  // belongs to this thread only
    platform::SetLastError(5);
    LogException("any");
  }).join();

  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 3u);
  const std::string head = "\\[EXC\\] time=\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d thread=\\d+ context=";
  for (const std::string& line : lines) EXPECT_TRUE(std::regex_search(line, std::regex("^" + head))) << line;
  const std::string tid = std::to_string(platform::CurrentThreadId());
  EXPECT_EQ(lines[0].substr(lines[0].find(" thread=")),
            " thread=" + tid + " context=\"ctx\" type=" + typeid(error).name() +
                " last_op=\"copy \"a\" to b\" what=\"bad \\\"quoted\\\" "
                "value\" WinErr=0");
  EXPECT_EQ(lines[1].substr(lines[1].find(" context=")),
            " context=\"sys\" type=" + std::string(typeid(systemError).name()) + " what=\"" +
                systemError.what() + "\" std_err_code=" + std::to_string(systemError.code().value()) +
                " std_err_msg=\"" + systemError.code().message() + "\" WinErr=2 WinErrMsg=\"" +
                platform::ErrorMessage(2) + "\"");
  EXPECT_EQ(lines[2].substr(lines[2].find(" context=")),
            " context=\"any\" type=unknown last_op=\"step 3\" WinErr=5");
}

TEST(GuiLogTest, KeepsTheNewestFiveHundred) {
  for (int i = 1; i <= 501; ++i) AddGuiLog("window " + std::to_string(i), i % 4);
  const std::vector<GuiLogEntry> entries = GuiLogSnapshot();
  ASSERT_EQ(entries.size(), kGuiLogCapacity);
  EXPECT_EQ(entries.front().text, "window 2");
  EXPECT_EQ(entries.front().level, 2);
  EXPECT_EQ(entries.back().text, "window 501");  // its time is checked where the CLI prints it
}

}  // namespace

TEST(ConsoleText, ControlBytesFromDataShowEscapedOnATerminal) {
  // An escape sequence or NUL in a group name must not reach the terminal as a control byte.
  EXPECT_EQ(TerminalSafeText(std::string("a\x1b[2Jb\0c\td\x7f\r\n", 13)),
            "a\\x1B[2Jb\\x00c\td\\x7F\\x0D\\x0A");
  EXPECT_EQ(TerminalSafeText("h\xe4user \xb0\xa1"), "h\xe4user \xb0\xa1");
}
