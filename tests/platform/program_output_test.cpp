// Programs started with an argument list: what a folder chooser's answer travels through.
#include <gtest/gtest.h>

#include "platform/platform.hpp"

#ifndef _WIN32
TEST(ProgramOutput, ArgumentsArriveWholeAndOutputAndExitCodeComeBack) {
  // No shell splits the list: blanks and ";" stay inside their argument.
  const platform::ProgramOutput run =
      platform::RunProgramForOutput("sh", {"-c", "printf '%s|' \"$@\"; exit 3", "sh", "a b", "c;d"});
  EXPECT_TRUE(run.started);
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.output, "a b|c;d|");
  EXPECT_FALSE(platform::RunProgramForOutput("vintrel-no-such-program", {}).started);
}
#endif
