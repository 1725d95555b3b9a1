// The Windows build's window (run under Wine and Xvfb in CI) driven by VINTREL_TEST_SCRIPT: it
// starts, draws, runs "Hair + Body" on the demo client as the command-line tool does, and exits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/task_table.hpp"
#include "ui/window_script.hpp"

namespace {

using namespace testenv;

struct WindowRun {
  int exitCode = -1;
  std::string errors;
};

std::string DemoClient() { return std::string(VINTREL_SOURCE_DIR) + "/samples/demo_client"; }

class WindowsWindow : public testing::Test {
 protected:
  // The script reaches the window through its environment, which the child inherits.
  WindowRun Run(const std::vector<std::string>& script) {
    std::string text;
    for (const std::string& line : script) text += line + "\n";
    const std::string scriptFile = WriteFile(temp_ / "script.txt", text);
    EXPECT_TRUE(platform::SetEnvironmentVariable("VINTREL_TEST_SCRIPT", Native("script.txt")));
    // cmd.exe drops the outer quotes of a line that starts with one.
    const std::string command = "\"" + Quoted(VINTREL_GUI_PATH) + " > " + Quoted(Native("console.txt")) +
                                " 2> " + Quoted(Native("errors.txt")) + "\"";
    const int status = std::system(command.c_str());
    platform::UnsetEnvironmentVariable("VINTREL_TEST_SCRIPT");
    return WindowRun{status, ReadFile(temp_ / "errors.txt")};
  }

  std::string Native(const std::string& relative) const { return NativePath(temp_ / relative); }

  ScopedTempDir temp_{"gui"};
};

TEST_F(WindowsWindow, StartsDrawsRunsHairAndBodyAndExits) {
  const TaskInfo& task = TaskTable().front();
  const CliRun cli =
      RunProgram(CliPath(), {"export", "--client", DemoClient(), "--output", Native("cli"), "--task",
                             task.cliName, "--select", "0", "--mirror-root", Native("cli-mirror")});
  ASSERT_EQ(cli.exitCode, 0) << cli.out;
  ASSERT_GT(Questions(cli), 0) << "the demo client asks nothing";

  const std::string screenshot = std::string(VINTREL_SCREENSHOT_DIR) + "/window.png";
  platform::CreateFolderWithParents(platform::ToInternalPath(VINTREL_SCREENSHOT_DIR));
  platform::DeleteFile(platform::ToInternalPath(screenshot));
  std::vector<std::string> script = {"expect-log \"Core Ready.\"", "expect-shown logo",
                                     "expect-disabled \"START PROCESSING\"",
                                     "screenshot " + Quoted(screenshot)};
  const std::vector<std::string> paths = SetPaths(DemoClient(), Native("gui"));
  script.insert(script.end(), paths.begin(), paths.end());
  script.push_back("type \"##mirror\" " + Quoted(Native("gui-mirror")));
  AddRun(script, task.label, Questions(cli), {"click \"tick 0\"", "click \"CONFIRM SELECTION\""}, 0);
  const WindowRun run = Run(script);

  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(ReadFile(platform::ToInternalPath(screenshot)).substr(0, 4), "\x89PNG");
  EXPECT_FALSE(FilesBelow(temp_ / "cli").empty());
  EXPECT_EQ(Contents(temp_ / "gui"), Contents(temp_ / "cli"));
  EXPECT_EQ(Contents(temp_ / "gui-mirror"), Contents(temp_ / "cli-mirror"));
}

}  // namespace
