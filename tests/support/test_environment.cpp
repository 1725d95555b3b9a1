#include "support/test_environment.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <vector>

#include "log/debug_log.hpp"
#include "platform/platform.hpp"

namespace testenv {
namespace {

std::string UniqueName(const std::string& label) {
  static std::atomic<unsigned> counter{0};
  static const unsigned long long seed =
      std::random_device{}() ^
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  return "vintrel-test-" + label + "-" + std::to_string(seed % 100000000ull) + "-" +
         std::to_string(platform::CurrentThreadId()) + "-" + std::to_string(counter++);
}

std::string MakeUniqueFolder(const std::string& label) {
  for (;;) {
    const std::string path = platform::TempFolder() + UniqueName(label) + "\\";
    if (platform::CreateFolderWithParents(path) == platform::CreateFolderResult::Created) return path;
    if (platform::GetFileAttributes(path) == platform::kInvalidAttributes) {
      ADD_FAILURE() << "cannot create temp folder " << path;
      return path;
    }
  }
}

std::string& RunRoot() {
  static std::string root;
  return root;
}

// Child processes of a test (death tests re-run the binary) share the parent's folder and leave
// its removal to the parent.
const char kRunRootVariable[] = "VINTREL_TEST_RUN_ROOT";

class UserFolderEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const auto inherited = platform::GetEnvironmentVariable(kRunRootVariable);
    if (inherited && !inherited->empty() &&
        platform::GetFileAttributes(*inherited) != platform::kInvalidAttributes) {
      RunRoot() = *inherited;
      return;
    }
    RunRoot() = MakeUniqueFolder("run");
    owner_ = true;
    platform::SetEnvironmentVariable(kRunRootVariable, RunRoot());
    const std::string stateHome = RunRoot() + "state";
    platform::CreateFolderWithParents(stateHome);
#ifdef _WIN32
    const char* variable = "LOCALAPPDATA";
    const std::string value = stateHome;
#else
    const char* variable = "XDG_STATE_HOME";
    const std::string value = platform::ToNativePath(stateHome).value_or(stateHome);
#endif
    platform::SetEnvironmentVariable(variable, value);
  }

  void TearDown() override {
    // The writer may still hold lines for the folder that is about to go.
    StopLogWriter();
    if (owner_) RemoveTree(RunRoot());
  }

 private:
  bool owner_ = false;
};

const bool registered = [] {
  ::testing::AddGlobalTestEnvironment(new UserFolderEnvironment);
  return true;
}();

}  // namespace

std::string UserDataFolder() { return RunRoot() + "state\\Vintrel\\"; }

bool RemoveTree(const std::string& path) {
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
    // A link goes, never what it leads to.
    if (entry.isLink) {
      ok = (platform::DeleteFile(child) || platform::RemoveEmptyFolder(child)) && ok;
    } else {
      ok = RemoveTree(child) && ok;
    }
  }
  return platform::RemoveEmptyFolder(folder) && ok;
}

ScopedTempDir::ScopedTempDir(const std::string& label) : path_(MakeUniqueFolder(label)) {}

ScopedTempDir::~ScopedTempDir() { RemoveTree(path_); }

}  // namespace testenv
