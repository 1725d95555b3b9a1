#include "app/crash_handlers.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>

#include "platform/crash_handlers.hpp"
#include "support/test_environment.hpp"

namespace {

// A store to an address never mapped: a real fault, and none the undefined-behaviour checks catch.
void Fault() {
  InstallCrashHandlers();
  volatile std::uintptr_t address = 64;
  *reinterpret_cast<volatile int*>(address) = 1;
}

// The child ends (a hang would fail the run by its timeout) after writing its record to crash.log.
TEST(CrashHandlersDeathTest, FaultsAreRecordedWithTheirStack) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
#ifdef _WIN32
  EXPECT_EXIT(Fault(), testing::ExitedWithCode(static_cast<int>(0xC0000005)), "");
  const std::string fault = "Unhandled exception: code=0xC0000005 addr=";
#else
  EXPECT_EXIT(Fault(), testing::KilledBySignal(SIGSEGV), "");
  const std::string fault = "Unhandled exception: code=SIGSEGV (11) addr=0x40\r\n[STACK] Stack trace:\n#0 ";
#endif
  const std::string log = testenv::ReadFile(platform::CrashLogPath());
  EXPECT_NE(log.find(fault), std::string::npos) << log;
  EXPECT_NE(log.find("#2 "), std::string::npos) << "no stack trace: " << log;
}

}  // namespace
