#include "update/update_check.hpp"

#include <gtest/gtest.h>

#include <string>

#include "log/gui_log.hpp"
#include "platform/platform.hpp"
#include "support/sha256.hpp"
#include "update/update_info.hpp"

#ifndef _WIN32
#include "update/loopback_server.hpp"
#endif

namespace {

TEST(UpdateReply, ReadsTheMembersByTheirRules) {
  const UpdateReply full = ParseUpdateReply(
      "{\"latest\": \" \\t1.2\\r\\n\", \"url\": \"u\", \"notes\": \"n\", "
      "\"x\": 1, \"sha256\": \"" +
      std::string(64, 'A') + "\"}");
  EXPECT_TRUE(full.valid) << full.error;
  EXPECT_EQ(full.latest + full.url + full.notes + full.sha256, "1.2un" + std::string(64, 'a'));
  for (const char* body : {"{}", "{\"latest\": 4}", "{\"latest\": null}"}) {
    EXPECT_EQ(ParseUpdateReply(body).latest, "0.0.0") << body;
    EXPECT_TRUE(ParseUpdateReply(body).valid) << body;
  }
  for (const char* body :
       {"{\"url\": 5}", "{\"notes\": [\"a\"]}", "{\"sha256\": \"abc\"}", "[1]", "{\"latest\": \"1\""}) {
    EXPECT_FALSE(ParseUpdateReply(body).valid) << body;
  }
  EXPECT_NE(ParseUpdateReply("{\"url\": 5}").error.find("type must be string"), std::string::npos);
}

TEST(SelfUpdate, SwapCommandText) {
  const std::string exe = "C:\\Program Files\\Vintrel\\Vintrel.exe", fresh = "C:\\U\\Vintrel-new.exe";
  const std::string command = "ping 127.0.0.1 -n 4 >nul && if exist \"" + exe + "\" del /f /q \"" + exe +
                              "\" && move /y \"" + fresh + "\" \"" + exe + "\" && start \"\" \"" + exe + "\"";
  EXPECT_EQ(CmdSwapCommand(exe, fresh), command);
  EXPECT_EQ(BuildSwapCommand(exe, fresh, 7).workingFolder, "C:\\Program Files\\Vintrel\\");
  EXPECT_EQ(BuildSwapCommand("Vintrel.exe", fresh, 7).workingFolder, ".\\");
#ifdef _WIN32
  EXPECT_EQ(BuildSwapCommand(exe, fresh, 7).arguments, std::vector<std::string>{"/c \"" + command + "\""});
#endif
}

#ifndef _WIN32
// Run for real on names that would be commands if they were spliced into the script.
TEST(SelfUpdate, SwapScriptTakesPathsAsArguments) {
  testenv::ScopedTempDir temp("swap");
  const std::string exe = testenv::WriteFile(temp / "vin $(touch pwned)", "#!/bin/sh\necho old\n");
  const std::string fresh = testenv::WriteFile(temp / "new\"; touch pwned; \"", "#!/bin/sh\necho new\n");
  // A process id never in use: the script does not wait.
  const SwapCommand swap = BuildSwapCommand(exe, fresh, 999999999);
  EXPECT_EQ(swap.arguments[3] + "|" + swap.arguments[4],
            *platform::ToNativePath(exe) + "|" + *platform::ToNativePath(fresh));
  EXPECT_EQ(platform::RunProgramForOutput(swap.program, swap.arguments).output, "new\n");
  EXPECT_FALSE(testenv::Exists(fresh));
  EXPECT_EQ(platform::RunProgramForOutput(exe, {}).output, "new\n") << "replaced without its run bit";
  EXPECT_FALSE(testenv::Exists(temp / "pwned"));
}

std::string GuiLogText() {
  std::string text;
  for (const GuiLogEntry& entry : GuiLogSnapshot())
    text += std::to_string(entry.level) + " " + entry.text + "\n";
  return text;
}

TEST(SelfUpdate, DownloadMustMatchItsChecksum) {
  LoopbackServer server("{\"/builds/vintrel-9.9.9-windows-x86.exe\": {\"body\": \"new build\"}}");
  testenv::ScopedTempDir temp("download");
  const std::string url = server.Url("/builds/vintrel-9.9.9-windows-x86.exe");
  EXPECT_TRUE(DownloadUpdate(url, Sha256Hex("new build", 9), temp / "a.exe"));
  EXPECT_EQ(testenv::ReadFile(temp / "a.exe"), "new build");
  EXPECT_FALSE(DownloadUpdate(url, Sha256Hex("old build", 9), temp / "b.exe"));
  EXPECT_FALSE(testenv::Exists(temp / "b.exe")) << "a file failing its checksum reached the disk";
  EXPECT_NE(GuiLogText().find("0 Download: " + url.substr(url.size() - 30) + "\n3 Download OK: 9 bytes\n"),
            std::string::npos);
}

// One UpdateInfo per process: replies that must not publish first, the other version last. Its
// download then fails its checksum and the self-update stops there.
TEST(UpdateCheck, PublishesOnlyAnotherVersion) {
  LoopbackServer server(
      "{\"/same\": {\"body\": \"{\\\"latest\\\": \\\" " + RunningVersion() +
      "\\\\n\\\"}\"}, \"/bad\": {\"body\": \"{\\\"notes\\\": 1}\"}, \"/down\": {\"status\": 500, "
      "\"body\": \"x\"}, \"/newer\": {\"body_file\": \"@DIR@/newer.json\"}, \"/build\": {\"body\": \"x\"}}");
  testenv::WriteFile(server.File("newer.json"), "{\"latest\": \"0.0.1\", \"url\": \"" + server.Url("/build") +
                                                    "\", \"notes\": \"Fixes.\", \"sha256\": \"" +
                                                    std::string(64, 'f') + "\"}");
  platform::SetEnvironmentVariable("VINTREL_DEV", "1");
  platform::SetEnvironmentVariable("VINTREL_UPDATE_URL", server.Url("/newer"));
  CheckUpdateAsync();
  EXPECT_EQ(server.Log(), "") << "dev mode asked the server";
  platform::SetEnvironmentVariable("VINTREL_DEV", "1 ");
  for (const char* path : {"/same", "/bad", "/down"}) {
    platform::SetEnvironmentVariable("VINTREL_UPDATE_URL", server.Url(path));
    CheckUpdateAsync();
    EXPECT_FALSE(GetUpdateInfo().updateAvailable.load()) << path;
  }
  platform::SetEnvironmentVariable("VINTREL_UPDATE_URL", server.Url("/newer"));
  CheckUpdateAsync();
  platform::UnsetEnvironmentVariable("VINTREL_DEV");
  platform::UnsetEnvironmentVariable("VINTREL_UPDATE_URL");
  const UpdateInfo& info = GetUpdateInfo();
  ASSERT_TRUE(info.updateAvailable.load());
  EXPECT_EQ(info.latestVersion + "|" + info.downloadUrl + "|" + info.releaseNotes,
            "0.0.1|" + server.Url("/build") + "|Fixes.");
  RunSelfUpdate();
  const std::string log = GuiLogText();
  for (const char* line : {"0 [CheckUpdateAsync] Dev mode - skip update check\n",
                           "3 Vintrel is up to date.\n", "2 [CheckUpdateAsync] Invalid update reply: ",
                           "2 [CheckUpdateAsync] Update check failed (HTTP 500)\n",
                           "3 New version available: 0.0.1\n", "2 Download FAILED. Try Manually.\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << " not in\n" << log;
  }
}
#endif

}  // namespace
