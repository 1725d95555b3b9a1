// vintrel: the window. Arguments are ignored.
#include "log/debug_log.hpp"
#include "pipeline/core_initialization.hpp"
#include "support/granny_analyzer.hpp"
#include "ui/gui_controller.hpp"

int main() {
  SetEmbeddedResources(VintrelEmbeddedResources());
  AddEmbeddedResources(VintrelEmbeddedImages());
  GuiController controller;
  controller.Run();
  GrannyAnalyzer::Shutdown();
  StopLogWriter();
  return controller.TestFailed() ? 1 : 0;
}
