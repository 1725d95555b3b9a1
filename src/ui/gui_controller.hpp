// The one window: GLFW window, OpenGL context and ImGui context, and the frame loop on the main
// thread until the window is closed.
#pragma once

#include <functional>

class GuiController {
 public:
  struct Hooks {
    std::function<void()> checkForUpdate;  // run once on a detached thread after core initialisation
    std::function<void()> selfUpdate;      // "DOWNLOAD & REBOOT"
  };

  GuiController() = default;
  explicit GuiController(Hooks hooks) : hooks_(std::move(hooks)) {}

  // Returns when the window was closed and the run it started has ended, or at once when no window
  // can be made.
  void Run();
  // Test mode only: a line of VINTREL_TEST_SCRIPT failed.
  bool TestFailed() const { return testFailed_; }

 private:
  void DrawFrame();
  void DrawUpdatePopup();

  Hooks hooks_;
  bool testFailed_ = false;
};
