#include "ui/gui_controller.hpp"

#include <GLFW/glfw3.h>
#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl2.h>
#include <imgui.h>

#include <thread>

#include "log/gui_log.hpp"
#include "pipeline/core_initialization.hpp"
#include "pipeline/pipeline_state.hpp"
#include "platform/desktop.hpp"
#include "ui/main_window_panels.hpp"
#include "ui/preview_tab.hpp"
#include "ui/script_items.hpp"
#include "ui/selection_popup.hpp"
#include "ui/system_fonts.hpp"
#include "ui/test_mode.hpp"
#include "ui/ui_images.hpp"
#include "update/update_info.hpp"

namespace {

constexpr float kClear[4] = {0.11f, 0.11f, 0.13f, 1.0f};

void ApplyStyle() {
  ImGuiStyle& style = ImGui::GetStyle();
  style.Colors[ImGuiCol_Text] = ImVec4(0.95f, 0.96f, 0.98f, 1.00f);
  style.Colors[ImGuiCol_WindowBg] = ImVec4(kClear[0], kClear[1], kClear[2], kClear[3]);
  style.Colors[ImGuiCol_ChildBg] = ImVec4(0.15f, 0.15f, 0.17f, 1.00f);
  style.Colors[ImGuiCol_Button] = ImVec4(0.20f, 0.48f, 0.82f, 1.00f);
  style.Colors[ImGuiCol_ButtonHovered] = ImVec4(0.26f, 0.59f, 0.98f, 1.00f);
  style.Colors[ImGuiCol_ButtonActive] = ImVec4(0.18f, 0.43f, 0.74f, 1.00f);
  style.Colors[ImGuiCol_Header] = ImVec4(0.20f, 0.48f, 0.82f, 0.31f);
  style.WindowPadding = ImVec2(12, 12);
  style.WindowRounding = 8;
  style.ChildRounding = 6;
  style.FrameRounding = 6;
  style.ItemSpacing = ImVec2(12, 8);
}

// The executable's icon resource where it has one (Windows), else the embedded image of that id.
void SetWindowIcon(GLFWwindow* window, const std::string& title) {
  if (platform::SetWindowIconFromResource(title, kResourceWindowIcon)) return;
  DecodedImage icon;
  if (!DecodePngResource(kResourceWindowIcon, icon)) return;
  GLFWimage image{icon.width, icon.height, icon.rgba.data()};
  glfwSetWindowIcon(window, 1, &image);
}

void StartUpdateCheck(const std::function<void()>& check) {
  if (DevModeEnabled()) {
    AddGuiLog("[CheckUpdateAsync] Dev mode - skip update check", GuiLogInfo);
  } else if (check) {
    std::thread(check).detach();
  }
}

}  // namespace

void GuiController::Run() {
  platform::ShowConsoleWindow();
  if (!glfwInit()) return;
  const std::string title = std::string("Vintrel ") + VINTREL_VERSION;
  GLFWwindow* window = glfwCreateWindow(1200, 800, title.c_str(), nullptr, nullptr);
  if (window == nullptr) {
    glfwTerminate();
    return;
  }
  glfwMakeContextCurrent(window);
  glfwSwapInterval(1);
  SetWindowIcon(window, title);

  ImGui::CreateContext();
  ApplyStyle();
  TestMode test = TestMode::FromEnvironment();
  // A test run leaves no window layout behind to change the next one.
  if (test.Active()) ImGui::GetIO().IniFilename = nullptr;
  LoadWindowFonts();
  ImGui_ImplGlfw_InitForOpenGL(window, true);
  ImGui_ImplOpenGL2_Init();

  LoadLinkButtonTextures();
  InitializeCore();
  LoadPathFields();
  StartUpdateCheck(hooks_.checkForUpdate);

  while (!glfwWindowShouldClose(window)) {
    glfwPollEvents();
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplGlfw_NewFrame();
    test.BeforeFrame(window);
    ImGui::NewFrame();
    DrawFrame();
    ImGui::Render();
    int width = 0;
    int height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    glViewport(0, 0, width, height);
    glClearColor(kClear[0], kClear[1], kClear[2], kClear[3]);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    test.AfterRender(width, height);
    if (test.Finished()) glfwSetWindowShouldClose(window, 1);
    glfwSwapBuffers(window);
  }
  testFailed_ = test.Failed();

  // Nobody is left to answer a question the run may still ask: it is answered as a cancel, so the
  // run ends on its own and the process can exit. No stop is requested.
  CancelPendingSelection();
  JoinWorker();
  ResumeSelections();

  ShutdownPreviewTab();
  ImGui_ImplOpenGL2_Shutdown();
  ImGui_ImplGlfw_Shutdown();
  ImGui::DestroyContext();
  glfwDestroyWindow(window);
  glfwTerminate();
}

void GuiController::DrawFrame() {
  const ImGuiViewport* viewport = ImGui::GetMainViewport();
  ImGui::SetNextWindowPos(viewport->Pos, ImGuiCond_Always);
  ImGui::SetNextWindowSize(viewport->Size, ImGuiCond_Always);
  ImGui::Begin("Main", nullptr,
               ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove);
  DrawHeader();
  ImGui::Separator();
  DrawSelectionPopup();
  DrawUpdatePopup();
  if (ImGui::BeginTabBar("T")) {
    const bool processing = ImGui::BeginTabItem("Processing");
    NoteItem("Processing");
    if (processing) {
      ImGui::Columns(2, "C", false);
      ImGui::SetColumnWidth(0, ImGui::GetWindowWidth() * 0.55f);
      DrawOptionsPanel();
      ImGui::NextColumn();
      DrawLogsPanel();
      ImGui::Columns(1);
      ImGui::EndTabItem();
    }
    const bool preview = ImGui::BeginTabItem("Preview");
    NoteItem("Preview");
    if (preview) {
      DrawPreviewTab();
      ImGui::EndTabItem();
    }
    ImGui::EndTabBar();
  }
  ImGui::End();
}

void GuiController::DrawUpdatePopup() {
  UpdateInfo& info = GetUpdateInfo();
  const bool available = info.updateAvailable.load(std::memory_order_acquire);
  if (available) ImGui::OpenPopup("UPDATE_REQUIRED");
  const ImGuiViewport* viewport = ImGui::GetMainViewport();
  ImGui::SetNextWindowPos(viewport->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
  if (!ImGui::BeginPopupModal("UPDATE_REQUIRED", nullptr,
                              ImGuiWindowFlags_NoMove | ImGuiWindowFlags_AlwaysAutoResize)) {
    return;
  }
  ImGui::TextColored(ImVec4(1.0f, 0.8f, 0.0f, 1.0f), "UPDATE REQUIRED");
  ImGui::Separator();
  ImGui::Text("New Version Available: %s", info.latestVersion.c_str());
  ImGui::TextWrapped("%s", info.releaseNotes.c_str());
  ImGui::Spacing();
  const bool download = ImGui::Button("DOWNLOAD & REBOOT", ImVec2(220, 0));
  NoteItem("DOWNLOAD & REBOOT");
  if (download) {
    if (hooks_.selfUpdate) {
      hooks_.selfUpdate();
    } else {
      AddGuiLog("Download FAILED. Try Manually.", GuiLogError);
    }
  }
  ImGui::EndPopup();
}
