#include "ui/selection_popup.hpp"

#include <imgui.h>

#include <mutex>

#include "pipeline/pipeline_state.hpp"
#include "ui/script_items.hpp"

void DrawSelectionPopup() {
  SelectionRequest& request = GetSelectionRequest();
  if (request.popupOpen.load() && request.awaitingAnswer.load()) ImGui::OpenPopup("FILECONFLICTPOPUP");
  const ImGuiViewport* viewport = ImGui::GetMainViewport();
  ImGui::SetNextWindowPos(viewport->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
  if (!ImGui::BeginPopupModal("FILECONFLICTPOPUP", nullptr,
                              ImGuiWindowFlags_NoMove | ImGuiWindowFlags_AlwaysAutoResize)) {
    return;
  }
  enum class Answer { None, Confirm, Cancel } answer = Answer::None;
  {
    // The worker may end the question itself (STOP, shutdown); ticks are written under the same lock.
    std::lock_guard<std::mutex> lock(request.answerMutex);
    if (!request.awaitingAnswer.load()) {
      ImGui::CloseCurrentPopup();
      ImGui::EndPopup();
      return;
    }
    ImGui::TextUnformatted(request.title.c_str());
    NoteItem("selection title", request.title);
    ImGui::Separator();
    ImGui::BeginChild("FileList", ImVec2(600, 300), true);
    for (std::size_t i = 0; i < request.candidates.size(); ++i) {
      ImGui::PushID(static_cast<int>(i));
      bool ticked = request.ticked[i];
      if (ImGui::Checkbox(request.candidates[i].c_str(), &ticked)) request.ticked[i] = ticked;
      NoteItem("tick " + std::to_string(i), request.candidates[i]);
      ImGui::PopID();
    }
    ImGui::EndChild();
    ImGui::Separator();
    if (ImGui::Button("CONFIRM SELECTION", ImVec2(150, 0))) answer = Answer::Confirm;
    NoteItem("CONFIRM SELECTION");
    ImGui::SameLine();
    if (ImGui::Button("CANCEL/SKIP", ImVec2(150, 0))) answer = Answer::Cancel;
    NoteItem("CANCEL/SKIP");
  }
  if (answer == Answer::Confirm) ConfirmSelection();
  if (answer == Answer::Cancel) CancelSelection();
  if (answer != Answer::None) ImGui::CloseCurrentPopup();
  ImGui::EndPopup();
}
