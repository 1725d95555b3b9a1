// Shared by the exporter tests: run-root set-up and a look at what landed on disk.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.hpp"
#include "support/client_paths.hpp"
#include "support/mirror_root.hpp"

namespace exporttest {

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

// Every file below `folder`, relative to it with backslashes, in the file system's spelling.
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

inline void RemoveTree(const std::string& path) {
  std::vector<platform::DirEntry> entries;
  if (platform::ListDirectory(path, entries)) {
    for (const platform::DirEntry& entry : entries) {
      if (entry.isDirectory) {
        RemoveTree(path + "\\" + entry.name);
      } else {
        platform::DeleteFile(path + "\\" + entry.name);
      }
    }
  }
  platform::RemoveEmptyFolder(path);
}

// A fresh folder below the temporary folder for one test, removed with everything in it afterwards.
class TempFolder {
 public:
  TempFolder() {
    static std::atomic<unsigned> counter{0};
    const auto ticks =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    path_ = platform::TempFolder() + "vintrel-export-" + std::to_string(platform::CurrentThreadId()) + "-" +
            std::to_string(counter++) + "-" + std::to_string(ticks % 1000000007u);
    platform::CreateFolderWithParents(path_);
  }
  ~TempFolder() { RemoveTree(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Internal path, no trailing backslash.
  const std::string& path() const { return path_; }
  std::string Join(const std::string& relative) const { return path_ + "\\" + relative; }
  std::string MakeFolder(const std::string& relative) const {
    platform::CreateFolderWithParents(Join(relative));
    return Join(relative);
  }
  // Writes `contents` byte for byte, creating the folders on the way; returns the path.
  std::string WriteFile(const std::string& relative, std::string_view contents) const {
    const std::string path = Join(relative);
    const std::size_t cut = path.rfind('\\');
    platform::CreateFolderWithParents(path.substr(0, cut));
    platform::File file = platform::File::CreateForWrite(path);
    file.Write(contents.data(), contents.size());
    return path;
  }

 private:
  std::string path_;
};

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
