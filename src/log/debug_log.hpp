// debug.log: lines queued by any thread and written by one background writer.
#pragma once

#include <exception>
#include <string>

void LogLine(const std::string& text);
// Shutdown: stops the writer and returns once every line queued so far is in the file. A later
// LogLine starts a fresh writer, so call this again after the very last line of the process.
void StopLogWriter();
// The file the writer appends to (the per-user folder's debug.log, or "debug.log" in the current folder).
std::string DebugLogPath();

void SetLastOp(const std::string& text);

// One "[EXC]" record for an exception caught at `context`.
void LogException(const std::string& context, const std::exception& e);
// The catch-all form, where no exception object is available.
void LogException(const std::string& context);
