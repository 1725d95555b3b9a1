#include "support/test_environment.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <system_error>

#include "log/debug_log.hpp"

namespace testenv {
namespace {

std::string MakeUniqueFolder(const std::string& label) {
  // A name taken by another run is skipped: creating the folder is what claims it.
  static std::atomic<unsigned> counter{0};
  for (;;) {
    const std::string path = platform::TempFolder() + "vintrel-test-" + label + "-" +
                             std::to_string(platform::CurrentThreadId()) + "-" + std::to_string(counter++) +
                             "\\";
    if (platform::CreateFolderWithParents(path) == platform::CreateFolderResult::Created) return path;
    if (!Exists(path)) {
      ADD_FAILURE() << "cannot create temp folder " << path;
      return path;
    }
  }
}

std::string runRoot;

// Child processes of a test (death tests re-run the binary) share the parent's folder and leave
// its removal to the parent.
const char kRunRootVariable[] = "VINTREL_TEST_RUN_ROOT";

class UserFolderEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const auto inherited = platform::GetEnvironmentVariable(kRunRootVariable);
    if (inherited && !inherited->empty() && Exists(*inherited)) {
      runRoot = *inherited;
      return;
    }
    runRoot = MakeUniqueFolder("run");
    owner_ = true;
    platform::SetEnvironmentVariable(kRunRootVariable, runRoot);
    const std::string stateHome = runRoot + "state";
    platform::CreateFolderWithParents(stateHome);
#ifdef _WIN32
    platform::SetEnvironmentVariable("LOCALAPPDATA", stateHome);
#else
    platform::SetEnvironmentVariable("XDG_STATE_HOME", platform::ToNativePath(stateHome).value_or(stateHome));
#endif
  }

  void TearDown() override {
    // The writer may still hold lines for the folder that is about to go.
    StopLogWriter();
    if (owner_) RemoveTree(runRoot);
  }

 private:
  bool owner_ = false;
};

const bool registered = [] {
  ::testing::AddGlobalTestEnvironment(new UserFolderEnvironment);
  return true;
}();

}  // namespace

std::string UserDataFolder() { return runRoot + "state\\Vintrel\\"; }

ScopedTempDir::ScopedTempDir(const std::string& label) : path_(MakeUniqueFolder(label)) {}

std::string WriteFile(const std::string& path, const std::string& contents) {
  platform::CreateFolderWithParents(path.substr(0, path.rfind('\\')));
  platform::File file = platform::File::CreateForWrite(path);
  EXPECT_TRUE(file.IsOpen() && file.Write(contents.data(), contents.size())) << path;
  return path;
}

bool MakeLink(const std::string& target, const std::string& link, bool folder) {
  const auto to = platform::ToNativePath(target);
  const auto from = platform::ToNativePath(link);
  std::error_code error;
  if (!to || !from) return false;
  if (folder) std::filesystem::create_directory_symlink(*to, *from, error);
  if (!folder) std::filesystem::create_symlink(*to, *from, error);
  return !error;
}

}  // namespace testenv
