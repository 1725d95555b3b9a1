#include "ui/main_window_panels.hpp"

#include <imgui.h>
#include <imgui_stdlib.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>

#include "log/gui_log.hpp"
#include "pipeline/core_initialization.hpp"
#include "pipeline/pipeline_runner.hpp"
#include "pipeline/pipeline_state.hpp"
#include "pipeline/run_report.hpp"
#include "pipeline/task_table.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"
#include "ui/folder_chooser.hpp"
#include "ui/script_items.hpp"
#include "ui/ui_images.hpp"

#ifdef VINTREL_CONVERT
#include "convert/model_converter.hpp"
#endif

#ifndef VINTREL_WEB_ADDRESS
#define VINTREL_WEB_ADDRESS ""
#endif
#ifndef VINTREL_COMMUNITY_ADDRESS
#define VINTREL_COMMUNITY_ADDRESS ""
#endif

namespace {

const ImVec4 kRequiredColour(1.0f, 0.4f, 0.4f, 1.0f);
const ImVec4 kCreditColour(1.0f, 0.9f, 0.0f, 1.0f);

// What the user typed or picked, as native paths; the run's path texts get their internal form.
struct PathFields {
  std::string client;
  std::string output;
  std::string referenceFolder;  // empty: the bundled standard_filters
  std::string mirror;           // empty: the platform's default mirror root
  bool dryRun = false;
  bool convert = false;
};

PathFields& Fields() {
  static PathFields fields;
  return fields;
}

enum class FieldId { Client, Output, ReferenceFolder, Mirror };

unsigned int logoTexture = 0;
int logoWidth = 0;
int logoHeight = 0;

std::thread worker;
std::atomic<bool> workerFinished{true};

FolderBrowser browser;
FieldId browserTarget = FieldId::Client;

std::string Native(const std::string& internal) {
  return platform::ToNativePath(internal).value_or(internal);
}

std::string Internal(const std::string& native) {
  return native.empty() ? std::string() : platform::AbsoluteInternalPath(platform::ToInternalPath(native));
}

std::string& FieldText(FieldId id) {
  switch (id) {
    case FieldId::Client:
      return Fields().client;
    case FieldId::Output:
      return Fields().output;
    case FieldId::ReferenceFolder:
      return Fields().referenceFolder;
    default:
      return Fields().mirror;
  }
}

// The run reads the path texts once when it starts; the two option folders go to PathSettings then.
void FieldChanged(FieldId id) {
  if (id == FieldId::Client) SetClientPathText(Internal(Fields().client));
  if (id == FieldId::Output) SetOutputPathText(Internal(Fields().output));
}

void SetField(FieldId id, const std::string& text) {
  FieldText(id) = text;
  FieldChanged(id);
}

// Called only while no worker runs, so PathSettings has no reader.
void ApplyOptionFolders() {
  PathSettings& settings = GetPathSettings();
  settings.referenceFolder = Internal(Fields().referenceFolder);
  std::string mirror = Internal(Fields().mirror);
  if (!mirror.empty() && mirror.back() != '\\') mirror += '\\';
  settings.mirrorRoot = mirror.empty() ? DefaultMirrorRoot() : mirror;
}

void ChooseFolder(FieldId id) {
  const std::optional<std::string> chosen = PickFolder(FieldText(id));
  if (!chosen) {
    browserTarget = id;
    browser.Open(FieldText(id));
  } else if (!chosen->empty()) {
    SetField(id, *chosen);
  }
}

// One labelled folder field with its chooser button; the field takes any length.
void FolderField(const char* label, const char* inputId, const char* hint, const char* buttonLabel,
                 float width, FieldId id) {
  ImGui::TextUnformatted(label);
  ImGui::SetNextItemWidth(width);
  if (ImGui::InputTextWithHint(inputId, hint, &FieldText(id))) FieldChanged(id);
  NoteItem(inputId, FieldText(id));
  ImGui::SameLine();
  if (ImGui::Button(buttonLabel, ImVec2(80, 0))) ChooseFolder(id);
  NoteItem(buttonLabel);
}

void StartRun() {
  if (worker.joinable()) worker.join();
  ApplyOptionFolders();
  RunOptions options;
  options.dryRun = Fields().dryRun;
  options.convert = Fields().convert;
  SetRunOptions(options);
#ifdef VINTREL_CONVERT
  SetExportConverter(ConvertExportedFile);
#endif
  workerFinished.store(false);
  worker = std::thread([] {
    RunPipeline();
    workerFinished.store(true);
  });
}

void OpenLink(const char* address) {
  // Without an address of our own the links open the README that ships beside the executable.
  const std::string target =
      address[0] != '\0' ? std::string(address) : platform::ExecutableFolder() + "README.md";
  platform::OpenInShell(target);
}

std::string WebsiteHost() {
  const std::string address = VINTREL_WEB_ADDRESS;
  if (address.empty()) return "README.md";
  const std::size_t scheme = address.find("://");
  const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
  return address.substr(start, address.find('/', start) - start);
}

void DrawProgress(const PipelineState& state) {
  ImGui::TextUnformatted("PROCESSING...");
  ImGui::ProgressBar(state.progress.load(), ImVec2(-1, 0));
  NoteItem("progress");
  if (state.selectedTask.load() == TaskMapObjects) {
    const int found = state.prbFound.load();
    ImGui::Text("Found: %d PRB files", found);
    NoteItem("Found", "Found: " + std::to_string(found) + " PRB files");
    ImGui::Text("Processed: %d / %d", state.prbProcessed.load(), found);
    NoteItem("Processed");
  }
  ImGui::Spacing();
  if (ImGui::Button("STOP", ImVec2(-1, 50))) {
    GetPipelineState().stopRequested.exchange(true);
    AddGuiLog("Requested Interruption...", GuiLogWarning);
  }
  NoteItem("STOP");
}

void DrawStart() {
  const bool usable = PathsUsable(Fields().client, Fields().output);
  if (!usable) ImGui::BeginDisabled();
  if (ImGui::Button("START PROCESSING", ImVec2(-1, 50))) StartRun();
  NoteItem("START PROCESSING");
  if (!usable) {
    ImGui::EndDisabled();
    ImGui::PushStyleColor(ImGuiCol_Text, kRequiredColour);
    ImGui::TextWrapped("REQUIRED: Select a valid Client and Output folder (not C:/ root).");
    ImGui::PopStyleColor();
    NoteItem("REQUIRED");
  }
}

// What the last run did, and its report for people to read (a dry run writes none).
void DrawLastRunSummary() {
  const LastRunReport last = GetLastRunReport();
  if (last.summary.empty()) return;
  ImGui::TextWrapped("%s", last.summary.c_str());
  NoteItem("Summary", last.summary);
  if (last.textReport.empty()) return;
  if (ImGui::Button("open export_report.txt")) {
    if (!platform::OpenInShell(last.textReport)) {
      AddGuiLog("Cannot open report: " + Native(last.textReport), GuiLogError);
    }
  }
  NoteItem("open export_report.txt");
}

void DrawInfoPopup() {
  if (!ImGui::BeginPopupModal("INFOPOPUP", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
  ImGui::TextColored(ImVec4(0.4f, 0.8f, 1.0f, 1.0f), "Vintrel Tool");
  ImGui::Separator();
  ImGui::TextColored(kCreditColour, "Author:");
  ImGui::SameLine();
  ImGui::TextUnformatted("The Vintrel developers");
  ImGui::Spacing();
  ImGui::TextColored(kCreditColour, "Helpers:");
  ImGui::TextUnformatted("Everyone who sent a client that would not export");
  ImGui::Spacing();
  ImGui::TextColored(kCreditColour, "Website:");
  ImGui::SameLine();
  if (ImGui::Selectable(WebsiteHost().c_str(), false, 0, ImGui::CalcTextSize(WebsiteHost().c_str()))) {
    OpenLink(VINTREL_WEB_ADDRESS);
  }
  ImGui::Spacing();
  ImGui::PushTextWrapPos(ImGui::GetFontSize() * 32.0f);
  ImGui::TextUnformatted(
      "Hair + Body, Weapon + Wings, Npc + Mob and Map Objects export tool featuring an updated graphical "
      "interface.");
  ImGui::PopTextWrapPos();
  ImGui::Spacing();
  if (ImGui::Button("CLOSE", ImVec2(120, 0))) ImGui::CloseCurrentPopup();
  NoteItem("CLOSE");
  ImGui::EndPopup();
}

void DrawLinkRow() {
  ImGui::PushStyleVar(ImGuiStyleVar_ItemSpacing, ImVec2(12, 8));
  ImGui::PushStyleColor(ImGuiCol_Button, ImVec4(0, 0, 0, 0));
  ImGui::PushStyleColor(ImGuiCol_ButtonHovered, ImVec4(1, 1, 1, 0.15f));
  ImGui::PushStyleColor(ImGuiCol_ButtonActive, ImVec4(1, 1, 1, 0.25f));
  ImGui::SetCursorPosX(ImGui::GetCursorPosX() +
                       std::max(0.0f, (ImGui::GetContentRegionAvail().x - 216) * 0.5f));
  const struct {
    const char* id;
    int image;
  } buttons[] = {
      {"web", kResourceWebButton}, {"disc", kResourceCommunityButton}, {"info", kResourceInfoButton}};
  for (const auto& button : buttons) {
    if (button.image != kResourceWebButton) ImGui::SameLine();
    ImGui::PushID(button.id);
    // 1.86 has no string id for image buttons: the pushed id keeps three equal textures apart.
    const bool pressed = ImGui::ImageButton(
        reinterpret_cast<ImTextureID>(static_cast<std::intptr_t>(LinkButtonTexture(button.image))),
        ImVec2(64, 64));
    ImGui::PopID();
    NoteItem(button.id, LinkButtonTexture(button.image) != 0 ? "image" : "");
    if (!pressed) continue;
    if (button.image == kResourceWebButton) OpenLink(VINTREL_WEB_ADDRESS);
    if (button.image == kResourceCommunityButton) OpenLink(VINTREL_COMMUNITY_ADDRESS);
    if (button.image == kResourceInfoButton) ImGui::OpenPopup("INFOPOPUP");
  }
  ImGui::PopStyleColor(3);
  ImGui::PopStyleVar();
}

}  // namespace

bool PathsUsable(const std::string& clientPath, const std::string& outputPath) {
  const auto usable = [](const std::string& path) {
    return !path.empty() && path != "C:/" && path != "C:\\";
  };
  return usable(clientPath) && usable(outputPath);
}

void LoadPathFields() {
  const PathSettings& settings = GetPathSettings();
  PathFields& fields = Fields();
  const std::string client = ClientPathText();
  const std::string output = OutputPathText();
  fields.client = client.empty() ? std::string() : Native(client);
  fields.output = output.empty() ? std::string() : Native(output);
  fields.referenceFolder =
      settings.referenceFolder.empty() ? std::string() : Native(settings.referenceFolder);
  fields.mirror = settings.mirrorRoot == DefaultMirrorRoot() ? std::string() : Native(settings.mirrorRoot);
}

bool WorkerBusy() { return !workerFinished.load(); }

void JoinWorker() {
  if (worker.joinable()) worker.join();
}

void DrawHeader() {
  // A failed load leaves the name at 0, so every frame tries again.
  if (logoTexture == 0) logoTexture = LoadPngTexture(kResourceLogo, logoWidth, logoHeight);
  if (logoTexture != 0) {
    ImGui::Image(reinterpret_cast<ImTextureID>(static_cast<std::intptr_t>(logoTexture)), ImVec2(256, 80));
    NoteItem("logo");
  } else {
    ImGui::TextColored(ImVec4(0.4f, 0.7f, 1.0f, 1.0f), "Vintrel Tool");
  }
  ImGui::Spacing();
}

void DrawPathsPanel() {
  ImGui::TextUnformatted("PATHS");
  ImGui::Separator();
  ImGui::Spacing();
  const float avail = ImGui::GetContentRegionAvail().x;
  FolderField("Client Path", "##cli", "", "Client", avail - 95, FieldId::Client);
  ImGui::TextUnformatted("Output Path");
  ImGui::SetNextItemWidth(avail - 183);
  if (ImGui::InputText("##out", &Fields().output)) FieldChanged(FieldId::Output);
  NoteItem("##out", Fields().output);
  ImGui::SameLine();
  if (ImGui::Button("OutPut", ImVec2(80, 0))) ChooseFolder(FieldId::Output);
  NoteItem("OutPut");
  ImGui::SameLine();
  const bool noOutput = Fields().output.empty();
  if (noOutput) ImGui::BeginDisabled();
  if (ImGui::Button("Open", ImVec2(80, 0))) {
    const std::string folder = Fields().output;
    if (folder.empty()) {
      AddGuiLog("Output path not set", GuiLogWarning);
    } else if (platform::OpenInShell(Internal(folder))) {
      AddGuiLog("Opened: " + folder, GuiLogSuccess);
    } else {
      AddGuiLog("Cannot open output folder: " + folder, GuiLogError);
    }
  }
  NoteItem("Open");
  if (noOutput) ImGui::EndDisabled();
  std::string chosen;
  if (browser.Draw(chosen)) SetField(browserTarget, chosen);
}

void DrawOptionsPanel() {
  DrawPathsPanel();
  ImGui::Spacing();
  ImGui::TextUnformatted("OPTIONS");
  ImGui::Separator();
  PipelineState& state = GetPipelineState();
  for (const TaskInfo& task : TaskTable()) {
    if (task.kind != TaskMsm) ImGui::SameLine();
    if (ImGui::RadioButton(task.label, state.selectedTask.load() == task.kind))
      state.selectedTask.store(task.kind);
    NoteItem(task.label, state.selectedTask.load() == task.kind ? "selected" : "");
  }
  const float avail = ImGui::GetContentRegionAvail().x;
  const std::string mirrorHint =
      DefaultMirrorRoot().empty() ? std::string("no mirror copies") : Native(DefaultMirrorRoot());
  FolderField("Reference lists", "##ref", "bundled standard_filters", "Lists", avail - 95,
              FieldId::ReferenceFolder);
  FolderField("Mirror", "##mirror", mirrorHint.c_str(), "Mirror", avail - 95, FieldId::Mirror);
  ImGui::Checkbox("Dry run", &Fields().dryRun);
  NoteItem("Dry run", Fields().dryRun ? "ticked" : "");
#ifdef VINTREL_CONVERT
  ImGui::SameLine();
  ImGui::Checkbox("Convert to glTF / PNG", &Fields().convert);
  NoteItem("Convert to glTF / PNG", Fields().convert ? "ticked" : "");
#endif
  ImGui::Spacing();
  ImGui::Separator();
  if (state.running.load()) {
    DrawProgress(state);
  } else {
    DrawStart();
    DrawLastRunSummary();
  }
  ImGui::Spacing();
  ImGui::Spacing();
  DrawLinkRow();
  DrawInfoPopup();
}

void DrawLogsPanel() {
  ImGui::TextUnformatted("LOGS");
  ImGui::Separator();
  ImGui::BeginChild("LogScrl", ImVec2(0, 0), true);
  // Only a view already at the bottom follows new lines; one scrolled up stays where it is.
  const bool atBottom = ImGui::GetScrollY() >= ImGui::GetScrollMaxY();
  WithGuiLog([](const std::vector<GuiLogEntry>& entries) {
    for (const GuiLogEntry& entry : entries) {
      const ImVec4 colour = entry.level == GuiLogError     ? ImVec4(1.0f, 0.3f, 0.3f, 1.0f)
                            : entry.level == GuiLogSuccess ? ImVec4(0.3f, 1.0f, 0.3f, 1.0f)
                                                           : ImVec4(0.8f, 0.8f, 0.8f, 1.0f);
      ImGui::PushStyleColor(ImGuiCol_Text, colour);
      // Built whole rather than formatted: formatting would cut a line longer than its buffer.
      const std::string line = "[" + entry.time + "] " + entry.text;
      ImGui::TextUnformatted(line.c_str(), line.c_str() + line.size());
      ImGui::PopStyleColor();
    }
  });
  if (atBottom) ImGui::SetScrollHereY(1.0f);
  ImGui::EndChild();
}
