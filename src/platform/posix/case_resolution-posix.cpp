// Windows does not care how a path is spelled and the game data relies on it; this finds the name
// the file system actually holds when the spelling given does not exist.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/path_rules.hpp"
#include "platform/posix/posix_support.hpp"

namespace platform {
namespace posix {
namespace {

struct Listing {
  // Folded name -> the first spelling in byte order with that folded form.
  std::unordered_map<std::string, std::string> byFoldedName;
  struct timespec modified {};
  dev_t device = 0;
  ino_t inode = 0;
};

std::string Fold(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) c = FoldToUpper(c);
  return folded;
}

bool SameFolderState(const Listing& listing, const struct stat& st) {
  return listing.device == st.st_dev && listing.inode == st.st_ino &&
         listing.modified.tv_sec == st.st_mtim.tv_sec && listing.modified.tv_nsec == st.st_mtim.tv_nsec;
}

// A folder changed within the last seconds may change again within the same timestamp tick,
// and a listing of it could then look current while it is not. Only settled folders are kept.
bool Settled(const struct stat& st) { return st.st_mtim.tv_sec + 2 < std::time(nullptr); }

std::shared_ptr<const Listing> ReadListing(const std::string& folder, const struct stat& st) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return nullptr;
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  auto listing = std::make_shared<Listing>();
  listing->byFoldedName.reserve(names.size());
  for (const std::string& name : names) listing->byFoldedName.emplace(Fold(name), name);
  listing->modified = st.st_mtim;
  listing->device = st.st_dev;
  listing->inode = st.st_ino;
  return listing;
}

class ListingCache {
 public:
  std::optional<std::string> FindMatch(const std::string& folder, const std::string& name) {
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    std::shared_ptr<const Listing> listing;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = listings_.find(folder);
      if (it != listings_.end() && SameFolderState(*it->second, st)) listing = it->second;
    }
    if (!listing) {
      listing = ReadListing(folder, st);
      if (!listing) return std::nullopt;
      if (Settled(st)) {
        std::lock_guard<std::mutex> lock(mutex_);
        // A whole client's folders fit easily; the bound only stops unbounded growth.
        if (listings_.size() >= kMaxFolders) listings_.clear();
        listings_[folder] = listing;
      }
    }
    auto match = listing->byFoldedName.find(Fold(name));
    if (match == listing->byFoldedName.end()) return std::nullopt;
    return match->second;
  }

  void Forget(const std::string& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    listings_.erase(folder);
  }

  void ForgetTree(const std::string& folder) {
    const std::string prefix = folder == "/" ? folder : folder + "/";
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = listings_.begin(); it != listings_.end();) {
      if (it->first == folder || it->first.compare(0, prefix.size(), prefix) == 0) {
        it = listings_.erase(it);
      } else {
        ++it;
      }
    }
  }

 private:
  static constexpr std::size_t kMaxFolders = 65536;
  std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<const Listing>> listings_;
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

}  // namespace

std::optional<std::string> ResolveNative(const std::string& internalPath) {
  std::optional<std::string> native = ToNativePath(internalPath);
  if (!native) {
    errno = ENOENT;
    return std::nullopt;
  }
  if (native->empty()) return native;
  if ((*native)[0] != '/') *native = WorkingFolder() + "/" + *native;

  struct stat st {};
  if (lstat(native->c_str(), &st) == 0) return native;
  if (errno != ENOENT && errno != ENOTDIR) return native;

  // The common miss is a new file in a folder spelled right: only its last name needs a look.
  const std::size_t lastSlash = native->rfind('/');
  if (errno == ENOENT && lastSlash != std::string::npos && lastSlash > 0 && lastSlash + 1 < native->size()) {
    const std::string parent = native->substr(0, lastSlash);
    const std::string name = native->substr(lastSlash + 1);
    if (name != "." && name != ".." && stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      const auto match = Cache().FindMatch(parent, name);
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

  std::string resolved;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    const std::string candidate = resolved + "/" + part;
    if (part == "." || part == ".." || lstat(candidate.c_str(), &st) == 0) {
      resolved = candidate;
      continue;
    }
    if (errno == ENOENT) {
      if (auto match = Cache().FindMatch(resolved.empty() ? "/" : resolved, part)) {
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

void ForgetParentListing(const std::string& nativePath) {
  const std::string parent = ParentOf(nativePath);
  if (!parent.empty()) Cache().Forget(parent);
}

void ForgetListingsUnder(const std::string& nativeFolder) {
  std::string folder = nativeFolder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  Cache().ForgetTree(folder);
}

}  // namespace posix
}  // namespace platform
