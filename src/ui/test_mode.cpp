// Script commands, one a line (blank lines and lines starting with # are skipped; arguments with
// blanks are quoted). Each waits until it can act or its condition holds, and fails the run after
// a time limit (seconds, the optional last argument of the wait commands):
//   click NAME | double-click NAME | type NAME TEXT         input on a noted control
//   wait-running [S] | wait-idle [S] | wait-shown NAME [S]  until a run goes, has ended, a control shows
//   expect-enabled NAME | expect-disabled NAME | expect-shown NAME | expect-hidden NAME
//   expect-text NAME TEXT | expect-log TEXT [COUNT] | expect-no-log TEXT | expect-glyphs TEXT
//   screenshot FILE | wait-frames N | close | update VERSION NOTES
//   select-bundle TEXT [S]                              the Preview's first bundle whose folder holds TEXT
//   screenshot-preview FILE [S]                         the Preview's view alone, once it is drawn
#include "ui/test_mode.hpp"

#include <GLFW/glfw3.h>
#include <backends/imgui_impl_glfw.h>
#include <imgui.h>
#include <imgui_internal.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "log/gui_log.hpp"
#include "pipeline/pipeline_state.hpp"
#include "platform/platform.hpp"
#include "ui/main_window_panels.hpp"
#include "ui/preview_tab.hpp"
#include "ui/script_items.hpp"
#include "update/update_info.hpp"

namespace {

struct ItemNote {
  ImRect rect;
  bool enabled = true;
  std::string text;
};

bool notingItems = false;
std::map<std::string, ItemNote> drawingFrame;
std::map<std::string, ItemNote> lastFrame;

constexpr double kDefaultWaitSeconds = 60;
constexpr double kExpectSeconds = 5;

std::vector<std::string> SplitLine(const std::string& line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
    } else if (line[i] == '"') {
      const std::size_t end = line.find('"', i + 1);
      words.push_back(line.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1));
      i = end == std::string::npos ? line.size() : end + 1;
    } else {
      const std::size_t end = line.find_first_of(" \t\r", i);
      words.push_back(line.substr(i, end == std::string::npos ? std::string::npos : end - i));
      i = end == std::string::npos ? line.size() : end;
    }
  }
  return words;
}

// At least `count` log lines hold the text.
bool LogHas(const std::string& text, int count = 1) {
  for (const GuiLogEntry& entry : GuiLogSnapshot()) {
    if (entry.text.find(text) != std::string::npos && --count <= 0) return true;
  }
  return false;
}

const ItemNote* Shown(const std::string& name) {
  const auto found = lastFrame.find(name);
  return found == lastFrame.end() ? nullptr : &found->second;
}

// Every character of the UTF-8 text has a glyph of its own (no fallback "?").
bool FontDraws(const std::string& text) {
  const char* at = text.c_str();
  const char* end = at + text.size();
  while (at < end) {
    unsigned int character = 0;
    at += ImTextCharFromUtf8(&character, at, end);
    if (ImGui::GetFont()->FindGlyphNoFallback(static_cast<ImWchar>(character)) == nullptr) return false;
  }
  return true;
}

// The back buffer's part from (x, y) (window pixels, top left) of width x height.
bool WriteScreenshot(const std::string& file, int width, int height, int x = 0, int y = 0,
                     int windowHeight = -1) {
  if (width <= 0 || height <= 0) return false;
  std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  const int bottom = (windowHeight < 0 ? height : windowHeight) - y - height;
  glReadPixels(x, bottom, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  // OpenGL's rows run bottom-up; the PNG's top-down.
  stbi_flip_vertically_on_write(1);
  return stbi_write_png(file.c_str(), width, height, 4, pixels.data(), width * 4) != 0;
}

}  // namespace

void NoteItem(const std::string& name, const std::string& text) {
  if (!notingItems) return;
  const ImGuiLastItemData& item = GImGui->LastItemData;
  drawingFrame[name] = ItemNote{item.Rect, (item.InFlags & ImGuiItemFlags_Disabled) == 0, text};
}

TestMode TestMode::FromEnvironment() {
  TestMode mode;
  mode.screenshotFile_ = platform::GetEnvironmentVariable("VINTREL_SCREENSHOT").value_or("");
  const std::string frames = platform::GetEnvironmentVariable("VINTREL_EXIT_AFTER_FRAMES").value_or("");
  if (!frames.empty()) mode.exitAfterFrames_ = std::atoi(frames.c_str());
  const std::string scriptFile = platform::GetEnvironmentVariable("VINTREL_TEST_SCRIPT").value_or("");
  if (!scriptFile.empty()) {
    std::string contents;
    if (!platform::ReadWholeFile(platform::AbsoluteInternalPath(platform::ToInternalPath(scriptFile)),
                                 contents)) {
      std::fprintf(stderr, "VINTREL_TEST_SCRIPT: cannot read %s\n", scriptFile.c_str());
      mode.failed_ = mode.finished_ = true;
    }
    std::size_t start = 0;
    for (int line = 1; start < contents.size(); ++line) {
      const std::size_t end = std::min(contents.find('\n', start), contents.size());
      std::vector<std::string> words = SplitLine(contents.substr(start, end - start));
      if (!words.empty() && words[0][0] != '#') {
        mode.script_.push_back(std::move(words));
        mode.lineNumbers_.push_back(line);
      }
      start = end + 1;
    }
    notingItems = true;
  }
  mode.active_ = !mode.screenshotFile_.empty() || mode.exitAfterFrames_ >= 0 || !scriptFile.empty();
  mode.commandStart_ = std::chrono::steady_clock::now();
  return mode;
}

void TestMode::BeforeFrame(GLFWwindow* window) {
  if (!active_) return;
  ImGuiIO& io = ImGui::GetIO();
  io.DeltaTime = 1.0f / 60.0f;
  lastFrame.swap(drawingFrame);
  drawingFrame.clear();
  if (!finished_ && current_ < script_.size()) Step(window);
  if (!finished_ && !script_.empty() && current_ >= script_.size()) finished_ = true;
  if (notingItems) {
    io.MousePos = ImVec2(mouseX_, mouseY_);
    io.MouseDown[0] = mouseDown_;
  }
}

void TestMode::AfterRender(int width, int height) {
  if (!active_) return;
  ++frame_;
  std::string file = pendingScreenshot_;
  const bool lastFrame = exitAfterFrames_ >= 0 && frame_ >= exitAfterFrames_;
  if (!screenshotFile_.empty() && (lastFrame || (exitAfterFrames_ < 0 && frame_ == 10)))
    file = screenshotFile_;
  if (!file.empty() && !WriteScreenshot(file, width, height)) Fail("cannot write " + file);
  if (!pendingScreenshot_.empty()) {
    pendingScreenshot_.clear();
    Next();
  }
  const ItemNote* view = Shown("preview view");
  if (!pendingPreviewShot_.empty() && view != nullptr) {
    const ImVec2 scale = ImGui::GetIO().DisplayFramebufferScale;
    const int x = std::max(0, int(view->rect.Min.x * scale.x));
    const int y = std::max(0, int(view->rect.Min.y * scale.y));
    const int right = std::min(width, int(view->rect.Max.x * scale.x));
    const int bottom = std::min(height, int(view->rect.Max.y * scale.y));
    if (!WriteScreenshot(pendingPreviewShot_, right - x, bottom - y, x, y, height))
      Fail("cannot write " + pendingPreviewShot_);
    pendingPreviewShot_.clear();
    Next();
  }
  if (lastFrame) finished_ = true;
}

void TestMode::Fail(const std::string& reason) {
  const int line = current_ < lineNumbers_.size() ? lineNumbers_[current_] : 0;
  std::fprintf(stderr, "VINTREL_TEST_SCRIPT line %d: %s\n", line, reason.c_str());
  failed_ = finished_ = true;
}

void TestMode::Next() {
  ++current_;
  phase_ = 0;
  commandStart_ = std::chrono::steady_clock::now();
}

// Hover, press, release: three frames, as a mouse would.
bool TestMode::Click(const std::string& name, int phase) {
  const ItemNote* item = Shown(name);
  if (item == nullptr) return false;
  if (!item->enabled) {
    Fail(name + " is disabled");
    return false;
  }
  mouseX_ = (item->rect.Min.x + item->rect.Max.x) * 0.5f;
  mouseY_ = (item->rect.Min.y + item->rect.Max.y) * 0.5f;
  mouseDown_ = phase % 2 == 1;
  return true;
}

void TestMode::Step(GLFWwindow* window) {
  const Command& command = script_[current_];
  const std::string& verb = command[0];
  const auto argument = [&command](std::size_t i) { return i < command.size() ? command[i] : std::string(); };
  const double waited =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - commandStart_).count();
  const auto limit = [&](std::size_t i) {
    return argument(i).empty() ? kDefaultWaitSeconds : std::atof(argument(i).c_str());
  };
  const auto until = [&](bool condition, double limit, const std::string& what) {
    if (condition) {
      Next();
    } else if (waited >= limit) {
      Fail(what);
    }
  };
  // Popups and state changes show a frame after the input that caused them.
  if (phase_ < 2 && verb.compare(0, 5, "wait-") != 0) {
    ++phase_;
    return;
  }
  const int step = phase_ - 2;
  if (verb == "click" || verb == "double-click" || verb == "type") {
    const int clicks = verb == "double-click" ? 5 : 3;
    if (step < clicks) {
      if (Click(argument(1), step)) {
        ++phase_;
      } else if (!failed_ && waited >= kExpectSeconds) {
        Fail(argument(1) + " not shown");
      }
      return;
    }
    if (verb != "type") return Next();
    // Select all, delete, then the text, one frame each.
    ++phase_;
    if (step == clicks) {
      ImGui_ImplGlfw_KeyCallback(window, GLFW_KEY_LEFT_CONTROL, 0, GLFW_PRESS, GLFW_MOD_CONTROL);
      ImGui_ImplGlfw_KeyCallback(window, GLFW_KEY_A, 0, GLFW_PRESS, GLFW_MOD_CONTROL);
    } else if (step == clicks + 1) {
      ImGui_ImplGlfw_KeyCallback(window, GLFW_KEY_A, 0, GLFW_RELEASE, GLFW_MOD_CONTROL);
      ImGui_ImplGlfw_KeyCallback(window, GLFW_KEY_LEFT_CONTROL, 0, GLFW_RELEASE, 0);
      ImGui_ImplGlfw_KeyCallback(window, GLFW_KEY_DELETE, 0, GLFW_PRESS, 0);
    } else if (step == clicks + 2) {
      ImGui_ImplGlfw_KeyCallback(window, GLFW_KEY_DELETE, 0, GLFW_RELEASE, 0);
      ImGui::GetIO().AddInputCharactersUTF8(argument(2).c_str());
    } else {
      Next();
    }
  } else if (verb == "wait-running") {
    until(GetPipelineState().running.load(), limit(1), "no run started");
  } else if (verb == "wait-idle") {
    until(!WorkerBusy(), limit(1), "the run did not end");
  } else if (verb == "wait-shown") {
    until(Shown(argument(1)) != nullptr, limit(2), argument(1) + " not shown");
  } else if (verb == "wait-frames") {
    if (phase_ >= std::atoi(argument(1).c_str())) return Next();
    ++phase_;
  } else if (verb == "expect-enabled" || verb == "expect-disabled") {
    const ItemNote* item = Shown(argument(1));
    until(item != nullptr && item->enabled == (verb == "expect-enabled"), kExpectSeconds,
          argument(1) + (item == nullptr ? " not shown"
                         : item->enabled ? " is enabled"
                                         : " is disabled"));
  } else if (verb == "expect-shown" || verb == "expect-hidden") {
    until((Shown(argument(1)) != nullptr) == (verb == "expect-shown"), kExpectSeconds,
          argument(1) + (verb == "expect-shown" ? " not shown" : " still shown"));
  } else if (verb == "expect-text") {
    const ItemNote* item = Shown(argument(1));
    until(item != nullptr && item->text == argument(2), kExpectSeconds,
          argument(1) + " shows \"" + (item != nullptr ? item->text : std::string("(nothing)")) + "\"");
  } else if (verb == "expect-log") {
    until(LogHas(argument(1), argument(2).empty() ? 1 : std::atoi(argument(2).c_str())), kExpectSeconds,
          "no log line with \"" + argument(1) + "\"");
  } else if (verb == "expect-glyphs") {
    until(FontDraws(argument(1)), kExpectSeconds,
          "the font has no glyph for some of \"" + argument(1) + "\"");
  } else if (verb == "expect-no-log") {
    if (LogHas(argument(1))) return Fail("a log line has \"" + argument(1) + "\"");
    Next();
  } else if (verb == "screenshot") {
    pendingScreenshot_ = argument(1);
  } else if (verb == "select-bundle") {
    until(SelectPreviewBundle(argument(1)), limit(2), "no bundle " + argument(1) + " in the Preview");
  } else if (verb == "screenshot-preview") {
    // Taken after this frame is drawn, so the view shows what the settled state draws.
    if (PreviewSettled() && Shown("preview view") != nullptr) {
      pendingPreviewShot_ = argument(1);
    } else if (waited >= limit(2)) {
      Fail("the Preview did not settle");
    }
  } else if (verb == "close") {
    glfwSetWindowShouldClose(window, 1);
    Next();
  } else if (verb == "update") {
    PublishUpdate(argument(1), std::string(), argument(2));
    Next();
  } else {
    Fail("unknown command " + verb);
  }
}
