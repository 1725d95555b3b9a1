// The process-wide fault handlers, installed first thing by both executables.
#pragma once

// The platform's fault handlers (crash.log, with a stack trace) and OnTerminate.
void InstallCrashHandlers();

// std::terminate: records the call in crash.log and debug.log, then aborts.
[[noreturn]] void OnTerminate();
