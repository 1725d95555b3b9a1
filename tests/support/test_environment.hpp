// Shared set-up of the test binary: a private per-user folder, and scoped temp folders.
#pragma once

#include <string>

namespace testenv {

// The per-user folder of this test run (internal form, trailing backslash). Before any test runs,
// XDG_STATE_HOME (POSIX) or LOCALAPPDATA (Windows) is pointed below a fresh temp folder, so debug.log
// and everything else written there stays out of the real user's folder.
std::string UserDataFolder();

// Removes a file or a folder with everything below it; true when nothing is left.
bool RemoveTree(const std::string& path);

// A fresh, empty folder below the temp folder, removed with its contents on destruction.
class ScopedTempDir {
 public:
  explicit ScopedTempDir(const std::string& label = "dir");
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  // Internal form, with a trailing backslash.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace testenv
