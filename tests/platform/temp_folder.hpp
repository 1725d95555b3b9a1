// A fresh folder below the temporary folder for one test, removed with its contents afterwards.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.hpp"

namespace testing_support {

inline void RemoveTree(const std::string& folder) {
  std::vector<platform::DirEntry> entries;
  if (platform::ListDirectory(folder, entries)) {
    for (const platform::DirEntry& entry : entries) {
      const std::string path = folder + "\\" + entry.name;
      if (entry.isDirectory) {
        RemoveTree(path);
      } else {
        platform::DeleteFile(path);
      }
    }
  }
  platform::RemoveEmptyFolder(folder);
}

inline bool WriteTextFile(const std::string& path, const std::string& text) {
  platform::File file = platform::File::CreateForWrite(path);
  return file.IsOpen() && file.Write(text.data(), text.size());
}

inline std::string ReadTextFile(const std::string& path) {
  std::string contents;
  if (!platform::ReadWholeFile(path, contents)) return "<unreadable>";
  return contents;
}

class ScopedTempFolder {
 public:
  ScopedTempFolder() {
    static std::atomic<unsigned> counter{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = platform::TempFolder() + "vintrel-test-" + std::to_string(platform::CurrentThreadId()) + "-" +
            std::to_string(counter++) + "-" + std::to_string(static_cast<std::uint64_t>(ticks) % 1000000007u);
    created_ = platform::CreateFolderWithParents(path_) == platform::CreateFolderResult::Created;
  }
  ~ScopedTempFolder() { RemoveTree(path_); }
  ScopedTempFolder(const ScopedTempFolder&) = delete;
  ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

  bool created() const { return created_; }
  // Internal path, no trailing backslash.
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + "\\" + relative; }

 private:
  std::string path_;
  bool created_ = false;
};

}  // namespace testing_support
