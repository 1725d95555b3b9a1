#include <gtest/gtest.h>

#include "support/test_environment.hpp"

namespace {

using platform::CreateFolderResult;
using namespace testenv;

TEST(PlatformFiles, FolderCreationAndCopiesFailRatherThanHarmAFile) {
  testenv::ScopedTempDir temp;
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "a\\b\\c"), CreateFolderResult::Created);
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "a\\b\\c"), CreateFolderResult::AlreadyExists);
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "a\\b\\"), CreateFolderResult::AlreadyExists);
  // Several missing levels under doubled separators.
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "a\\\\d\\\\e\\f"), CreateFolderResult::Created);
  EXPECT_EQ(platform::GetFileAttributes(temp / "a\\d\\e\\f"), platform::kAttributeDirectory);

  // A file where a folder should be is a failure, never "already exists".
  WriteFile(temp / "file.txt", "x");
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "file.txt"), CreateFolderResult::Failed);
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "file.txt\\below"), CreateFolderResult::Failed);
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "file.txt\\below\\deeper"), CreateFolderResult::Failed);
  EXPECT_EQ(platform::CreateFolderWithParents(""), CreateFolderResult::Failed);
  EXPECT_EQ(ReadFile(temp / "file.txt"), "x");

  EXPECT_FALSE(platform::CreateSingleFolder(temp / "x\\y"));
  EXPECT_TRUE(platform::CreateSingleFolder(temp / "x"));
  EXPECT_FALSE(platform::CreateSingleFolder(temp / "x"));

  // A copy replaces the whole destination and never eats its source.
  WriteFile(temp / "src.txt", "short");
  WriteFile(temp / "dst.txt", "a much longer old content");
  EXPECT_TRUE(platform::CopyFileOverwrite(temp / "src.txt", temp / "dst.txt"));
  EXPECT_EQ(ReadFile(temp / "dst.txt"), "short");

  // Copying a file onto itself must not truncate it.
  EXPECT_FALSE(platform::CopyFileOverwrite(temp / "src.txt", temp / "src.txt"));
  EXPECT_EQ(ReadFile(temp / "src.txt"), "short");

  EXPECT_FALSE(platform::CopyFileOverwrite(temp / "missing.txt", temp / "never.txt"));
  EXPECT_FALSE(Exists(temp / "never.txt"));
  EXPECT_FALSE(platform::CopyFileOverwrite(temp / "src.txt", temp / "no\\such\\folder.txt"));
  EXPECT_FALSE(platform::CopyFileOverwrite(temp / "x", temp / "folder-as-file.txt"));
}

}  // namespace
