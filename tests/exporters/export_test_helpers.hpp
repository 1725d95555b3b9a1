// Shared by the exporter tests: run-root set-up and a look at what landed on disk.
#pragma once

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.hpp"
#include "support/client_paths.hpp"
#include "support/mirror_root.hpp"

namespace exporttest {

// Every file below `folder`, relative to it with backslashes, in the file system's spelling.
inline void CollectFiles(const std::string& folder, const std::string& prefix, std::set<std::string>& files) {
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(folder, entries)) return;
  for (const platform::DirEntry& entry : entries) {
    if (entry.isDirectory) {
      CollectFiles(folder + "\\" + entry.name, prefix + entry.name + "\\", files);
    } else {
      files.insert(prefix + entry.name);
    }
  }
}
inline std::set<std::string> FilesBelow(const std::string& folder) {
  std::set<std::string> files;
  CollectFiles(folder, "", files);
  return files;
}

inline std::string ReadFile(const std::string& path) {
  std::string contents;
  platform::ReadWholeFile(path, contents);
  return contents;
}

// Writes `contents` byte for byte, creating the folders on the way; returns the path.
inline std::string WriteFile(const std::string& path, const std::string& contents) {
  platform::CreateFolderWithParents(path.substr(0, path.rfind('\\')));
  platform::File::CreateForWrite(path).Write(contents.data(), contents.size());
  return path;
}

// The summary records of exported groups among debug.log lines.
inline std::vector<std::string> Records(const std::vector<std::string>& lines) {
  std::vector<std::string> records;
  for (const std::string& line : lines) {
    if (line.rfind("{\"object\":", 0) == 0) records.push_back(line);
  }
  return records;
}

inline bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

// Sets the three run roots for one test and puts the previous ones back afterwards.
class ScopedRunRoots {
 public:
  ScopedRunRoots(const std::string& clientRoot, const std::string& outputRoot, const std::string& mirrorRoot)
      : saved_(GetPathSettings()) {
    GetPathSettings().clientRoot = clientRoot;
    GetPathSettings().outputRoot = outputRoot;
    GetPathSettings().mirrorRoot = mirrorRoot;
    PrepareMirrorRoot();
  }
  ~ScopedRunRoots() {
    GetPathSettings() = saved_;
    PrepareMirrorRoot();
  }
  ScopedRunRoots(const ScopedRunRoots&) = delete;
  ScopedRunRoots& operator=(const ScopedRunRoots&) = delete;

 private:
  PathSettings saved_;
};

}  // namespace exporttest
