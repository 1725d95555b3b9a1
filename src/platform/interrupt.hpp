// The user's request to interrupt a console program: Ctrl+C, SIGINT, SIGTERM, Ctrl+Break.
#pragma once

namespace platform {

// `callback` runs on the first interrupt, from a signal handler (POSIX) or the console's handler
// thread (Windows), so it may only store to lock-free atomics. A second interrupt ends the process
// the usual way, so a run that does not react can still be killed from the keyboard.
using InterruptCallback = void (*)();
void OnInterrupt(InterruptCallback callback);

}  // namespace platform
