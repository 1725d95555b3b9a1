#include <signal.h>

#include <atomic>

#include "platform/interrupt.hpp"

namespace platform {
namespace {

std::atomic<InterruptCallback> g_callback{nullptr};
static_assert(std::atomic<InterruptCallback>::is_always_lock_free, "the handler reads it in a signal");

void HandleSignal(int) {
  InterruptCallback callback = g_callback.load();
  if (callback != nullptr) callback();
}

}  // namespace

void OnInterrupt(InterruptCallback callback) {
  g_callback.store(callback);
  struct sigaction action = {};
  action.sa_handler = HandleSignal;
  sigemptyset(&action.sa_mask);
  // One-shot: the next signal of the same kind takes its default action and ends the process.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace platform
