#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>

#include "platform/platform.hpp"
#include "platform/temp_folder.hpp"

namespace {

using testing_support::ScopedTempFolder;

// Puts the variables back as they were when the test ends.
class SavedEnvironment {
 public:
  explicit SavedEnvironment(std::vector<std::string> names) : names_(std::move(names)) {
    for (const auto& name : names_) values_.push_back(platform::GetEnvironmentVariable(name));
  }
  ~SavedEnvironment() {
    for (std::size_t i = 0; i < names_.size(); ++i) {
      if (values_[i]) {
        platform::SetEnvironmentVariable(names_[i], *values_[i]);
      } else {
        platform::UnsetEnvironmentVariable(names_[i]);
      }
    }
  }

 private:
  std::vector<std::string> names_;
  std::vector<std::optional<std::string>> values_;
};

bool IsFolder(const std::string& path) {
  const std::uint32_t attributes = platform::GetFileAttributes(path);
  return attributes != platform::kInvalidAttributes && (attributes & platform::kAttributeDirectory) != 0;
}

TEST(PlatformProcess, UserDataFolderFollowsTheEnvironmentAndIsCreated) {
  ScopedTempFolder temp;
#ifdef _WIN32
  SavedEnvironment saved({"LOCALAPPDATA"});
  ASSERT_TRUE(platform::SetEnvironmentVariable("LOCALAPPDATA", temp / "local"));
  EXPECT_EQ(platform::UserDataFolder(), temp / "local\\Vintrel\\");
  EXPECT_TRUE(IsFolder(temp / "local\\Vintrel"));
#else
  SavedEnvironment saved({"XDG_STATE_HOME", "HOME"});
  ASSERT_TRUE(
      platform::SetEnvironmentVariable("XDG_STATE_HOME", *platform::ToNativePath(temp / "state") + "/"));
  EXPECT_EQ(platform::UserDataFolder(), temp / "state\\Vintrel\\");
  EXPECT_TRUE(IsFolder(temp / "state\\Vintrel"));

  // Without the variable (or with a relative one, which does not count) the home folder decides.
  ASSERT_TRUE(platform::SetEnvironmentVariable("HOME", *platform::ToNativePath(temp / "home")));
  ASSERT_TRUE(platform::SetEnvironmentVariable("XDG_STATE_HOME", "relative/state"));
  EXPECT_EQ(platform::UserDataFolder(), temp / "home\\.local\\state\\Vintrel\\");
  ASSERT_TRUE(platform::UnsetEnvironmentVariable("XDG_STATE_HOME"));
  EXPECT_EQ(platform::UserDataFolder(), temp / "home\\.local\\state\\Vintrel\\");
  EXPECT_TRUE(IsFolder(temp / "home\\.local\\state\\Vintrel"));

  // A place that cannot be created gives an empty answer, not a path that does not exist.
  ASSERT_TRUE(testing_support::WriteTextFile(temp / "blocker", "file"));
  ASSERT_TRUE(platform::SetEnvironmentVariable("XDG_STATE_HOME", *platform::ToNativePath(temp / "blocker")));
  EXPECT_EQ(platform::UserDataFolder(), "");
#endif
}

}  // namespace
