// The window's log: at most 500 entries, oldest first.
#pragma once

#include <functional>
#include <string>
#include <vector>

enum GuiLogLevel : int { GuiLogInfo = 0, GuiLogWarning = 1, GuiLogError = 2, GuiLogSuccess = 3 };

struct GuiLogEntry {
  std::string text;
  int level = GuiLogInfo;
  std::string time;  // "%H:%M:%S"
};

constexpr std::size_t kGuiLogCapacity = 500;

void AddGuiLog(const std::string& text, int level);
// A copy of the entries, taken under the log's lock.
std::vector<GuiLogEntry> GuiLogSnapshot();
// Runs `reader` on the entries while holding the log's lock (the panel draws this way).
void WithGuiLog(const std::function<void(const std::vector<GuiLogEntry>&)>& reader);
// Called with each new entry right after it is added (the headless front end prints them). Empty: none.
void SetGuiLogListener(std::function<void(const GuiLogEntry&)> listener);
