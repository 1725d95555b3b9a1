#include <gtest/gtest.h>

#include <optional>

#include "support/test_environment.hpp"

namespace {

// Puts a variable back as it was when the test ends.
struct SavedVariable {
  std::string name;
  std::optional<std::string> value = platform::GetEnvironmentVariable(name);
  ~SavedVariable() {
    value ? platform::SetEnvironmentVariable(name, *value) : platform::UnsetEnvironmentVariable(name);
  }
};

using testenv::IsFolder;

TEST(PlatformProcess, UserDataFolderFollowsTheEnvironmentAndIsCreated) {
  testenv::ScopedTempDir temp;
#ifdef _WIN32
  const SavedVariable saved{"LOCALAPPDATA"};
  ASSERT_TRUE(platform::SetEnvironmentVariable("LOCALAPPDATA", temp / "local"));
  EXPECT_EQ(platform::UserDataFolder(), temp / "local\\Vintrel\\");
  EXPECT_TRUE(IsFolder(temp / "local\\Vintrel"));
#else
  const SavedVariable savedState{"XDG_STATE_HOME"}, savedHome{"HOME"};
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
  testenv::WriteFile(temp / "blocker", "file");
  ASSERT_TRUE(platform::SetEnvironmentVariable("XDG_STATE_HOME", *platform::ToNativePath(temp / "blocker")));
  EXPECT_EQ(platform::UserDataFolder(), "");
#endif
}

}  // namespace
