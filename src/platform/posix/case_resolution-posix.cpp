// Windows does not care how a path is spelled and the game data relies on it; this finds the name
// the file system actually holds when the spelling given does not exist.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/path_rules.hpp"
#include "platform/posix/posix_support.hpp"

namespace platform {
namespace posix {
namespace {

struct FolderState {
  dev_t device = 0;
  ino_t inode = 0;
  struct timespec modified {};
};

FolderState StateOf(const struct stat& st) { return FolderState{st.st_dev, st.st_ino, st.st_mtim}; }

bool SameFolder(const FolderState& a, const FolderState& b) {
  return a.device == b.device && a.inode == b.inode;
}

bool SameState(const FolderState& a, const FolderState& b) {
  return SameFolder(a, b) && a.modified.tv_sec == b.modified.tv_sec &&
         a.modified.tv_nsec == b.modified.tv_nsec;
}

bool ModifiedBefore(const FolderState& a, const FolderState& b) {
  return a.modified.tv_sec != b.modified.tv_sec ? a.modified.tv_sec < b.modified.tv_sec
                                                : a.modified.tv_nsec < b.modified.tv_nsec;
}

// A folder changed within the last seconds may change again within the same timestamp tick, so
// a listing of it could look current while it is not: such a listing is used, but read once more
// when the folder has settled.
bool Settled(const struct stat& st) { return st.st_mtim.tv_sec + 2 < std::time(nullptr); }

std::string Fold(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) c = FoldToUpper(c);
  return folded;
}

class Listing {
 public:
  void Add(const std::string& name) {
    auto [first, inserted] = firstByFold_.emplace(Fold(name), name);
    if (inserted || first->second == name) return;
    if (name < first->second) {
      others_.insert(first->second);
      first->second = name;
    } else {
      others_.insert(name);
    }
  }

  void Remove(const std::string& name) {
    const std::string folded = Fold(name);
    auto first = firstByFold_.find(folded);
    if (first == firstByFold_.end()) return;
    if (first->second != name) {
      others_.erase(name);
      return;
    }
    // Names differing only in case are rare: a scan of them is cheap.
    auto next = others_.end();
    for (auto other = others_.begin(); other != others_.end(); ++other) {
      if (Fold(*other) == folded && (next == others_.end() || *other < *next)) next = other;
    }
    if (next == others_.end()) {
      firstByFold_.erase(first);
    } else {
      first->second = *next;
      others_.erase(next);
    }
  }

  std::optional<std::string> Find(const std::string& name) const {
    const auto first = firstByFold_.find(Fold(name));
    if (first == firstByFold_.end()) return std::nullopt;
    return first->second;
  }

  FolderState state;
  std::uint64_t generation = 0;
  // Read when the folder had settled, and not changed by the layer since.
  bool confirmed = false;

 private:
  // Folded name -> the first spelling in byte order with that folded form.
  std::unordered_map<std::string, std::string> firstByFold_;
  // The other spellings of folded names that have several.
  std::unordered_set<std::string> others_;
};

std::atomic<std::uint64_t> g_namesRead{0};

std::optional<Listing> ReadListing(const std::string& folder, const struct stat& st) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return std::nullopt;
  Listing listing;
  std::uint64_t count = 0;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") listing.Add(name);
    ++count;
  }
  closedir(dir);
  g_namesRead.fetch_add(count, std::memory_order_relaxed);
  listing.state = StateOf(st);
  listing.confirmed = Settled(st);
  return listing;
}

class ListingCache {
 public:
  // `known` is the folder's stat when the caller has just taken it.
  std::optional<std::string> FindMatch(const std::string& folder, const std::string& name,
                                       const struct stat* known = nullptr) {
    struct stat st {};
    if (known != nullptr) {
      st = *known;
    } else if (stat(folder.c_str(), &st) != 0) {
      return std::nullopt;
    }
    if (!S_ISDIR(st.st_mode)) return std::nullopt;
    const FolderState now = StateOf(st);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto cached = listings_.find(folder);
      if (cached != listings_.end() && SameState(cached->second.state, now) &&
          (cached->second.confirmed || !Settled(st))) {
        return cached->second.Find(name);
      }
    }
    std::optional<Listing> listing = ReadListing(folder, st);
    if (!listing) return std::nullopt;
    std::optional<std::string> match = listing->Find(name);
    std::lock_guard<std::mutex> lock(mutex_);
    // A whole client's folders fit easily; the bound only stops unbounded growth.
    if (listings_.size() >= kMaxFolders) listings_.clear();
    listing->generation = ++lastGeneration_;
    listings_[folder] = std::move(*listing);
    return match;
  }

  // The generation of the folder's listing, 0 when none is held.
  std::uint64_t Generation(const std::string& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto cached = listings_.find(folder);
    return cached == listings_.end() ? 0 : cached->second.generation;
  }

  void Note(const std::string& folder, const std::string& name, bool exists, std::uint64_t generationBefore,
            const std::optional<FolderState>& before) {
    if (Generation(folder) == 0) return;
    struct stat st {};
    const bool folderFound = stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    std::lock_guard<std::mutex> lock(mutex_);
    const auto cached = listings_.find(folder);
    if (cached == listings_.end()) return;
    Listing& listing = cached->second;
    // Unchanged by the layer since the change began, yet the folder had moved on: someone else
    // changed it, and only a new listing shows how.
    const bool staleBefore =
        listing.generation == generationBefore && (!before || !SameState(listing.state, *before));
    if (staleBefore || !folderFound || !SameFolder(listing.state, StateOf(st))) {
      listings_.erase(cached);
      return;
    }
    if (exists) {
      listing.Add(name);
    } else {
      listing.Remove(name);
    }
    // Notes of changes made by several threads may come in any order: the latest time stays.
    if (!ModifiedBefore(StateOf(st), listing.state)) listing.state = StateOf(st);
    listing.generation = ++lastGeneration_;
    listing.confirmed = false;
  }

  void ForgetTree(const std::string& folder) {
    const std::string prefix = folder == "/" ? folder : folder + "/";
    std::lock_guard<std::mutex> lock(mutex_);
    listings_.erase(folder);
    auto it = listings_.lower_bound(prefix);
    while (it != listings_.end() && it->first.compare(0, prefix.size(), prefix) == 0)
      it = listings_.erase(it);
  }

 private:
  static constexpr std::size_t kMaxFolders = 65536;
  std::mutex mutex_;
  // Ordered, so the folders below one are a single range.
  std::map<std::string, Listing> listings_;
  std::uint64_t lastGeneration_ = 0;
};

ListingCache& Cache() {
  static ListingCache cache;
  return cache;
}

std::string WorkingFolder() {
  std::vector<char> buffer(512);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() > (1u << 20)) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

std::string ParentOf(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::string();
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The name in `folder` that `name` (missing as spelled) stands for: one spelled the same ignoring
// case; then, for data bytes that are not UTF-8, one spelled as a listing would give them.
std::optional<std::string> MatchInFolder(const std::string& folder, const std::string& name,
                                         const struct stat* folderStat = nullptr) {
  if (auto match = Cache().FindMatch(folder, name, folderStat)) return match;
  const std::string listed = NameAsListed(name);
  if (listed == name) return std::nullopt;
  struct stat st {};
  if (lstat(((folder == "/" ? "" : folder) + "/" + listed).c_str(), &st) == 0) return listed;
  return Cache().FindMatch(folder, listed);
}

}  // namespace

std::optional<std::string> SpelledNative(const std::string& internalPath) {
  std::optional<std::string> native = ToNativePath(internalPath);
  if (!native) {
    errno = ENOENT;
    return std::nullopt;
  }
  if (!native->empty() && (*native)[0] != '/') *native = WorkingFolder() + "/" + *native;
  return native;
}

std::optional<std::string> ResolveNative(const std::string& internalPath) {
  std::optional<std::string> native = SpelledNative(internalPath);
  if (!native || native->empty()) return native;

  struct stat st {};
  if (lstat(native->c_str(), &st) == 0) return native;
  if (errno != ENOENT && errno != ENOTDIR) return native;

  // The common miss is a new file in a folder spelled right: only its last name needs a look.
  const std::size_t lastSlash = native->rfind('/');
  if (errno == ENOENT && lastSlash != std::string::npos && lastSlash > 0 && lastSlash + 1 < native->size()) {
    const std::string parent = native->substr(0, lastSlash);
    const std::string name = native->substr(lastSlash + 1);
    if (name != "." && name != ".." && stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      const auto match = MatchInFolder(parent, name, &st);
      return match ? parent + "/" + *match : *native;
    }
  }

  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= native->size()) {
    std::size_t slash = native->find('/', start);
    if (slash == std::string::npos) slash = native->size();
    if (slash > start) parts.push_back(native->substr(start, slash - start));
    start = slash + 1;
  }

  // Up from the end to the longest part that exists as spelled (nearly always a near parent):
  // every component above it exists as spelled too, so only the rest needs a look.
  std::vector<std::string> prefixes(parts.size() + 1);
  for (std::size_t i = 0; i < parts.size(); ++i) prefixes[i + 1] = prefixes[i] + "/" + parts[i];
  // The whole path is already known to be missing.
  std::size_t first = parts.empty() ? 0 : parts.size() - 1;
  while (first > 0 && lstat(prefixes[first].c_str(), &st) != 0) --first;

  std::string resolved = prefixes[first];
  for (std::size_t i = first; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    const std::string candidate = resolved + "/" + part;
    if (part == "." || part == ".." || lstat(candidate.c_str(), &st) == 0) {
      resolved = candidate;
      continue;
    }
    if (errno == ENOENT) {
      if (auto match = MatchInFolder(resolved.empty() ? "/" : resolved, part)) {
        resolved += "/" + *match;
        continue;
      }
    }
    // Nothing exists below this point: the rest keeps its spelling.
    for (std::size_t j = i; j < parts.size(); ++j) resolved += "/" + parts[j];
    break;
  }
  if (resolved.empty()) resolved = "/";
  if (native->back() == '/' && resolved.back() != '/') resolved.push_back('/');
  return resolved;
}

ListingChange::ListingChange(const std::string& nativePath) : folder_(ParentOf(nativePath)) {
  std::string path = nativePath;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  name_ = path.substr(path.rfind('/') + 1);
  if (folder_.empty()) return;
  generation_ = Cache().Generation(folder_);
  // Nothing to keep in step when no listing is held: no look at the folder either.
  if (generation_ != 0) folderKnown_ = stat(folder_.c_str(), &folderBefore_) == 0;
}

void ListingChange::Apply(bool exists) const {
  if (folder_.empty()) return;
  Cache().Note(folder_, name_, exists, generation_,
               folderKnown_ ? std::optional<FolderState>(StateOf(folderBefore_)) : std::nullopt);
}

void ForgetListingsUnder(const std::string& nativeFolder) {
  std::string folder = nativeFolder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  Cache().ForgetTree(folder);
}

}  // namespace posix

std::uint64_t CaseLookupNamesRead() { return posix::g_namesRead.load(std::memory_order_relaxed); }

}  // namespace platform
