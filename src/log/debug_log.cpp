#include "log/debug_log.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <typeinfo>
#include <utility>

#include "log/held_output.hpp"
#include "platform/platform.hpp"

namespace {

// The writer's state is never destroyed: a writer still running when the process ends must not
// meet a destroyed std::thread (that would call std::terminate).
struct LogState {
  std::mutex queueMutex;  // guards queue and stopping
  std::deque<std::string> queue;
  bool stopping = false;
  std::condition_variable wake;
  // Set, under queueMutex, by the LogLine that finds no writer; cleared by StopLogWriter once the
  // writer is gone and the queue is empty.
  std::atomic<bool> writerRunning{false};
  std::mutex lifecycleMutex;  // guards writerThread; serialises starting and stopping
  std::thread writerThread;
};

constexpr std::chrono::milliseconds kBatchWindow{50};
constexpr std::size_t kBatchLines = 4096;

LogState& State() {
  static LogState* state = new LogState;
  return *state;
}

// A plain array, not a string: the Windows runtime's clean-up of thread_local objects with a
// destructor at thread exit can free twice and crash the process. Long texts are cut.
thread_local char lastOp[1024];

// ctime's layout ("Sat Dec  5 15:26:22 2026") without its shared static buffer.
std::string CtimeText(std::time_t now) {
  std::string text = platform::FormatLocalTime(now, "%a %b %d %H:%M:%S %Y");
  if (text.size() > 8 && text[8] == '0') text[8] = ' ';
  return text;
}

// debug.log is a text-mode file on Windows: every line feed becomes CR LF.
std::string ToTextMode(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// The lines queued so far, written with one open of the file: an open per line cost more than the
// copies of a large export, and the end of a run waited for the writer to catch up.
void WriteLinesToFile(const std::deque<std::string>& lines) {
  try {
    platform::File file = platform::File::OpenForAppend(DebugLogPath());
    if (!file.IsOpen()) return;
    std::string records;
    std::time_t stampedAt = 0;
    std::string stamp;
    for (const std::string& line : lines) {
      const std::time_t now = std::time(nullptr);
      if (stamp.empty() || now != stampedAt) {
        stampedAt = now;
        stamp = "[" + CtimeText(now) + "] ";
      }
      records += ToTextMode(stamp + line + "\n");
    }
    // Write hands the bytes to the OS at once; File::Flush would force every line onto the disk.
    file.Write(records.data(), records.size());
    file.Close();
  } catch (...) {
    // Lines that cannot be written are lost; the writer must survive it.
  }
}

void LogWriterThread() {
  LogState& state = State();
  std::unique_lock<std::mutex> lock(state.queueMutex);
  for (;;) {
    state.wake.wait(lock, [&state] { return !state.queue.empty() || state.stopping; });
    // Woken by the first line of a burst, the writer lets the rest of it gather: an open and a
    // wake-up per line or two cost a large export more than its copies. Stopping ends the wait.
    state.wake.wait_for(lock, kBatchWindow,
                        [&state] { return state.stopping || state.queue.size() >= kBatchLines; });
    while (!state.queue.empty()) {
      std::deque<std::string> lines;
      lines.swap(state.queue);
      lock.unlock();
      WriteLinesToFile(lines);
      lock.lock();
    }
    if (state.stopping) return;
  }
}

void StartWriterIfNeeded() {
  LogState& state = State();
  std::lock_guard<std::mutex> lifecycle(state.lifecycleMutex);
  // A StopLogWriter may have come in between and written our line itself.
  if (!state.writerRunning.load() || state.writerThread.joinable()) return;
  state.writerThread = std::thread(LogWriterThread);
}

std::string TimeText(const char* format) { return platform::FormatLocalTime(std::time(nullptr), format); }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string EscapeQuotes(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '"') out += '\\';
    out += c;
  }
  return out;
}

std::string RecordHead(const std::string& timeText, const std::string& context) {
  return "[EXC] time=" + timeText + " thread=" + std::to_string(platform::CurrentThreadId()) +
         " context=" + Quoted(context);
}

std::string LastOpField() { return lastOp[0] == '\0' ? std::string() : " last_op=" + Quoted(lastOp); }

void LogRecordFailure(const std::string& timeText, const std::string& context) {
  try {
    LogLine("[EXC] time=" + timeText + " context=" + context + " (logging failed)");
  } catch (...) {
    // Out of memory while reporting a failure: nothing is left to report it with.
  }
}

}  // namespace

std::string DebugLogPath() {
  static const std::string path = platform::UserDataFolder() + "debug.log";
  return path;
}

namespace {

void QueueLine(const std::string& text) {
  LogState& state = State();
  std::string copy = text;
  bool startWriter = false;
  bool wakeWriter = false;
  {
    std::lock_guard<std::mutex> lock(state.queueMutex);
    state.queue.push_back(std::move(copy));
    // Only the first line of a batch, or a full batch, is worth a wake-up.
    wakeWriter = state.queue.size() == 1 || state.queue.size() == kBatchLines;
    // Deciding under the same lock as the push means a line can never be left in a queue that
    // no writer will empty.
    if (!state.writerRunning.load()) {
      state.writerRunning.store(true);
      startWriter = true;
    }
  }
  if (startWriter) StartWriterIfNeeded();
  if (wakeWriter) state.wake.notify_one();
}

}  // namespace

void LogLine(const std::string& text) {
  if (OutputTurnActive()) {
    EmitInTurn([text] { QueueLine(text); });
    return;
  }
  QueueLine(text);
}

void StopLogWriter() {
  LogState& state = State();
  std::lock_guard<std::mutex> lifecycle(state.lifecycleMutex);
  {
    std::lock_guard<std::mutex> lock(state.queueMutex);
    if (!state.writerRunning.load()) return;
    state.stopping = true;
  }
  state.wake.notify_all();
  if (state.writerThread.joinable()) state.writerThread.join();
  // Lines queued after the writer looked for the last time are written here, so none is lost.
  std::deque<std::string> rest;
  {
    std::lock_guard<std::mutex> lock(state.queueMutex);
    rest.swap(state.queue);
    state.stopping = false;
    state.writerRunning.store(false);
  }
  if (!rest.empty()) WriteLinesToFile(rest);
}

void SetLastOp(const std::string& text) {
  const std::size_t length = std::min(text.size(), sizeof lastOp - 1);
  text.copy(lastOp, length);
  lastOp[length] = '\0';
}

void LogException(const std::string& context, const std::exception& e) {
  std::string timeText;
  try {
    timeText = TimeText("%Y-%m-%d %H:%M:%S");
    std::string record = RecordHead(timeText, context);
    record += " type=";
    record += typeid(e).name();
    record += LastOpField();
    record += " what=" + Quoted(EscapeQuotes(e.what()));
    if (const auto* systemError = dynamic_cast<const std::system_error*>(&e)) {
      record += " std_err_code=" + std::to_string(systemError->code().value());
      record += " std_err_msg=" + Quoted(systemError->code().message());
    }
    const std::uint32_t osError = platform::LastError();
    record += " WinErr=" + std::to_string(osError);
    if (osError != 0) record += " WinErrMsg=" + Quoted(platform::ErrorMessage(osError));
    LogLine(record);
  } catch (...) {
    LogRecordFailure(timeText, context);
  }
}

void LogException(const std::string& context) {
  std::string timeText;
  try {
    timeText = TimeText("%Y-%m-%d %H:%M:%S");
    std::string record = RecordHead(timeText, context);
    record += " type=unknown";
    record += LastOpField();
    record += " WinErr=" + std::to_string(platform::LastError());
    LogLine(record);
  } catch (...) {
    LogRecordFailure(timeText, context);
  }
}
