#include "ui/folder_chooser.hpp"

#include <imgui.h>

#include "platform/desktop.hpp"
#include "platform/platform.hpp"
#include "ui/script_items.hpp"

namespace {

constexpr char kBrowserPopup[] = "Select folder";

std::optional<std::string> RunChooser(const std::string& program, const std::vector<std::string>& arguments) {
  const platform::ProgramOutput run = platform::RunProgramForOutput(program, arguments);
  if (!run.started) return std::nullopt;
  if (run.exitCode != 0) return std::string();
  std::string folder = run.output;
  while (!folder.empty() && (folder.back() == '\n' || folder.back() == '\r')) folder.pop_back();
  return folder;
}

std::string Native(const std::string& internal) {
  return platform::ToNativePath(internal).value_or(internal);
}

std::string Internal(const std::string& native) {
  return platform::AbsoluteInternalPath(platform::ToInternalPath(native));
}

// The folder above, or the folder itself at the top.
std::string Parent(const std::string& internal) {
  std::string folder = internal;
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  const std::size_t slash = folder.rfind('\\');
  if (slash == std::string::npos || folder.size() <= 3) return folder;
  return folder.substr(0, slash < 3 ? 3 : slash);
}

std::string Child(const std::string& internal, const std::string& name) {
  return (internal.empty() || internal.back() == '\\' ? internal : internal + "\\") + name;
}

}  // namespace

std::optional<std::string> PickFolder(const std::string& startFolder) {
  const std::string start = startFolder.empty() ? Native(platform::CurrentFolder()) : startFolder;
  if (std::optional<std::string> chosen = platform::ShowSystemFolderDialog(start)) return chosen;
  const std::string desktop = platform::GetEnvironmentVariable("XDG_CURRENT_DESKTOP").value_or("");
  const bool kdeFirst = desktop.find("KDE") != std::string::npos;
  for (int attempt = 0; attempt < 2; ++attempt) {
    const bool kdialog = (attempt == 0) == kdeFirst;
    const std::optional<std::string> chosen =
        kdialog ? RunChooser("kdialog", {"--getexistingdirectory", start, "--title", "Select folder"})
                : RunChooser("zenity", {"--file-selection", "--directory", "--title=Select folder",
                                        "--filename=" + start + "/"});
    if (chosen) return chosen;
  }
  return std::nullopt;
}

void FolderBrowser::Open(const std::string& startFolder) {
  Enter(startFolder.empty() || !platform::RealPath(Internal(startFolder)) ? Native(platform::CurrentFolder())
                                                                          : startFolder);
  openRequested_ = true;
}

void FolderBrowser::Enter(const std::string& folder) {
  const std::string internal = Internal(folder);
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(internal, entries)) return;
  current_ = Native(internal);
  selected_.clear();
  subfolders_.clear();
  for (const platform::DirEntry& entry : entries) {
    if (entry.isDirectory) subfolders_.push_back(entry.name);
  }
}

bool FolderBrowser::Draw(std::string& chosen) {
  if (openRequested_) {
    ImGui::OpenPopup(kBrowserPopup);
    openRequested_ = false;
  }
  const ImGuiViewport* viewport = ImGui::GetMainViewport();
  ImGui::SetNextWindowPos(viewport->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
  if (!ImGui::BeginPopupModal(kBrowserPopup, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return false;
  bool done = false;
  ImGui::TextUnformatted(current_.c_str());
  NoteItem("browser folder", current_);
  if (ImGui::Button("Up", ImVec2(80, 0))) Enter(Native(Parent(Internal(current_))));
  NoteItem("browser Up");
  ImGui::Separator();
  ImGui::BeginChild("Folders", ImVec2(560, 300), true);
  std::string enter;
  for (std::size_t i = 0; i < subfolders_.size(); ++i) {
    ImGui::PushID(static_cast<int>(i));
    const std::string& name = subfolders_[i];
    if (ImGui::Selectable(name.c_str(), name == selected_, ImGuiSelectableFlags_AllowDoubleClick)) {
      selected_ = name;
      if (ImGui::IsMouseDoubleClicked(0)) enter = name;
    }
    NoteItem("folder " + name);
    ImGui::PopID();
  }
  ImGui::EndChild();
  if (!enter.empty()) Enter(Native(Child(Internal(current_), enter)));
  ImGui::Separator();
  if (ImGui::Button("Select", ImVec2(120, 0))) {
    chosen = selected_.empty() ? current_ : Native(Child(Internal(current_), selected_));
    done = true;
    ImGui::CloseCurrentPopup();
  }
  NoteItem("browser Select");
  ImGui::SameLine();
  if (ImGui::Button("Cancel", ImVec2(120, 0))) ImGui::CloseCurrentPopup();
  NoteItem("browser Cancel");
  ImGui::EndPopup();
  return done;
}
