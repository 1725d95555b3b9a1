// The real window driven by VINTREL_TEST_SCRIPT under Xvfb: each click must change what it should,
// and every task's output must be the command-line tool's for the same answers.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "cli/cli_run.hpp"
#include "pipeline/task_table.hpp"
#include "support/test_environment.hpp"

namespace {

using namespace testenv;

struct WindowRun {
  int exitCode = -1;
  std::string errors;
};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Screenshot(const std::string& name) {
  platform::CreateFolderWithParents(platform::ToInternalPath(VINTREL_SCREENSHOT_DIR));
  return std::string(VINTREL_SCREENSHOT_DIR) + "/" + name;
}

std::string DemoClient() { return std::string(VINTREL_SOURCE_DIR) + "/samples/demo_client"; }

// Every file below `folder` with its bytes.
std::map<std::string, std::string> Contents(const std::string& folder) {
  std::map<std::string, std::string> contents;
  for (const std::string& file : FilesBelow(folder)) contents[file] = ReadFile(folder + "\\" + file);
  return contents;
}

class Window : public testing::Test {
 protected:
  // Runs the window on `script`. The search path holds only what a test puts in bin: no desktop
  // chooser or browser opens unless the test makes one.
  // Under AddressSanitizer the leak check is off for the window alone: Mesa's driver, unloaded at
  // exit, leaves allocations that cannot be traced to anything.
  WindowRun Run(const std::vector<std::string>& script) {
    std::string text;
    for (const std::string& line : script) text += line + "\n";
    const std::string scriptFile = WriteFile(temp_ / ("script" + std::to_string(++runs_) + ".txt"), text);
    const std::string errors = temp_ / "errors.txt";
    const std::string command = "/usr/bin/timeout 300 /usr/bin/env PATH=" + NativePath(temp_ / "bin") +
                                " \"ASAN_OPTIONS=$ASAN_OPTIONS:detect_leaks=0\" VINTREL_TEST_SCRIPT=" +
                                Quoted(NativePath(scriptFile)) + " " + Quoted(VINTREL_GUI_PATH) + " > " +
                                Quoted(Native("console.txt")) + " 2> " + Quoted(NativePath(errors));
    const int status = std::system(command.c_str());
    return WindowRun{status == -1 ? -1 : (status >> 8) & 0xFF, ReadFile(errors)};
  }

  // The number of questions a CLI run of that task printed (each lists its candidate 0).
  static int Questions(const CliRun& run) {
    int questions = 0;
    for (std::size_t at = run.out.find("\n  0: "); at != std::string::npos;
         at = run.out.find("\n  0: ", at + 1)) {
      ++questions;
    }
    return questions;
  }

  std::string Native(const std::string& relative) const { return NativePath(temp_ / relative); }

  std::vector<std::string> SetPaths(const std::string& client, const std::string& output) const {
    return {"type \"##cli\" " + Quoted(client), "type \"##out\" " + Quoted(output)};
  }

  // One run of `label` from the window: START, each question answered with `answer`, then idle.
  static void AddRun(std::vector<std::string>& script, const std::string& label, int questions,
                     const std::vector<std::string>& answer, int completedBefore) {
    script.push_back("click " + Quoted(label));
    script.push_back("expect-text " + Quoted(label) + " selected");
    script.push_back("click \"START PROCESSING\"");
    for (int i = 0; i < questions; ++i) {
      script.push_back("wait-shown \"CONFIRM SELECTION\"");
      script.insert(script.end(), answer.begin(), answer.end());
      script.push_back("expect-hidden \"CONFIRM SELECTION\"");
    }
    script.push_back("wait-idle");
    script.push_back("expect-log \"OK: Task Completed.\" " + std::to_string(completedBefore + 1));
  }

  ScopedTempDir temp_{"gui"};
  int runs_ = 0;
};

TEST_F(Window, ControlsFollowThePathRuleAndPopupsOpenAndClose) {
  const WindowRun run = Run({
      "expect-log \"Core Ready.\"",
      "expect-shown logo",
      "expect-text web image",
      "expect-text disc image",
      "expect-text info image",
      "expect-disabled \"START PROCESSING\"",
      "expect-shown \"REQUIRED\"",
      "expect-disabled \"Open\"",
      "expect-text \"Hair + Body\" selected",
      "screenshot " + Quoted(Screenshot("idle.png")),
      "type \"##cli\" \"C:/\"",
      "type \"##out\" " + Quoted(Native("out")),
      "expect-text \"##cli\" \"C:/\"",
      "expect-enabled \"Open\"",
      "expect-disabled \"START PROCESSING\"",
      "type \"##cli\" \"C:\\\"",
      "expect-disabled \"START PROCESSING\"",
      "type \"##cli\" \"c:/\"",
      "expect-enabled \"START PROCESSING\"",
      "expect-hidden \"REQUIRED\"",
      "click \"Map Objects\"",
      "expect-text \"Map Objects\" selected",
      "expect-text \"Hair + Body\" \"\"",
      "click \"info\"",
      "expect-shown \"CLOSE\"",
      "screenshot " + Quoted(Screenshot("information.png")),
      "click \"CLOSE\"",
      "expect-hidden \"CLOSE\"",
      "update 9.9.9 \"Notes of the new version\"",
      "expect-shown \"DOWNLOAD & REBOOT\"",
  });
  EXPECT_EQ(run.exitCode, 0) << run.errors;
}

// The four tasks one after the other in one window, each question answered by ticking the first
// candidate, with a mirror folder: the same files as the CLI's runs with --select 0.
TEST_F(Window, EveryTaskWritesWhatTheCommandLineWrites) {
  // An output path longer than the old 260-byte field, typed whole.
  const std::string gui = "gui\\" + std::string(120, 'a') + "\\" + std::string(120, 'b');
  std::vector<std::string> script = SetPaths(DemoClient(), Native(gui));
  script.push_back("expect-text \"##out\" " + Quoted(Native(gui)));
  script.push_back("type \"##mirror\" " + Quoted(Native("gui-mirror")));
  int completed = 0;
  for (const TaskInfo& task : TaskTable()) {
    const CliRun cli =
        RunProgram(CliPath(), {"export", "--client", DemoClient(), "--output", Native("cli"), "--task",
                               task.cliName, "--select", "0", "--mirror-root", Native("cli-mirror")});
    ASSERT_EQ(cli.exitCode, 0) << cli.out;
    std::vector<std::string> answer = {"click \"tick 0\"", "click \"CONFIRM SELECTION\""};
    if (completed == 0)
      answer.insert(answer.begin() + 1, "screenshot " + Quoted(Screenshot("selection.png")));
    AddRun(script, task.label, Questions(cli), answer, completed++);
  }
  const WindowRun run = Run(script);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_FALSE(FilesBelow(temp_ / "cli").empty());
  EXPECT_EQ(Contents(temp_ / gui), Contents(temp_ / "cli"));
  EXPECT_FALSE(FilesBelow(temp_ / "cli-mirror").empty());
  EXPECT_EQ(Contents(temp_ / "gui-mirror"), Contents(temp_ / "cli-mirror"));
}

// Cancelled questions and reference lists from a folder of the user's (here an empty one, so
// nothing counts as old), as --select none --filters.
TEST_F(Window, CancelAndReferenceListsMatchTheCommandLine) {
  platform::CreateFolderWithParents(temp_ / "lists");
  std::vector<std::string> script = SetPaths(DemoClient(), Native("gui"));
  script.push_back("type \"##ref\" " + Quoted(Native("lists")));
  int completed = 0;
  int questions = 0;
  for (const char* name : {"hair-body", "weapon-wings"}) {
    const CliRun cli =
        RunProgram(CliPath(), {"export", "--client", DemoClient(), "--output", Native("cli"), "--task", name,
                               "--select", "none", "--filters", Native("lists"), "--no-mirror"});
    ASSERT_EQ(cli.exitCode, 0) << cli.out;
    questions += Questions(cli);
    AddRun(script, FindTaskByCliName(name)->label, Questions(cli), {"click \"CANCEL/SKIP\""}, completed++);
  }
  ASSERT_GT(questions, 0) << "the demo client asks nothing";
  const WindowRun run = Run(script);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(Contents(temp_ / "gui"), Contents(temp_ / "cli"));
}

TEST_F(Window, StopEndsALongRunAndClosingAnswersAPendingQuestion) {
  // Enough property files that the map task is still running when STOP is pressed.
  for (int i = 0; i < 4000; ++i) {
    const std::string name = "obj" + std::to_string(i);
    WriteFile(temp_ / ("big\\property\\" + name + ".prb"),
              "YPRT\n" + std::to_string(i) + "\npropertyname\t\"" + name +
                  "\"\npropertytype\t\"Building\"\nbuildingfile\t\"d:/ymir work/zone/" + name + ".gr2\"\n");
  }
  std::vector<std::string> script = SetPaths(Native("big"), Native("out"));
  script.insert(
      script.end(),
      {"click \"Map Objects\"", "click \"START PROCESSING\"", "wait-running", "wait-shown \"Processed\"",
       "expect-shown \"progress\"", "expect-hidden \"START PROCESSING\"",
       "screenshot " + Quoted(Screenshot("running.png")), "click \"STOP\"",
       "expect-log \"Requested Interruption...\"", "wait-idle", "expect-log \"INFO: Process Stopped.\"",
       "expect-no-log \"OK: Task Completed.\"", "expect-enabled \"START PROCESSING\""});
  WindowRun run = Run(script);
  EXPECT_EQ(run.exitCode, 0) << run.errors;

  // Closed while the worker waits for an answer: the process still ends, and nothing was chosen.
  script = SetPaths(DemoClient(), Native("closed"));
  script.insert(script.end(), {"click \"START PROCESSING\"", "wait-shown \"CONFIRM SELECTION\"", "close"});
  run = Run(script);
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(FilesBelow(temp_ / "closed\\Exported_Models_MSM"), std::set<std::string>());
}

TEST_F(Window, BrowserAndDesktopChooserTakeCyrillicAndKoreanNames) {
  const std::string name = "Клиент 한국어";
  platform::CreateFolderWithParents(temp_ / ("base\\" + name + "\\Подпапка 폴더"));
  const std::string chosen = Native("base") + "/" + name;
  const WindowRun run = Run({
      "type \"##cli\" " + Quoted(Native("base")),
      "click \"Client\"",
      "wait-shown " + Quoted("folder " + name),
      "double-click " + Quoted("folder " + name),
      "expect-text \"browser folder\" " + Quoted(chosen),
      "expect-shown \"folder Подпапка 폴더\"",
      "expect-glyphs " + Quoted(name + " Подпапка 폴더"),
      "screenshot " + Quoted(Screenshot("cyrillic_korean.png")),
      "click \"browser Select\"",
      "expect-text \"##cli\" " + Quoted(chosen),
      "expect-hidden \"browser Select\"",
  });
  EXPECT_EQ(run.exitCode, 0) << run.errors;

  // With a desktop chooser installed it is asked instead, its arguments handed over as a list.
  WriteFile(temp_ / "bin\\zenity", "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + Quoted(Native("arguments.txt")) +
                                       "\nprintf '%s\\n' " + Quoted(chosen) + "\n");
  ASSERT_TRUE(platform::RunProgramForOutput("chmod", {"+x", Native("bin\\\\zenity")}).started);
  const WindowRun picked =
      Run({"type \"##out\" " + Quoted(Native("base")), "click \"OutPut\"",
           "expect-text \"##out\" " + Quoted(chosen), "expect-hidden \"browser Select\""});
  EXPECT_EQ(picked.exitCode, 0) << picked.errors;
  EXPECT_EQ(ReadFile(temp_ / "arguments.txt"),
            "--file-selection\n--directory\n--title=Select folder\n--filename=" + Native("base") + "/\n");
}

}  // namespace
