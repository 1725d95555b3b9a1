#include "support/export_journal.hpp"

#include <algorithm>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>

namespace {

struct JournalState {
  std::mutex mutex;
  bool active = false;
  ExportJournal journal;
  std::map<std::string, JournalBundle> bundles;  // by folder
  // The bundle each thread is exporting; no entry outside a bundle. Not a thread_local string:
  // the Windows runtime's clean-up of those at thread exit can free twice and crash the process.
  std::map<std::thread::id, std::string> currentBundles;
};

JournalState& State() {
  static JournalState state;
  return state;
}

// The bundle that the calling thread is exporting; empty outside a bundle. Under the state's lock.
const std::string& CurrentFolder(const JournalState& state) {
  static const std::string none;
  const auto current = state.currentBundles.find(std::this_thread::get_id());
  return current == state.currentBundles.end() ? none : current->second;
}

void SetCurrentFolder(JournalState& state, const std::string& folder) {
  if (folder.empty()) {
    state.currentBundles.erase(std::this_thread::get_id());
  } else {
    state.currentBundles[std::this_thread::get_id()] = folder;
  }
}

bool IsBelow(const std::string& path, const std::string& folder) {
  return !folder.empty() && path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         (path[folder.size()] == '\\' || folder.back() == '\\');
}

// The bundle holding `destination`, or the current one for a file outside the task folder.
JournalBundle* BundleFor(JournalState& state, const std::string& destination, bool& mirror) {
  mirror = false;
  auto current = state.bundles.find(CurrentFolder(state));
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

// Threads record in any order; the report must not depend on it. A file written twice counts once,
// as what it became last.
void SortFiles(std::vector<JournalFile>& files) {
  std::stable_sort(files.begin(), files.end(),
                   [](const JournalFile& a, const JournalFile& b) { return a.destination < b.destination; });
  std::vector<JournalFile> unique;
  for (JournalFile& file : files) {
    if (!unique.empty() && unique.back().destination == file.destination) {
      unique.back() = std::move(file);
    } else {
      unique.push_back(std::move(file));
    }
  }
  files = std::move(unique);
}

template <typename T, typename Key>
void SortUnique(std::vector<T>& items, Key key) {
  std::sort(items.begin(), items.end(), [&key](const T& a, const T& b) { return key(a) < key(b); });
  items.erase(
      std::unique(items.begin(), items.end(), [&key](const T& a, const T& b) { return key(a) == key(b); }),
      items.end());
}

JournalBundle* CurrentBundle(JournalState& state) {
  auto current = state.bundles.find(CurrentFolder(state));
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

bool PlanOnly() {
  JournalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.active && state.journal.plan;
}

JournalBundleScope::JournalBundleScope(const std::string& folder, const std::string& originFile,
                                       int originLine) {
  JournalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  previous_ = CurrentFolder(state);
  if (!state.active) return;
  SetCurrentFolder(state, folder);
  // No folder, no bundle: what is recorded meanwhile belongs to no bundle.
  if (folder.empty()) return;
  JournalBundle& bundle = state.bundles[folder];
  if (bundle.folder.empty()) {
    bundle.folder = folder;
    bundle.originFile = originFile;
    bundle.originLine = originLine;
  }
}

JournalBundleScope::~JournalBundleScope() {
  JournalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  SetCurrentFolder(state, previous_);
}

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
  if (!state.active) return;
  if (JournalBundle* bundle = CurrentBundle(state)) {
    bundle->refused.push_back(path);
  } else {
    // Refused before it had a folder: the entry itself is what was left out.
    state.journal.leftOut.push_back({path, "refused", "", ""});
  }
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

std::vector<std::string> JournalWrittenFiles() {
  JournalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  std::vector<std::string> files;
  for (const auto& bundle : state.bundles) {
    for (const JournalFile& file : bundle.second.files) files.push_back(file.destination);
  }
  for (const JournalFile& file : state.journal.otherFiles) files.push_back(file.destination);
  return files;
}

ExportJournal TakeJournal() {
  JournalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  ExportJournal journal = std::move(state.journal);
  for (auto& entry : state.bundles) {
    JournalBundle& bundle = entry.second;
    // A scope opened for an entry that then wrote nothing is no bundle; its entry is left out.
    if (bundle.files.empty() && bundle.mirrorCopies.empty()) continue;
    SortFiles(bundle.files);
    SortFiles(bundle.mirrorCopies);
    SortUnique(bundle.missing, [](const JournalReference& r) { return std::tie(r.reference, r.namedBy); });
    SortUnique(bundle.refused, [](const std::string& path) { return path; });
    journal.bundles.push_back(std::move(bundle));
  }
  SortFiles(journal.otherFiles);
  SortUnique(journal.leftOut,
             [](const JournalLeftOut& e) { return std::tie(e.entry, e.reason, e.rule, e.key); });
  state.bundles.clear();
  state.journal = ExportJournal{};
  state.active = false;
  return journal;
}
