#include <gtest/gtest.h>

#include "support/test_environment.hpp"

namespace {

using platform::CreateFolderResult;
using testenv::Exists;
using testenv::IsFolder;
using testenv::ReadFile;
using testenv::WriteFile;

TEST(PlatformFiles, CreateFolderWithParentsReportsCreatedExistingOrFailed) {
  testenv::ScopedTempDir temp;
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "a\\b\\c"), CreateFolderResult::Created);
  EXPECT_TRUE(IsFolder(temp / "a\\b\\c"));
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "a\\b\\c"), CreateFolderResult::AlreadyExists);
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "a\\b\\"), CreateFolderResult::AlreadyExists);
  EXPECT_EQ(platform::CreateFolderWithParents(temp.path() + "s1/s2/"), CreateFolderResult::Created);
  EXPECT_TRUE(IsFolder(temp / "s1\\s2"));

  // A file where a folder should be is a failure, never "already exists".
  WriteFile(temp / "file.txt", "x");
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "file.txt"), CreateFolderResult::Failed);
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "file.txt\\below"), CreateFolderResult::Failed);
  EXPECT_EQ(platform::CreateFolderWithParents(""), CreateFolderResult::Failed);
  EXPECT_EQ(ReadFile(temp / "file.txt"), "x");

  EXPECT_FALSE(platform::CreateSingleFolder(temp / "x\\y"));
  EXPECT_TRUE(platform::CreateSingleFolder(temp / "x"));
  EXPECT_FALSE(platform::CreateSingleFolder(temp / "x"));
}

TEST(PlatformFiles, CopyReplacesTheWholeDestinationAndNeverEatsItsSource) {
  testenv::ScopedTempDir temp;
  WriteFile(temp / "src.txt", "short");
  WriteFile(temp / "dst.txt", "a much longer old content");
  EXPECT_TRUE(platform::CopyFileOverwrite(temp / "src.txt", temp / "dst.txt"));
  EXPECT_EQ(ReadFile(temp / "dst.txt"), "short");
  EXPECT_TRUE(platform::CopyFileOverwrite(temp / "src.txt", temp / "fresh.txt"));
  EXPECT_EQ(ReadFile(temp / "fresh.txt"), "short");

  // Copying a file onto itself must not truncate it.
  EXPECT_FALSE(platform::CopyFileOverwrite(temp / "src.txt", temp / "src.txt"));
  EXPECT_EQ(ReadFile(temp / "src.txt"), "short");

  EXPECT_FALSE(platform::CopyFileOverwrite(temp / "missing.txt", temp / "never.txt"));
  EXPECT_FALSE(Exists(temp / "never.txt"));
  EXPECT_FALSE(platform::CopyFileOverwrite(temp / "src.txt", temp / "no\\such\\folder.txt"));
  ASSERT_TRUE(platform::CreateSingleFolder(temp / "folder"));
  EXPECT_FALSE(platform::CopyFileOverwrite(temp / "folder", temp / "folder-as-file.txt"));
}

TEST(PlatformFiles, MoveReplacesAndRemovalsTakeOnlyWhatTheyShould) {
  testenv::ScopedTempDir temp;
  WriteFile(temp / "new.txt", "new");
  WriteFile(temp / "old.txt", "old");
  EXPECT_TRUE(platform::MoveFileReplace(temp / "new.txt", temp / "old.txt"));
  EXPECT_FALSE(Exists(temp / "new.txt"));
  EXPECT_EQ(ReadFile(temp / "old.txt"), "new");
  EXPECT_FALSE(platform::MoveFileReplace(temp / "new.txt", temp / "old.txt"));

  ASSERT_EQ(platform::CreateFolderWithParents(temp / "folder\\inner"), CreateFolderResult::Created);
  EXPECT_FALSE(platform::DeleteFile(temp / "folder"));
  EXPECT_FALSE(platform::RemoveEmptyFolder(temp / "folder"));
  EXPECT_TRUE(platform::RemoveEmptyFolder(temp / "folder\\inner"));
  EXPECT_TRUE(platform::RemoveEmptyFolder(temp / "folder"));
  EXPECT_FALSE(Exists(temp / "folder"));

  EXPECT_TRUE(platform::DeleteFile(temp / "old.txt"));
  EXPECT_FALSE(Exists(temp / "old.txt"));
  EXPECT_FALSE(platform::DeleteFile(temp / "old.txt"));
}

}  // namespace
