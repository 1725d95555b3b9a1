#include "log/gui_log.hpp"

#include <ctime>
#include <mutex>
#include <utility>

#include "log/held_output.hpp"
#include "platform/platform.hpp"

namespace {

struct GuiLog {
  std::mutex mutex;  // guards entries and listener
  std::vector<GuiLogEntry> entries;
  std::function<void(const GuiLogEntry&)> listener;
};

// Never destroyed: worker threads may still add lines while the process ends.
GuiLog& Log() {
  static GuiLog* log = new GuiLog;
  return *log;
}

void AddNow(const std::string& text, int level) {
  GuiLogEntry entry{text, level, platform::FormatLocalTime(std::time(nullptr), "%H:%M:%S")};
  GuiLog& log = Log();
  std::function<void(const GuiLogEntry&)> listener;
  {
    std::lock_guard<std::mutex> lock(log.mutex);
    log.entries.push_back(entry);
    if (log.entries.size() > kGuiLogCapacity) log.entries.erase(log.entries.begin());
    listener = log.listener;
  }
  // Outside the lock, so a listener may log or read the window log itself.
  if (listener) listener(entry);
}

}  // namespace

void AddGuiLog(const std::string& text, int level) {
  if (OutputTurnActive()) {
    EmitInTurn([text, level] { AddNow(text, level); });
    return;
  }
  AddNow(text, level);
}

std::vector<GuiLogEntry> GuiLogSnapshot() {
  GuiLog& log = Log();
  std::lock_guard<std::mutex> lock(log.mutex);
  return log.entries;
}

void WithGuiLog(const std::function<void(const std::vector<GuiLogEntry>&)>& reader) {
  GuiLog& log = Log();
  std::lock_guard<std::mutex> lock(log.mutex);
  reader(log.entries);
}

void SetGuiLogListener(std::function<void(const GuiLogEntry&)> listener) {
  GuiLog& log = Log();
  std::lock_guard<std::mutex> lock(log.mutex);
  log.listener = std::move(listener);
}
