#include "support/folder_walk.hpp"

#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "log/debug_log.hpp"
#include "support/link_guard.hpp"
#include "support/stop_check.hpp"

namespace {

struct OpenFolder {
  std::string path;
  std::vector<platform::DirEntry> listing;
  std::size_t next = 0;
};

struct IdentityOrder {
  bool operator()(const platform::FileIdentity& a, const platform::FileIdentity& b) const {
    return a.volume != b.volume ? a.volume < b.volume : a.index < b.index;
  }
};

}  // namespace

FolderWalkResult WalkFolder(const std::string& root, const FolderWalkVisitor& visitor,
                            const std::string& boundary) {
  return WalkFolder(root, visitor, boundary, RefusedLinkReport());
}

FolderWalkResult WalkFolder(const std::string& root, const FolderWalkVisitor& visitor,
                            const std::string& boundary, const RefusedLinkReport& onRefused) {
  FolderWalkResult result;
  // An empty root would list the current drive's root.
  if (root.empty()) return result;
  if (StopRequested()) {
    result.stopped = true;
    return result;
  }
  const std::optional<std::string> realBoundary = platform::RealPath(boundary.empty() ? root : boundary);
  const std::optional<platform::FileIdentity> rootIdentity = platform::GetFileIdentity(root);
  std::vector<OpenFolder> stack(1);
  stack.back().path = root;
  if (!realBoundary || !rootIdentity || !platform::ListDirectory(root, stack.back().listing)) {
    result.listedAll = false;
    return result;
  }
  std::set<platform::FileIdentity, IdentityOrder> entered{*rootIdentity};
  // Below a root outside the boundary every folder is looked up in full.
  bool rootInside = boundary.empty();
  if (!rootInside) {
    const std::optional<std::string> realRoot = platform::RealPath(root);
    rootInside = realRoot && RealPathWithin(*realRoot, *realBoundary);
  }

  while (!stack.empty()) {
    OpenFolder& folder = stack.back();
    if (folder.next == folder.listing.size()) {
      stack.pop_back();
      continue;
    }
    if (StopRequested()) {
      result.stopped = true;
      return result;
    }
    const platform::DirEntry& entry = folder.listing[folder.next++];
    // A POSIX name holding a backslash cannot be reached through an internal path.
    if (entry.name.empty() || entry.name.find_first_of("\\/") != std::string::npos) continue;
    if (!entry.isDirectory && !entry.isRegularFile) continue;
    std::string path;  // a visitor may keep it
    path.reserve(folder.path.size() + 1 + entry.name.size());
    path.append(folder.path).append(1, '\\').append(entry.name);
    // Below the root every path goes on as root + "\" + relative.
    const std::string_view relative = std::string_view(path).substr(root.size() + 1);
    // Folders are looked at again even when not listed as links: one may have been swapped for a
    // link since. A plain folder inside a folder the walk entered stays inside; a link may not.
    std::optional<platform::FileIdentity> identity;
    bool maybeLink = entry.isLink || (entry.isDirectory && !rootInside);
    if (!maybeLink && entry.isDirectory) {
      const std::optional<platform::PathStatus> status = platform::GetPathStatus(path);
      if (!status) continue;
      maybeLink = status->isLink;
      if (!maybeLink && !status->isDirectory) continue;
      if (!maybeLink) identity = status->identity;
    }
    if (maybeLink) {
      const std::optional<std::string> target = platform::RealPath(path);
      if (!target) continue;
      if (!RealPathWithin(*target, *realBoundary)) {
        if (onRefused) {
          onRefused(path, *target);
        } else {
          LogLine("[WARN] Skipping link that leads outside the client: " + path + " -> " + *target);
        }
        continue;
      }
    }
    if (!entry.isDirectory) {
      if (visitor.onFile) visitor.onFile(path, relative, entry);
      continue;
    }
    if (!identity) identity = platform::GetFileIdentity(path);
    if (!identity || !entered.insert(*identity).second) continue;
    if (visitor.onFolder && !visitor.onFolder(path, relative)) continue;
    OpenFolder inner;
    inner.path = path;
    if (!platform::ListDirectory(path, inner.listing)) {
      result.listedAll = false;
      continue;
    }
    // `folder` is not used past this point: the push may move it.
    stack.push_back(std::move(inner));
  }
  return result;
}
