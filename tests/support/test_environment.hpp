// Shared set-up of the test binary (a private per-user folder, scoped temp folders) and the file helpers
// every test uses. Free of GoogleTest where inline, so the benchmarks clean up with the same RemoveTree.
#pragma once

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "log/debug_log.hpp"
#include "platform/platform.hpp"
#include "readers/text_lines.hpp"
#include "support/client_paths.hpp"
#include "support/mirror_root.hpp"

namespace testenv {

// The per-user folder of this test run (internal form, trailing backslash). Before any test runs,
// XDG_STATE_HOME (POSIX) or LOCALAPPDATA (Windows) is pointed below a fresh temp folder, so debug.log
// and everything else written there stays out of the real user's folder.
std::string UserDataFolder();

// Removes a file or a folder with everything below it; true when nothing is left. A link goes, never
// what it leads to: tests link to folders outside their own, and may run as root.
inline bool RemoveTree(const std::string& path) {
  std::string folder = path;
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  const std::uint32_t attributes = platform::GetFileAttributes(folder);
  if (attributes == platform::kInvalidAttributes) return true;
  if ((attributes & platform::kAttributeDirectory) == 0) return platform::DeleteFile(folder);
  std::vector<platform::DirEntry> entries;
  platform::ListDirectory(folder, entries);
  bool ok = true;
  for (const platform::DirEntry& entry : entries) {
    const std::string child = folder + "\\" + entry.name;
    ok = (entry.isLink ? platform::DeleteFile(child) || platform::RemoveEmptyFolder(child)
                       : RemoveTree(child)) &&
         ok;
  }
  return platform::RemoveEmptyFolder(folder) && ok;
}

// A fresh, empty folder below the temp folder, removed with its contents on destruction.
class ScopedTempDir {
 public:
  explicit ScopedTempDir(const std::string& label = "dir");
  ~ScopedTempDir() { RemoveTree(path_); }
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  // Internal form, with a trailing backslash.
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + relative; }

 private:
  std::string path_;
};

inline bool Exists(const std::string& path) {
  return platform::GetFileAttributes(path) != platform::kInvalidAttributes;
}
inline bool IsFolder(const std::string& path) {
  const std::uint32_t attributes = platform::GetFileAttributes(path);
  return attributes != platform::kInvalidAttributes && (attributes & platform::kAttributeDirectory) != 0;
}
inline bool IsFile(const std::string& path) { return Exists(path) && !IsFolder(path); }

// Writes `contents` byte for byte, creating the folders on the way (a failure fails the test); returns
// the path.
std::string WriteFile(const std::string& path, const std::string& contents);

inline std::string ReadFile(const std::string& path) {
  std::string contents;
  return platform::ReadWholeFile(path, contents) ? contents : "<unreadable>";
}

// The names a listing gives, in its order.
inline std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(folder, entries)) return {"<cannot list>"};
  std::vector<std::string> names;
  for (const platform::DirEntry& entry : entries) names.push_back(entry.name);
  return names;
}

// Every file below `folder`, relative to it with backslashes, in the file system's spelling.
inline std::set<std::string> FilesBelow(const std::string& folder, const std::string& prefix = "") {
  std::vector<platform::DirEntry> entries;
  std::set<std::string> files;
  platform::ListDirectory(folder, entries);
  for (const platform::DirEntry& entry : entries) {
    if (entry.isDirectory) {
      files.merge(FilesBelow(folder + "\\" + entry.name, prefix + entry.name + "\\"));
    } else {
      files.insert(prefix + entry.name);
    }
  }
  return files;
}

// FilesBelow of a task folder without the report every run leaves at its top.
inline std::set<std::string> ExportedFiles(const std::string& taskFolder) {
  std::set<std::string> files = FilesBelow(taskFolder);
  files.erase("export_report.json");
  files.erase("export_report.txt");
  return files;
}

// `prefix` before each of the blank-separated `names`: an expected part of a FilesBelow tree.
inline std::set<std::string> FilesNamed(const std::string& prefix, const std::string& names) {
  std::set<std::string> files;
  for (std::size_t at = 0; at < names.size();) {
    const std::size_t blank = std::min(names.find(' ', at), names.size());
    files.insert(prefix + names.substr(at, blank - at));
    at = blank + 1;
  }
  return files;
}

// {{"a\\", "x|y\\z"}} is {"a\\x", "a\\y\\z"}: an expected tree written one folder a line.
inline std::set<std::string> Tree(const std::vector<std::pair<std::string, std::string>>& folders) {
  std::set<std::string> files;
  for (const auto& [folder, names] : folders) {
    for (std::size_t from = 0, bar = 0; from <= names.size(); from = bar + 1) {
      bar = std::min(names.find('|', from), names.size());
      files.insert(folder + names.substr(from, bar - from));
    }
  }
  return files;
}

inline std::string WithLineEnd(const std::string& text, const std::string& end) {
  std::string out;
  for (const char c : text) out += c == '\n' ? end : std::string(1, c);
  return out;
}

inline bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

#ifdef VINTREL_CLI_PATH
// The command-line tool as built (internal path), and the model runtime built beside it.
inline std::string CliPath() { return platform::ToInternalPath(VINTREL_CLI_PATH); }
inline std::string BuiltRuntimePath() {
  return CliPath().substr(0, CliPath().rfind('\\') + 1) + platform::SharedLibraryFileName("granny2");
}
#endif

// The debug.log lines written while a capture lives, without their date stamps.
class DebugLogCapture {
 public:
  DebugLogCapture() : offset_(Contents().size()) {}

  // Flushes the log writer first, so every line logged so far is there.
  std::vector<std::string> Lines() const {
    const std::string all = Contents();
    std::vector<std::string> lines;
    for (std::string_view line : SplitLines(std::string_view(all).substr(std::min(offset_, all.size())))) {
      const std::size_t stamp = line.find("] ");
      lines.emplace_back(stamp == std::string_view::npos ? line : line.substr(stamp + 2));
    }
    return lines;
  }

 private:
  static std::string Contents() {
    StopLogWriter();
    std::string all;
    platform::ReadWholeFile(DebugLogPath(), all);
    return all;
  }

  std::size_t offset_;
};

// The summary records of exported groups among debug.log lines.
inline std::vector<std::string> Records(const std::vector<std::string>& lines) {
  std::vector<std::string> records;
  for (const std::string& line : lines) {
    if (line.rfind("{\"object\":", 0) == 0) records.push_back(line);
  }
  return records;
}

// Sets the three run roots for one test and puts the previous ones back afterwards.
class ScopedRunRoots {
 public:
  ScopedRunRoots(const std::string& clientRoot, const std::string& outputRoot, const std::string& mirrorRoot)
      : saved_(GetPathSettings()) {
    GetPathSettings() = PathSettings{clientRoot, outputRoot, mirrorRoot, std::string()};
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

// `link` leads to `target` (internal paths). False where links cannot be made (Windows without the
// privilege, some Wine versions).
bool MakeLink(const std::string& target, const std::string& link, bool folder);

}  // namespace testenv
