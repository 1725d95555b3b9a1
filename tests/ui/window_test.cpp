// The real window driven by VINTREL_TEST_SCRIPT under Xvfb: each click must change what it should,
// and every task's output must be the command-line tool's for the same answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/task_table.hpp"
#include "ui/window_script.hpp"

#define STBI_ONLY_PNG
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace {

using namespace testenv;

struct WindowRun {
  int exitCode = -1;
  std::string errors;
};

std::string Screenshot(const std::string& name) {
  platform::CreateFolderWithParents(platform::ToInternalPath(VINTREL_SCREENSHOT_DIR));
  return std::string(VINTREL_SCREENSHOT_DIR) + "/" + name;
}

std::string DemoClient() { return std::string(VINTREL_SOURCE_DIR) + "/samples/demo_client"; }

// The share of a screenshot's pixels that differ from its top left one (the view's background).
double CoveredShare(const std::string& file) {
  int width = 0, height = 0, channels = 0;
  unsigned char* pixels = stbi_load(file.c_str(), &width, &height, &channels, 3);
  if (pixels == nullptr || width * height == 0) return 0;
  std::size_t differing = 0;
  for (int i = 0; i < width * height; ++i) {
    int distance = 0;
    for (int k = 0; k < 3; ++k) distance += std::abs(int(pixels[i * 3 + k]) - int(pixels[k]));
    if (distance > 24) ++differing;
  }
  stbi_image_free(pixels);
  return double(differing) / (double(width) * height);
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

  std::string Native(const std::string& relative) const { return NativePath(temp_ / relative); }

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
  EXPECT_EQ(ExportedFiles(temp_ / "closed\\Exported_Models_MSM"), std::set<std::string>());
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

// The Preview of a real export: a hair group, a weapon and an NPC each drawn so that the model covers a
// fair part of its view (the thin sword about 2%, an empty view none); a model the reader refuses
// shows the reason instead.
TEST_F(Window, PreviewDrawsTheExportedModels) {
  for (const char* task : {"hair-body", "weapon-wings", "npc-mob"}) {
    const CliRun cli = RunProgram(CliPath(), {"export", "--client", DemoClient(), "--output", Native("out"),
                                              "--task", task, "--select", "0", "--no-mirror"});
    ASSERT_EQ(cli.exitCode, 0) << cli.out;
  }
  const std::vector<std::pair<std::string, std::string>> views = {{"HairData", "preview_hair.png"},
                                                                  {"[470]", "preview_weapon.png"},
                                                                  {"[redguild_guard_M]", "preview_npc.png"}};
  std::vector<std::string> script = {"type \"##out\" " + Quoted(Native("out")), "click \"Preview\""};
  for (const auto& view : views) {
    script.push_back("select-bundle " + Quoted(view.first));
    script.push_back("screenshot-preview " + Quoted(Screenshot(view.second)));
  }
  script.push_back("screenshot " + Quoted(Screenshot("preview.png")));
  WindowRun run = Run(script);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  for (const auto& view : views) EXPECT_GT(CoveredShare(Screenshot(view.second)), 0.01) << view.second;

  for (const std::string& file : FilesBelow(temp_ / "out\\Exported_Models_ITEM")) {
    if (file.find("00470.gr2") != std::string::npos)
      WriteFile(temp_ / ("out\\Exported_Models_ITEM\\" + file), "not a model");
  }
  run = Run({"type \"##out\" " + Quoted(Native("out")), "click \"Preview\"", "select-bundle [470]",
             "wait-shown \"preview refusal\" 20", "expect-hidden \"preview view\""});
  EXPECT_EQ(run.exitCode, 0) << run.errors;
}

// A dry run from the window writes nothing and shows its summary without a report to open; a real
// run then offers its export_report.txt.
TEST_F(Window, DryRunShowsItsSummaryAndWritesNothing) {
  const std::vector<std::string> answer = {"click \"tick 0\"", "click \"CONFIRM SELECTION\""};
  std::vector<std::string> script = SetPaths(DemoClient(), Native("dry"));
  script.insert(script.end(), {"click \"Dry run\"", "expect-text \"Dry run\" ticked"});
  AddRun(script, "Hair + Body", 1, answer, 0);
  script.insert(script.end(), {"expect-log \"PLAN: \"", "expect-shown Summary",
                               "expect-hidden \"open export_report.txt\""});
  WindowRun run = Run(script);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_FALSE(Exists(temp_ / "dry"));

  script = SetPaths(DemoClient(), Native("dry"));
  AddRun(script, "Hair + Body", 1, answer, 0);
  script.push_back("expect-shown \"open export_report.txt\"");
  run = Run(script);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_TRUE(IsFile(temp_ / "dry\\Exported_Models_MSM\\export_report.txt"));
}

}  // namespace
