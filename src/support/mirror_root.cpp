#include "support/mirror_root.hpp"

#include <mutex>

#include "log/gui_log.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"
#include "support/contained_path.hpp"

namespace {

enum class MirrorState { Unknown, On, Off };

std::mutex& StateMutex() {
  static std::mutex mutex;
  return mutex;
}

MirrorState& State() {
  static MirrorState state = MirrorState::Unknown;
  return state;
}

// "D:\ymir work\" -> "D:\"; "\\server\share\x" -> "\\server\share\"; empty for a relative root.
std::string DriveOf(const std::string& root) {
  std::string path = root;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2) + "\\";
  if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
    const std::size_t server = path.find('\\', 2);
    if (server == std::string::npos) return std::string();
    const std::size_t share = path.find('\\', server + 1);
    return share == std::string::npos ? path + "\\" : path.substr(0, share + 1);
  }
  return std::string();
}

MirrorState Decide() {
  const std::string root = GetPathSettings().mirrorRoot;
  if (root.empty()) return MirrorState::Off;
  const std::string drive = DriveOf(root);
  if (drive.empty()) return MirrorState::On;
  if (FolderExists(drive)) return MirrorState::On;
  AddGuiLog("[WARN] Mirror drive " + drive + " not found: copies below " + root + " skipped for this run.",
            GuiLogWarning);
  return MirrorState::Off;
}

}  // namespace

void PrepareMirrorRoot() {
  std::lock_guard<std::mutex> lock(StateMutex());
  State() = Decide();
}

bool MirrorCopiesEnabled() {
  std::lock_guard<std::mutex> lock(StateMutex());
  if (State() == MirrorState::Unknown) State() = Decide();
  return State() == MirrorState::On;
}

std::string MirrorDestination(const std::string& relativePath) {
  if (!MirrorCopiesEnabled()) return std::string();
  return JoinUnderRoot(GetPathSettings().mirrorRoot, relativePath);
}
