#include <windows.h>

#include <atomic>

#include "platform/interrupt.hpp"

namespace platform {
namespace {

std::atomic<InterruptCallback> g_callback{nullptr};
std::atomic<bool> g_interrupted{false};

BOOL WINAPI HandleConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // The second interrupt falls through to the default handler, which ends the process.
  if (g_interrupted.exchange(true)) return FALSE;
  InterruptCallback callback = g_callback.load();
  if (callback != nullptr) callback();
  return TRUE;
}

}  // namespace

void OnInterrupt(InterruptCallback callback) {
  g_callback.store(callback);
  g_interrupted.store(false);
  SetConsoleCtrlHandler(HandleConsoleEvent, TRUE);
}

}  // namespace platform
