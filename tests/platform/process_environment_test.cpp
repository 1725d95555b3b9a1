#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>

#include "platform/platform.hpp"
#include "platform/temp_folder.hpp"

namespace {

using testing_support::ReadTextFile;
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

TEST(PlatformProcess, ExecutableAndTemporaryFoldersAreInternalFolders) {
  const std::string executable = platform::ExecutablePath();
  const std::string folder = platform::ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\');
  EXPECT_EQ(folder[1], ':');
  EXPECT_EQ(executable.rfind(folder, 0), 0u);
  EXPECT_EQ(executable.substr(folder.size()).rfind("vintrel_tests", 0), 0u);
  EXPECT_NE(platform::GetFileAttributes(executable), platform::kInvalidAttributes);
  EXPECT_FALSE(IsFolder(executable));

  const std::string temp = platform::TempFolder();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(IsFolder(temp));
#ifndef _WIN32
  SavedEnvironment saved({"TMPDIR"});
  ASSERT_TRUE(platform::SetEnvironmentVariable("TMPDIR", "/var/tmp/"));
  EXPECT_EQ(platform::TempFolder(), "Z:\\var\\tmp\\");
#endif
}

TEST(PlatformProcess, VariablesAreSetReadAndRemoved) {
  const std::string name = "VINTREL_PLATFORM_TEST_VARIABLE";
  SavedEnvironment saved({name});
  ASSERT_TRUE(platform::UnsetEnvironmentVariable(name));
  EXPECT_EQ(platform::GetEnvironmentVariable(name), std::nullopt);
  ASSERT_TRUE(platform::SetEnvironmentVariable(name, "a b=c"));
  EXPECT_EQ(platform::GetEnvironmentVariable(name), std::optional<std::string>("a b=c"));
  ASSERT_TRUE(platform::SetEnvironmentVariable(name, "1"));
  EXPECT_EQ(platform::GetEnvironmentVariable(name), std::optional<std::string>("1"));
  ASSERT_TRUE(platform::UnsetEnvironmentVariable(name));
  EXPECT_EQ(platform::GetEnvironmentVariable(name), std::nullopt);
}

TEST(PlatformProcess, ThreadIdsTellThreadsApart) {
  const std::uint64_t mine = platform::CurrentThreadId();
  EXPECT_EQ(platform::CurrentThreadId(), mine);
  std::uint64_t other = mine;
  std::thread([&] { other = platform::CurrentThreadId(); }).join();
  EXPECT_NE(other, mine);
}

TEST(PlatformProcess, LocalTimeFormatsWholeTexts) {
  const std::time_t t = 1700000000;  // mid-November 2023 in every time zone
  EXPECT_EQ(platform::FormatLocalTime(t, "%Y-%m"), "2023-11");
  EXPECT_EQ(platform::FormatLocalTime(t, "%H:%M:%S").size(), 8u);
  // No fixed-size buffer cuts a long result short.
  const std::string prefix(300, 'x');
  EXPECT_EQ(platform::FormatLocalTime(t, (prefix + "%Y").c_str()), prefix + "2023");
  EXPECT_EQ(platform::FormatLocalTime(t, ""), "");
}

TEST(PlatformProcess, SharedLibrariesLoadAndTheirSymbolsWork) {
#ifdef _WIN32
  EXPECT_EQ(platform::SharedLibraryFileName("granny2"), "granny2.dll");
  platform::LibraryHandle library = platform::LoadLibrary("kernel32.dll");
  ASSERT_NE(library, nullptr);
  void* symbol = platform::FindSymbol(library, "GetCurrentThreadId");
  ASSERT_NE(symbol, nullptr);
  using Function = unsigned long(__stdcall*)();
  EXPECT_EQ(reinterpret_cast<Function>(symbol)(), platform::CurrentThreadId());
#else
  EXPECT_EQ(platform::SharedLibraryFileName("granny2"), "libgranny2.so");
  platform::LibraryHandle library = platform::LoadLibrary("libc.so.6");
  ASSERT_NE(library, nullptr);
  void* symbol = platform::FindSymbol(library, "strlen");
  ASSERT_NE(symbol, nullptr);
  using Function = std::size_t (*)(const char*);
  EXPECT_EQ(reinterpret_cast<Function>(symbol)("four"), 4u);
#endif
  EXPECT_EQ(platform::FindSymbol(library, "NoSuchSymbolAnywhere"), nullptr);
  platform::FreeLibrary(library);
  EXPECT_EQ(platform::LoadLibrary("vintrel_no_such_library_anywhere"), nullptr);
}

TEST(PlatformProcess, DetachedProcessesRunOnTheirOwnOrReportFailure) {
  EXPECT_FALSE(platform::StartDetachedProcess("vintrel-no-such-program", {}));
  ScopedTempFolder temp;
  const std::string marker = temp / "started.txt";
#ifdef _WIN32
  ASSERT_TRUE(platform::StartDetachedProcess("cmd.exe", {"/c", "echo started>\"" + marker + "\""}));
#else
  ASSERT_TRUE(
      platform::StartDetachedProcess("sh", {"-c", "echo started > \"$0\"", *platform::ToNativePath(marker)}));
  EXPECT_FALSE(platform::StartDetachedProcess(temp / "not-a-program", {}));
#endif
  std::string contents;
  for (int i = 0; i < 200 && contents.find("started") == std::string::npos; ++i) {
    platform::SleepMilliseconds(50);
    contents = ReadTextFile(marker);
  }
  EXPECT_EQ(contents.rfind("started", 0), 0u) << contents;
}

}  // namespace
