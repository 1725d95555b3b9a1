#include "support/export_journal.hpp"

#include <map>
#include <mutex>

namespace {

struct JournalState {
  std::mutex mutex;
  bool active = false;
  ExportJournal journal;
  std::map<std::string, JournalBundle> bundles;  // by folder
};

JournalState& State() {
  static JournalState state;
  return state;
}

// The bundle that the calling thread is exporting; empty outside a bundle.
thread_local std::string currentBundle;

bool IsBelow(const std::string& path, const std::string& folder) {
  return !folder.empty() && path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         (path[folder.size()] == '\\' || folder.back() == '\\');
}

// The bundle holding `destination`, or the current one for a file outside the task folder.
JournalBundle* BundleFor(JournalState& state, const std::string& destination, bool& mirror) {
  mirror = false;
  auto current = state.bundles.find(currentBundle);
  if (current != state.bundles.end() && IsBelow(destination, current->first)) return &current->second;
  if (!IsBelow(destination, state.journal.taskFolder)) {
    mirror = true;
    return current == state.bundles.end() ? nullptr : &current->second;
  }
  for (auto it = state.bundles.upper_bound(destination); it != state.bundles.begin();) {
    --it;
    if (IsBelow(destination, it->first)) return &it->second;
  }
  return nullptr;
}

JournalBundle* CurrentBundle(JournalState& state) {
  auto current = state.bundles.find(currentBundle);
  return current == state.bundles.end() ? nullptr : &current->second;
}

}  // namespace

void StartJournal(const std::string& task, const std::string& taskFolder, bool plan) {
  JournalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.journal = ExportJournal{};
  state.journal.task = task;
  state.journal.taskFolder = taskFolder;
  state.journal.plan = plan;
  state.bundles.clear();
  state.active = true;
}

bool JournalActive() {
  JournalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.active;
}

JournalBundleScope::JournalBundleScope(const std::string& folder, const std::string& originFile,
                                       int originLine)
    : previous_(currentBundle) {
  JournalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (!state.active) return;
  JournalBundle& bundle = state.bundles[folder];
  if (bundle.folder.empty()) {
    bundle.folder = folder;
    bundle.originFile = originFile;
    bundle.originLine = originLine;
  }
  currentBundle = folder;
}

JournalBundleScope::~JournalBundleScope() { currentBundle = previous_; }

void RecordFileWritten(const std::string& destination, const std::string& source, std::uint64_t bytes) {
  JournalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (!state.active) return;
  bool mirror = false;
  JournalBundle* bundle = BundleFor(state, destination, mirror);
  const JournalFile file{destination, source, bytes};
  if (bundle == nullptr) {
    state.journal.otherFiles.push_back(file);
  } else {
    (mirror ? bundle->mirrorCopies : bundle->files).push_back(file);
  }
}

void RecordMissingReference(const std::string& reference, const std::string& namedBy) {
  JournalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (JournalBundle* bundle = state.active ? CurrentBundle(state) : nullptr) {
    bundle->missing.push_back({reference, namedBy});
  }
}

void RecordRefusedPath(const std::string& path) {
  JournalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (JournalBundle* bundle = state.active ? CurrentBundle(state) : nullptr) bundle->refused.push_back(path);
}

void RecordLeftOut(const JournalLeftOut& entry) {
  JournalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.active) state.journal.leftOut.push_back(entry);
}

void RecordSelection(const std::string& answer) {
  JournalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.active) state.journal.selections.push_back(answer);
}

ExportJournal TakeJournal() {
  JournalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  ExportJournal journal = std::move(state.journal);
  for (auto& bundle : state.bundles) journal.bundles.push_back(std::move(bundle.second));
  state.bundles.clear();
  state.journal = ExportJournal{};
  state.active = false;
  return journal;
}
