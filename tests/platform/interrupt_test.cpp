#include "platform/interrupt.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>

#ifndef _WIN32

namespace {

std::atomic<int> g_interrupts{0};

void CountInterrupt() { g_interrupts.fetch_add(1); }

TEST(Interrupt, CtrlCAndTerminateReachTheCallbackInsteadOfEndingTheProcess) {
  g_interrupts.store(0);
  platform::OnInterrupt(CountInterrupt);
  std::raise(SIGINT);
  EXPECT_EQ(g_interrupts.load(), 1);
  // The handler is one-shot (a second Ctrl+C ends the process): arm it again for SIGTERM.
  platform::OnInterrupt(CountInterrupt);
  std::raise(SIGTERM);
  EXPECT_EQ(g_interrupts.load(), 2);
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
}

}  // namespace

#endif
