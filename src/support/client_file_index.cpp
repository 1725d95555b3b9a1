#include "support/client_file_index.hpp"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <string_view>
#include <utility>

#include "platform/platform.hpp"
#include "support/client_paths.hpp"
#include "support/folder_walk.hpp"

namespace {

std::string NormaliseRoot(const std::string& clientRoot) {
  std::string root = clientRoot;
  std::replace(root.begin(), root.end(), '/', '\\');
  while (!root.empty() && root.back() == '\\') root.pop_back();
  return root;
}

std::size_t SeparatorCount(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return c == '\\' || c == '/'; }));
}

// Plain ASCII is its own listed form; only names with other bytes need converting.
std::string KeyAsListed(std::string key) {
  for (char c : key) {
    if (static_cast<unsigned char>(c) >= 0x80) return platform::NameAsListed(key);
  }
  return key;
}

using Entry = FileNameTables::Entry;

void AddLastFolder(FileNameTables& tables, const Entry& entry) {
  // "last folder/name" is the end of the key itself.
  const std::string_view key = entry.first;
  const std::size_t lastSeparator = key.find_last_of('\\', key.find('/'));
  const auto added = tables.byLastFolder.try_emplace(
      lastSeparator == std::string_view::npos ? key : key.substr(lastSeparator + 1), &entry);
  // Entries may come in any order; the first in key order is kept.
  if (!added.second && entry.first < added.first->second->first) added.first->second = &entry;
}

void AddName(FileNameTables& tables, const Entry& entry) {
  const std::string_view key = entry.first;
  FileNameTables::NameEntries& entries = tables.byName[key.substr(key.find('/') + 1)];
  if (entries.byKey.size() == 1) entries.separators.push_back(SeparatorCount(entries.byKey.front()->first));
  if (!entries.byKey.empty()) {
    entries.separators.push_back(SeparatorCount(entry.first));
    if (entry.first < entries.byKey.back()->first) entries.outOfKeyOrder = true;
  }
  entries.byKey.push_back(&entry);
}

// Once every entry is in: each name held more than once gets its entries in key order and by depth.
// Each thread of `threads` takes every threads-th name from `thread` on; they share no entries.
void OrderNames(FileNameTables& tables, std::size_t thread = 0, std::size_t threads = 1) {
  std::size_t counted = 0;
  std::vector<std::pair<std::size_t, const Entry*>> depths;
  for (auto& named : tables.byName) {
    if (counted++ % threads != thread) continue;
    FileNameTables::NameEntries& entries = named.second;
    // A name held once needs no second order: lookups read byKey then.
    if (entries.byKey.size() < 2) continue;
    depths.clear();
    for (std::size_t i = 0; i < entries.byKey.size(); ++i)
      depths.emplace_back(entries.separators[i], entries.byKey[i]);
    std::vector<std::size_t>().swap(entries.separators);
    const auto keyLess = [](const auto& a, const auto& b) { return a.second->first < b.second->first; };
    if (entries.outOfKeyOrder) {
      entries.outOfKeyOrder = false;
      std::sort(depths.begin(), depths.end(), keyLess);
      for (std::size_t i = 0; i < depths.size(); ++i) entries.byKey[i] = depths[i].second;
    }
    std::stable_sort(depths.begin(), depths.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    entries.byDepth.clear();
    entries.byDepth.reserve(depths.size());
    for (const auto& depth : depths) entries.byDepth.push_back(depth.second);
  }
}

// Runs `beside` on a thread of its own while `here` runs on this one; the first failure is thrown
// once both are done.
void RunBeside(const std::function<void()>& beside, const std::function<void()>& here) {
  std::exception_ptr besideFailure;
  std::thread thread([&beside, &besideFailure] {
    try {
      beside();
    } catch (...) {
      besideFailure = std::current_exception();
    }
  });
  try {
    here();
  } catch (...) {
    thread.join();
    throw;
  }
  thread.join();
  if (besideFailure) std::rethrow_exception(besideFailure);
}

// Tables smaller than this are made on one thread: a second one would cost more than it saves.
constexpr std::size_t kTwoThreadsFrom = 4096;
// Small enough that the catalogue is little behind when the walk ends.
constexpr std::size_t kBatchFiles = 1024;

// A file the walk met: its path (the root, a separator, the relative path) and its name's length.
struct ScannedFile {
  std::string path;
  std::size_t nameSize = 0;
};
using ScannedFiles = std::vector<ScannedFile>;

// Key -> path, with its name tables made as the entries come in.
struct Catalogue {
  std::map<std::string, std::string> entries;
  FileNameTables tables;
};

// Makes the catalogue and its name tables from the walk's files on a thread of its own, batch by
// batch in walk order, while the walk goes on: the index then costs little more than the walk.
class CatalogueMaker {
 public:
  explicit CatalogueMaker(std::size_t rootSize) : rootSize_(rootSize), thread_([this] { Run(); }) {}
  // After a failed walk: the thread ends, what it made is dropped.
  ~CatalogueMaker() {
    if (thread_.joinable()) Stop();
  }
  CatalogueMaker(const CatalogueMaker&) = delete;
  CatalogueMaker& operator=(const CatalogueMaker&) = delete;

  void Add(ScannedFiles batch) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      batches_.push_back(std::move(batch));
    }
    wake_.notify_one();
  }

  Catalogue Finish() {
    Stop();
    if (failure_) std::rethrow_exception(failure_);
    // The walk is over, so its thread helps with the last step.
    FileNameTables& tables = catalogue_.tables;
    if (tables.byName.size() < kTwoThreadsFrom) {
      OrderNames(tables);
    } else {
      RunBeside([&tables] { OrderNames(tables, 1, 2); }, [&tables] { OrderNames(tables, 0, 2); });
    }
    return std::move(catalogue_);
  }

 private:
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

  void Run() {
    try {
      for (;;) {
        ScannedFiles batch;
        {
          std::unique_lock<std::mutex> lock(mutex_);
          wake_.wait(lock, [this] { return done_ || !batches_.empty(); });
          if (batches_.empty()) break;
          batch = std::move(batches_.front());
          batches_.pop_front();
        }
        for (ScannedFile& file : batch) {
          // "folder\name" lower-cased, its last separator turned into "/". Keys and queries take
          // the same form, so names the data spells in the ANSI code page meet them. Of two files
          // sharing a key the one the walk met first wins.
          std::string key = ToLowerCopy(file.path.substr(rootSize_ + 1));
          const std::size_t cut = key.size() - file.nameSize;
          if (cut == 0) {
            key.insert(key.begin(), '/');
          } else {
            key[cut - 1] = '/';
          }
          // The walk meets keys mostly in key order: the place after the last one is the likely spot.
          std::map<std::string, std::string>& entries = catalogue_.entries;
          const std::size_t held = entries.size();
          const auto placed = entries.emplace_hint(next_, KeyAsListed(std::move(key)), std::move(file.path));
          next_ = std::next(placed);
          if (entries.size() == held) continue;
          AddName(catalogue_.tables, *placed);
          AddLastFolder(catalogue_.tables, *placed);
        }
      }
    } catch (...) {
      failure_ = std::current_exception();
    }
  }

  const std::size_t rootSize_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<ScannedFiles> batches_;
  bool done_ = false;
  Catalogue catalogue_;
  std::map<std::string, std::string>::iterator next_ = catalogue_.entries.end();
  std::exception_ptr failure_;
  std::thread thread_;  // last: it starts once the rest is in place
};

}  // namespace

void ClientFileIndex::Build(const std::string& clientRoot) {
  const std::string root = NormaliseRoot(clientRoot);
  // An empty root would list the current drive's root.
  if (root.empty()) return;
  CatalogueMaker maker(root.size());
  ScannedFiles batch;
  FolderWalkVisitor visitor;
  visitor.onFile = [&](std::string& path, std::string_view, const platform::DirEntry& entry) {
    batch.push_back({std::move(path), entry.name.size()});
    if (batch.size() == kBatchFiles) maker.Add(std::exchange(batch, ScannedFiles()));
  };
  const bool stopped = WalkFolder(root, visitor).stopped;
  maker.Add(std::move(batch));
  Catalogue scanned = maker.Finish();
  // A stopped build keeps nothing: a half index would answer "not found" for files that exist.
  if (stopped) return;

  std::unique_lock<std::shared_mutex> lock(mutex_);
  const std::string rootKey = ToLowerCopy(root);
  if (rootKey != rootKey_) {
    entries_.clear();
    rootKey_ = rootKey;
    root_ = root;
  }
  // The map's nodes move with it, so the tables' views and pointers stay good.
  if (entries_.empty()) {
    entries_ = std::move(scanned.entries);
    tables_ = std::move(scanned.tables);
    return;
  }
  // A key already held keeps its path.
  entries_.insert(std::make_move_iterator(scanned.entries.begin()),
                  std::make_move_iterator(scanned.entries.end()));
  RebuildSecondaryIndexes();
}

void ClientFileIndex::Clear() {
  std::unique_lock<std::shared_mutex> lock(mutex_);
  entries_.clear();
  rootKey_.clear();
  root_.clear();
  RebuildSecondaryIndexes();
}

void ClientFileIndex::RebuildSecondaryIndexes() {
  tables_ = FileNameTables();
  tables_.byName.reserve(entries_.size());
  tables_.byLastFolder.reserve(entries_.size());
  const auto lastFolders = [this] {
    for (const Entry& entry : entries_) AddLastFolder(tables_, entry);
  };
  const auto names = [this] {
    for (const Entry& entry : entries_) AddName(tables_, entry);
    OrderNames(tables_);
  };
  if (entries_.size() < kTwoThreadsFrom) {
    names();
    lastFolders();
    return;
  }
  // The two tables share nothing: for a large catalogue one is made beside the other.
  RunBeside(lastFolders, names);
}

std::string ClientFileIndex::FindByNameLocked(const std::string& lowerName) const {
  const auto named = tables_.byName.find(std::string_view(lowerName));
  if (named == tables_.byName.end()) return std::string();
  return named->second.byKey.front()->second;
}

std::string ClientFileIndex::FindByName(const std::string& fileName) const {
  const std::string name = ToLowerCopy(platform::NameAsListed(fileName));
  std::shared_lock<std::shared_mutex> lock(mutex_);
  return FindByNameLocked(name);
}

std::string ClientFileIndex::Resolve(const std::string& folderHint, const std::string& fileName) const {
  std::string hint = ToLowerCopy(platform::NameAsListed(folderHint));
  std::replace(hint.begin(), hint.end(), '/', '\\');
  const std::size_t first = hint.find_first_not_of('\\');
  hint = first == std::string::npos ? std::string()
                                    : hint.substr(first, hint.find_last_not_of('\\') - first + 1);
  const std::string name = ToLowerCopy(platform::NameAsListed(fileName));

  std::shared_lock<std::shared_mutex> lock(mutex_);
  const auto exact = entries_.find(hint + "/" + name);
  if (exact != entries_.end()) return exact->second;
  if (hint.empty()) return FindByNameLocked(name);

  // A last folder component never holds a separator, so a hint with one cannot match this rule.
  if (hint.find('\\') == std::string::npos) {
    const std::string wanted = hint + "/" + name;
    const auto lastFolder = tables_.byLastFolder.find(std::string_view(wanted));
    if (lastFolder != tables_.byLastFolder.end()) return lastFolder->second->second;
  }

  const auto named = tables_.byName.find(std::string_view(name));
  if (named == tables_.byName.end()) return std::string();
  const FileNameTables::NameEntries& entries = named->second;
  for (const Entry* entry : entries.byDepth.empty() ? entries.byKey : entries.byDepth) {
    const std::string_view folder(entry->first.data(), entry->first.find('/'));
    if (folder.size() >= hint.size() && folder.find(hint) != std::string_view::npos) return entry->second;
  }
  return entries.byKey.front()->second;
}

std::vector<std::string> ClientFileIndex::FindAllByName(const std::string& fileName) const {
  const std::string name = ToLowerCopy(platform::NameAsListed(fileName));
  std::shared_lock<std::shared_mutex> lock(mutex_);
  std::vector<std::string> paths;
  const auto named = tables_.byName.find(std::string_view(name));
  if (named == tables_.byName.end()) return paths;
  for (const Entry* entry : named->second.byKey) paths.push_back(entry->second);
  return paths;
}

std::vector<std::string> ClientFileIndex::FilesWithExtension(const std::string& extension) const {
  const std::string ending = ToLowerCopy(platform::NameAsListed(extension));
  std::shared_lock<std::shared_mutex> lock(mutex_);
  std::vector<std::string> paths;
  for (const Entry& entry : entries_) {
    const std::string& key = entry.first;
    if (key.size() > ending.size() && key.compare(key.size() - ending.size(), ending.size(), ending) == 0) {
      paths.push_back(entry.second);
    }
  }
  return paths;
}

std::size_t ClientFileIndex::Size() const {
  std::shared_lock<std::shared_mutex> lock(mutex_);
  return entries_.size();
}

std::string ClientFileIndex::Root() const {
  std::shared_lock<std::shared_mutex> lock(mutex_);
  return root_;
}

ClientFileIndex& GetClientFileIndex() {
  // Never destroyed: freeing a large client's catalogue at exit only made the process end later.
  static ClientFileIndex* index = new ClientFileIndex;
  return *index;
}

void BuildClientFileIndex(const std::string& clientRoot) { GetClientFileIndex().Build(clientRoot); }

BackgroundIndexBuild::BackgroundIndexBuild(const std::string& clientRoot)
    : thread_([this, clientRoot] {
        const OutputTurnScope held(&output_);
        try {
          BuildClientFileIndex(clientRoot);
        } catch (...) {
          failure_ = std::current_exception();
        }
      }) {}

BackgroundIndexBuild::~BackgroundIndexBuild() {
  if (thread_.joinable()) thread_.join();
}

void BackgroundIndexBuild::Finish() {
  if (thread_.joinable()) thread_.join();
  output_.Release();
  // Thrown where the build would have thrown, to the task's own handler.
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

std::string Resolve(const std::string& folderHint, const std::string& fileName) {
  return GetClientFileIndex().Resolve(folderHint, fileName);
}

std::string FindByName(const std::string& fileName) { return GetClientFileIndex().FindByName(fileName); }
