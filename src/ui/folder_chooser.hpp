// Choosing a folder: the desktop's own chooser where there is one, else a modal browser drawn with
// ImGui. Folders come and go as native paths in UTF-8.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The shell's folder dialog on Windows; elsewhere zenity or kdialog (kdialog first on KDE), started
// with an argument list, never through a shell. Blocks the frame loop while it is open. The chosen
// folder, or empty text when the user cancelled; nullopt when no desktop chooser is there.
std::optional<std::string> PickFolder(const std::string& startFolder);

// The modal browser: one list of the subfolders of the current folder.
class FolderBrowser {
 public:
  void Open(const std::string& startFolder);
  // Draws the modal while it is open; true on the frame the user chose, with the folder in `chosen`.
  bool Draw(std::string& chosen);

 private:
  void Enter(const std::string& folder);

  bool openRequested_ = false;
  std::string current_;  // native
  std::string selected_;
  std::vector<std::string> subfolders_;
};
