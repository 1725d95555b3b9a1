#include "support/scoped_temp_folder.hpp"

#include <atomic>
#include <chrono>
#include <stdexcept>

#include "platform/platform.hpp"
#include "platform/temp_folder.hpp"

namespace {

std::string ParentOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

ScopedTempFolder::ScopedTempFolder() {
  static std::atomic<unsigned> counter{0};
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = platform::TempFolder() + "vintrel_test_" + std::to_string(platform::CurrentThreadId()) + "_" +
          std::to_string(ticks) + "_" + std::to_string(counter++);
  if (platform::CreateFolderWithParents(path_) != platform::CreateFolderResult::Created) {
    throw std::runtime_error("cannot create test folder " + path_);
  }
}

ScopedTempFolder::~ScopedTempFolder() { testing_support::RemoveTree(path_); }

std::string ScopedTempFolder::Join(const std::string& relative) const { return path_ + "\\" + relative; }

std::string ScopedTempFolder::MakeFolder(const std::string& relative) const {
  const std::string full = Join(relative);
  platform::CreateFolderWithParents(full);
  return full;
}

std::string ScopedTempFolder::WriteFile(const std::string& relative, std::string_view contents) const {
  const std::string full = Join(relative);
  platform::CreateFolderWithParents(ParentOf(full));
  platform::File file = platform::File::CreateForWrite(full);
  if (!file.IsOpen() || !file.Write(contents.data(), contents.size())) {
    throw std::runtime_error("cannot write test file " + full);
  }
  return full;
}
