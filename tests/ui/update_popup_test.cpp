// The real window asks a loopback update server at start-up and shows what it offers.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ui/window_script.hpp"
#include "update/loopback_server.hpp"
#include "update/update_check.hpp"

namespace {

using namespace testenv;

TEST(UpdatePopup, ShowsTheVersionTheServerOffers) {
  LoopbackServer server(
      "{\"/u\": {\"body\": \"{\\\"latest\\\": \\\"9.9.9\\\", \\\"notes\\\": \\\"Faster exports.\\\"}\"}}");
  const std::string screenshot = std::string(VINTREL_SCREENSHOT_DIR) + "/update_required.png";
  platform::CreateFolderWithParents(platform::ToInternalPath(VINTREL_SCREENSHOT_DIR));
  const std::string script =
      WriteFile(server.File("script.txt"),
                "wait-shown \"DOWNLOAD & REBOOT\"\nexpect-log \"New version available: 9.9.9\"\n"
                "screenshot " +
                    Quoted(screenshot) + "\nclose\n");
  const std::string command =
      "/usr/bin/timeout 120 /usr/bin/env -u VINTREL_DEV \"ASAN_OPTIONS=$ASAN_OPTIONS:detect_leaks=0\" "
      "VINTREL_UPDATE_URL=" +
      server.Url("/u") + " VINTREL_TEST_SCRIPT=" + Quoted(server.Native("script.txt")) + " " +
      Quoted(VINTREL_GUI_PATH) + " > /dev/null 2> " + Quoted(server.Native("errors.txt"));
  EXPECT_EQ(std::system(command.c_str()), 0) << ReadFile(server.File("errors.txt"));
  EXPECT_NE(server.Log().find("GET /u agent=Vintrel/1.0"), std::string::npos) << server.Log();

  // The shutdown's lines in order, the last one in the file before the process ended.
  const std::string log = ReadFile(UserDataFolder() + "debug.log"), last = "] [STOP] VintrelMain exiting\r\n";
  const std::size_t start = log.rfind("] [START] VintrelMain starting - version:" + RunningVersion());
  ASSERT_NE(start, std::string::npos) << log;
  EXPECT_LT(log.find("] [STEP] GUI controller exited normally", start),
            log.find("] [STEP] Stopping log thread", start));
  EXPECT_EQ(log.find(last, start), log.size() - last.size()) << log;
}

}  // namespace
