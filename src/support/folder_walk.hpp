// The one walk over a folder tree, for everything that looks for files below the client root:
// depth first, each folder's entries in listing order, a folder's contents right where the folder
// is listed (so "first met" means the same to every caller).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.hpp"

struct FolderWalkVisitor {
  // Each regular file: folder + "\" + name, and the same below the root ("a\b\name"), a view into
  // `path` valid for the call. The visitor may keep `path` (move it away) once done with `relative`.
  std::function<void(std::string& path, std::string_view relative, const platform::DirEntry& entry)> onFile;
  // Each folder below the root, before its contents; returning false skips them. May be empty.
  std::function<bool(const std::string& path, std::string_view relative)> onFolder;
};

struct FolderWalkResult {
  bool stopped = false;   // a stop was asked and the walk ended early
  bool listedAll = true;  // every folder entered could be listed
};

// Walks root; paths handed out begin with root exactly as given. Each folder is entered once, by file-system
// identity, however many links lead to it, so link loops end. A link (and any folder) is followed
// only when what it finally names lies inside `boundary` (the root itself when empty); each one
// refused gets one "[WARN]" line. Devices, pipes, sockets and dangling links are left out, as are
// names no internal path can spell. A stop is checked before each folder and each entry.
FolderWalkResult WalkFolder(const std::string& root, const FolderWalkVisitor& visitor,
                            const std::string& boundary = std::string());

// Each link (or folder) left out because it leads outside the boundary, with where it leads.
using RefusedLinkReport = std::function<void(const std::string& path, const std::string& target)>;

// The same walk, each refusal reported through `onRefused` (when set) instead of the walk's own line.
FolderWalkResult WalkFolder(const std::string& root, const FolderWalkVisitor& visitor,
                            const std::string& boundary, const RefusedLinkReport& onRefused);
