#include "ui/preview_tab.hpp"

#include <imgui.h>
#include <imgui_stdlib.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "pipeline/pipeline_runner.hpp"
#include "support/client_paths.hpp"
#include "support/export_report_reader.hpp"
#include "ui/latest_job.hpp"
#include "ui/main_window_panels.hpp"
#include "ui/model_view.hpp"
#include "ui/script_items.hpp"

namespace {

const ImVec4 kRefusalColour(1.0f, 0.45f, 0.45f, 1.0f);
const ImVec4 kQuietColour(0.65f, 0.67f, 0.72f, 1.0f);
constexpr float kListWidth = 330;
constexpr float kTextHeight = 170;
constexpr float kPictureSide = 256;

// What the workers hand over, guarded by `mutex`; a result counts only when its number is the
// latest request's.
struct Handover {
  std::mutex mutex;
  std::uint64_t reportsAsked = 0;
  std::uint64_t reportsDone = 0;
  std::vector<ReportedRun> runs;
  std::vector<std::string> errors;
  std::uint64_t sceneAsked = 0;
  std::uint64_t sceneDone = 0;
  std::shared_ptr<const PreviewScene> scene;
};

struct Selection {
  int run = -1;
  int bundle = -1;
};

struct PreviewState {
  std::shared_ptr<Handover> handover = std::make_shared<Handover>();
  LatestJob reportJob;
  LatestJob sceneJob;
  ModelView view;
  std::vector<ReportedRun> runs;
  std::vector<std::string> errors;
  std::string loadedOutput;
  bool reportsPending = false;
  bool scenePending = false;
  bool wasBusy = false;
  int lastDrawnFrame = -2;
  bool drawnSinceScene = false;
  std::string filter;
  Selection selected;
  std::string modelChoice;
};

std::unique_ptr<PreviewState>& State() {
  static std::unique_ptr<PreviewState> state;
  return state;
}

PreviewState& TheState() {
  if (State() == nullptr) State() = std::make_unique<PreviewState>();
  return *State();
}

const ReportedBundle* SelectedBundle(const PreviewState& state) {
  if (state.selected.run < 0 || std::size_t(state.selected.run) >= state.runs.size()) return nullptr;
  const std::vector<ReportedBundle>& bundles = state.runs[std::size_t(state.selected.run)].bundles;
  if (state.selected.bundle < 0 || std::size_t(state.selected.bundle) >= bundles.size()) return nullptr;
  return &bundles[std::size_t(state.selected.bundle)];
}

void RequestReports(PreviewState& state) {
  state.loadedOutput = OutputPathText();
  state.reportsPending = true;
  const std::shared_ptr<Handover> handover = state.handover;
  std::uint64_t number = 0;
  {
    std::lock_guard<std::mutex> lock(handover->mutex);
    number = ++handover->reportsAsked;
  }
  state.reportJob.Post([handover, number, output = state.loadedOutput] {
    std::vector<std::string> errors;
    std::vector<ReportedRun> runs;
    if (!output.empty()) runs = ReadExportReports(output, errors);
    std::lock_guard<std::mutex> lock(handover->mutex);
    if (number != handover->reportsAsked) return;
    handover->runs = std::move(runs);
    handover->errors = std::move(errors);
    handover->reportsDone = number;
  });
}

void RequestScene(PreviewState& state) {
  const ReportedBundle* bundle = SelectedBundle(state);
  state.view.SetScene(nullptr);
  state.drawnSinceScene = false;
  const std::shared_ptr<Handover> handover = state.handover;
  std::uint64_t number = 0;
  {
    std::lock_guard<std::mutex> lock(handover->mutex);
    number = ++handover->sceneAsked;
  }
  state.scenePending = bundle != nullptr;
  if (bundle == nullptr) return;
  state.sceneJob.Post([handover, number, bundle = *bundle, model = state.modelChoice] {
    auto scene = std::make_shared<const PreviewScene>(LoadPreviewScene(bundle, model));
    std::lock_guard<std::mutex> lock(handover->mutex);
    if (number != handover->sceneAsked) return;
    handover->scene = std::move(scene);
    handover->sceneDone = number;
  });
}

void Select(PreviewState& state, Selection selection) {
  state.selected = selection;
  state.modelChoice.clear();
  RequestScene(state);
}

// Takes over what the workers finished; a reload keeps the bundle selected when it is still listed
// and reads it again, since the run may have rewritten it.
void CollectResults(PreviewState& state) {
  const ReportedBundle* before = SelectedBundle(state);
  const std::string task = before != nullptr ? before->task : std::string();
  const std::string folder = before != nullptr ? before->folder : std::string();
  bool reportsArrived = false;
  std::shared_ptr<const PreviewScene> scene;
  {
    Handover& handover = *state.handover;
    std::lock_guard<std::mutex> lock(handover.mutex);
    if (state.reportsPending && handover.reportsDone == handover.reportsAsked) {
      state.runs = std::move(handover.runs);
      state.errors = std::move(handover.errors);
      state.reportsPending = false;
      reportsArrived = true;
    } else if (state.scenePending && handover.sceneDone == handover.sceneAsked && handover.scene != nullptr) {
      scene = std::move(handover.scene);
    }
  }
  if (scene != nullptr) {
    state.view.SetScene(std::move(scene));
    state.scenePending = false;
    state.drawnSinceScene = false;
  }
  if (!reportsArrived) return;
  state.selected = Selection();
  for (std::size_t r = 0; r < state.runs.size() && before != nullptr; ++r) {
    for (std::size_t b = 0; b < state.runs[r].bundles.size(); ++b) {
      const ReportedBundle& bundle = state.runs[r].bundles[b];
      if (bundle.task == task && bundle.folder == folder) state.selected = Selection{int(r), int(b)};
    }
  }
  RequestScene(state);
}

bool Matches(const std::string& folder, const std::string& filter) {
  return filter.empty() || ToLowerCopy(folder).find(ToLowerCopy(filter)) != std::string::npos;
}

void DrawBundleList(PreviewState& state) {
  ImGui::SetNextItemWidth(kListWidth - 100);
  ImGui::InputTextWithHint("##preview filter", "filter", &state.filter);
  NoteItem("##preview filter", state.filter);
  ImGui::SameLine();
  if (ImGui::Button("Reload", ImVec2(80, 0))) RequestReports(state);
  NoteItem("Reload");
  ImGui::BeginChild("bundles", ImVec2(0, 0), true);
  if (state.reportsPending) ImGui::TextColored(kQuietColour, "Reading the export reports...");
  if (!state.reportsPending && state.runs.empty())
    ImGui::TextWrapped("No export report below the output folder yet: run an export first.");
  for (const std::string& error : state.errors) ImGui::TextColored(kRefusalColour, "%s", error.c_str());
  for (std::size_t r = 0; r < state.runs.size(); ++r) {
    const ReportedRun& run = state.runs[r];
    const std::string heading = run.task + (run.kind == "plan" ? " (plan)" : "") + " - " +
                                std::to_string(run.bundles.size()) + " bundles, " + run.outcome;
    ImGui::PushID(int(r));
    if (ImGui::TreeNodeEx("run", ImGuiTreeNodeFlags_DefaultOpen, "%s", heading.c_str())) {
      for (std::size_t b = 0; b < run.bundles.size(); ++b) {
        const std::string& folder = run.bundles[b].folder;
        if (!Matches(folder, state.filter)) continue;
        ImGui::PushID(int(b));
        const bool selected = state.selected.run == int(r) && state.selected.bundle == int(b);
        if (ImGui::Selectable(folder.c_str(), selected) && !selected)
          Select(state, Selection{int(r), int(b)});
        NoteItem("bundle " + folder, selected ? "selected" : "");
        ImGui::PopID();
      }
      ImGui::TreePop();
    }
    ImGui::PopID();
  }
  ImGui::EndChild();
}

void DrawModelChoice(PreviewState& state, const ReportedBundle& bundle, const PreviewScene* scene) {
  std::vector<const ReportedFile*> models;
  for (const ReportedFile& file : bundle.files) {
    if (IsPreviewModel(file.relative)) models.push_back(&file);
  }
  if (models.size() < 2) return;
  const std::string shown = scene != nullptr ? scene->modelFile : state.modelChoice;
  ImGui::SameLine();
  ImGui::SetNextItemWidth(std::max(ImGui::GetContentRegionAvail().x, 120.0f));
  if (!ImGui::BeginCombo("##model", shown.c_str())) return;
  for (const ReportedFile* file : models) {
    if (ImGui::Selectable(file->relative.c_str(), file->relative == shown) && file->relative != shown) {
      state.modelChoice = file->relative;
      RequestScene(state);
    }
  }
  ImGui::EndCombo();
}

void DrawPictures(const PreviewState& state, const PreviewScene& scene, float height) {
  ImGui::BeginChild("pictures", ImVec2(0, height), true);
  ImGui::BeginGroup();
  for (std::size_t i = 0; i < scene.images.size(); ++i) {
    const RgbaImage& image = scene.images[i].image;
    const float scale = kPictureSide / float(std::max(image.width, image.height));
    if (i > 0 && ImGui::GetContentRegionAvail().x > kPictureSide) ImGui::SameLine();
    ImGui::BeginGroup();
    ImGui::Image(reinterpret_cast<ImTextureID>(static_cast<std::intptr_t>(state.view.PictureTexture(i))),
                 ImVec2(image.width * scale, image.height * scale));
    ImGui::TextUnformatted(FileNameOf(scene.images[i].name).c_str());
    ImGui::EndGroup();
  }
  ImGui::EndGroup();
  NoteItem("preview view", "pictures");
  ImGui::EndChild();
}

void DrawBundleText(const ReportedBundle& bundle, const PreviewScene* scene) {
  ImGui::BeginChild("bundle text", ImVec2(0, 0), true);
  ImGui::Text("Files (%d)", int(bundle.files.size()));
  for (const ReportedFile& file : bundle.files) {
    ImGui::BulletText("%s  (%llu bytes)", file.relative.c_str(), static_cast<unsigned long long>(file.bytes));
  }
  if (!bundle.missing.empty()) {
    ImGui::TextColored(kRefusalColour, "Missing references (%d)", int(bundle.missing.size()));
    for (const std::string& missing : bundle.missing) ImGui::BulletText("%s", missing.c_str());
  }
  if (!bundle.refused.empty()) {
    ImGui::TextColored(kRefusalColour, "Refused paths (%d)", int(bundle.refused.size()));
    for (const std::string& refused : bundle.refused) ImGui::BulletText("%s", refused.c_str());
  }
  if (scene != nullptr && !scene->notes.empty()) {
    ImGui::TextColored(kQuietColour, "Preview notes");
    for (const std::string& note : scene->notes) ImGui::BulletText("%s", note.c_str());
  }
  ImGui::EndChild();
}

void DrawSelected(PreviewState& state) {
  const ReportedBundle* bundle = SelectedBundle(state);
  if (bundle == nullptr) {
    ImGui::TextWrapped("Select a bundle to see its model.");
    return;
  }
  const PreviewScene* scene = state.scenePending ? nullptr : state.view.Scene();
  ImGui::Text("%s", bundle->folder.c_str());
  NoteItem("preview bundle", bundle->folder);
  if (scene != nullptr && !scene->meshes.empty()) {
    if (ImGui::Button("Frame", ImVec2(80, 0))) state.view.Frame();
    NoteItem("Frame");
  }
  DrawModelChoice(state, *bundle, scene);
  const float viewHeight = std::max(ImGui::GetContentRegionAvail().y - kTextHeight, 120.0f);
  if (scene == nullptr) {
    ImGui::TextColored(kQuietColour, "Reading the bundle...");
    ImGui::Dummy(ImVec2(0, viewHeight - ImGui::GetTextLineHeightWithSpacing()));
  } else if (!scene->refusal.empty()) {
    ImGui::PushTextWrapPos();
    ImGui::TextColored(kRefusalColour, "Cannot show %s: %s", scene->modelFile.c_str(),
                       scene->refusal.c_str());
    ImGui::PopTextWrapPos();
    NoteItem("preview refusal", scene->refusal);
    ImGui::Dummy(ImVec2(0, std::max(viewHeight - ImGui::GetItemRectSize().y, 0.0f)));
    state.drawnSinceScene = true;
  } else if (scene->meshes.empty() && !scene->images.empty()) {
    DrawPictures(state, *scene, viewHeight);
    state.drawnSinceScene = true;
  } else if (scene->meshes.empty()) {
    ImGui::TextColored(kQuietColour, "Neither a model nor a texture in this bundle.");
    ImGui::Dummy(ImVec2(0, viewHeight - ImGui::GetTextLineHeightWithSpacing()));
    state.drawnSinceScene = true;
  } else if (state.view.Draw(ImGui::GetContentRegionAvail().x, viewHeight)) {
    state.drawnSinceScene = true;
  }
  DrawBundleText(*bundle, scene);
}

}  // namespace

void DrawPreviewTab() {
  PreviewState& state = TheState();
  const int frame = ImGui::GetFrameCount();
  const bool busy = WorkerBusy();
  // Read again when the tab comes into view, when the output folder changes and when a run ends.
  if (state.lastDrawnFrame != frame - 1 || state.loadedOutput != OutputPathText() || (state.wasBusy && !busy))
    RequestReports(state);
  state.lastDrawnFrame = frame;
  state.wasBusy = busy;
  CollectResults(state);

  ImGui::BeginChild("preview list", ImVec2(kListWidth, 0), false);
  DrawBundleList(state);
  ImGui::EndChild();
  ImGui::SameLine();
  ImGui::BeginChild("preview model", ImVec2(0, 0), false, ImGuiWindowFlags_NoScrollWithMouse);
  DrawSelected(state);
  ImGui::EndChild();
}

void ShutdownPreviewTab() {
  if (State() == nullptr) return;
  State()->reportJob.Stop();
  State()->sceneJob.Stop();
  State()->view.Release();
  State().reset();
}

bool SelectPreviewBundle(const std::string& text) {
  PreviewState& state = TheState();
  if (state.reportsPending) return false;
  for (std::size_t r = 0; r < state.runs.size(); ++r) {
    for (std::size_t b = 0; b < state.runs[r].bundles.size(); ++b) {
      if (state.runs[r].bundles[b].folder.find(text) == std::string::npos) continue;
      if (state.selected.run != int(r) || state.selected.bundle != int(b))
        Select(state, Selection{int(r), int(b)});
      return true;
    }
  }
  return false;
}

bool PreviewSettled() {
  const PreviewState& state = TheState();
  return !state.reportsPending && !state.scenePending && state.drawnSinceScene;
}
