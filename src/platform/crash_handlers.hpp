// crash.log: records written synchronously by the fault handlers, in the per-user folder beside
// debug.log.
#pragma once

#include <string>

namespace platform {

// Appends text and a line end (CR LF) to crash.log; never throws. On POSIX it only makes calls that
// are safe inside a signal handler once InstallFaultHandlers has run.
void WriteCrashLog(const char* text);
std::string CrashLogPath();

// Receives the handlers' lines for debug.log. Called only where taking a lock cannot deadlock
// (never from a POSIX signal handler); must not throw.
using CrashLineSink = void (*)(const std::string& line);

// Windows: the unhandled-exception filter (with a symbolised stack walk), then the vectored handler
// first in its chain. POSIX: handlers for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT on an
// alternate stack, which write the record and a stack trace and then let the default action end
// the process. Installing twice changes nothing.
void InstallFaultHandlers(CrashLineSink sink);

}  // namespace platform
