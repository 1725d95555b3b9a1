// Test mode of the real executable, switched on through the environment (the program takes no
// arguments): VINTREL_SCREENSHOT=FILE writes a PNG of a frame, VINTREL_EXIT_AFTER_FRAMES=N ends the
// loop after N frames, VINTREL_TEST_SCRIPT=FILE drives the window from a script of lines such as
//   click "START PROCESSING"    type "##cli" "/path"    wait-idle    screenshot FILE
// (the whole list is in test_mode.cpp). In test mode the frame time is fixed and no imgui.ini is written.
#pragma once

#include <chrono>
#include <string>
#include <vector>

struct GLFWwindow;

class TestMode {
 public:
  static TestMode FromEnvironment();

  bool Active() const { return active_; }
  // After the backends' new frame, before ImGui's: the fixed frame time and the script's input.
  void BeforeFrame(GLFWwindow* window);
  // After rendering, before the swap: screenshots are read from the back buffer here.
  void AfterRender(int width, int height);
  // The loop should end: the frames are counted out, the script is done, or it failed.
  bool Finished() const { return finished_; }
  // A script line failed (reported on standard error).
  bool Failed() const { return failed_; }

 private:
  using Command = std::vector<std::string>;

  void Step(GLFWwindow* window);
  bool Click(const std::string& name, int phase);
  void Fail(const std::string& reason);
  void Next();

  bool active_ = false;
  bool finished_ = false;
  bool failed_ = false;
  int frame_ = 0;
  int exitAfterFrames_ = -1;
  std::string screenshotFile_;
  std::string pendingScreenshot_;
  std::string pendingPreviewShot_;

  std::vector<Command> script_;
  std::vector<int> lineNumbers_;
  std::size_t current_ = 0;
  int phase_ = 0;
  std::chrono::steady_clock::time_point commandStart_;
  float mouseX_ = -1;
  float mouseY_ = -1;
  bool mouseDown_ = false;
};
