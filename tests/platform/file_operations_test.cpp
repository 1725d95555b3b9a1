#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/platform.hpp"
#include "platform/temp_folder.hpp"

namespace {

using platform::CreateFolderResult;
using testing_support::ReadTextFile;
using testing_support::ScopedTempFolder;
using testing_support::WriteTextFile;

bool Exists(const std::string& path) {
  return platform::GetFileAttributes(path) != platform::kInvalidAttributes;
}

bool IsFolder(const std::string& path) {
  const std::uint32_t attributes = platform::GetFileAttributes(path);
  return attributes != platform::kInvalidAttributes && (attributes & platform::kAttributeDirectory) != 0;
}

TEST(PlatformFiles, CreateFolderWithParentsReportsCreatedExistingOrFailed) {
  ScopedTempFolder temp;
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "a\\b\\c"), CreateFolderResult::Created);
  EXPECT_TRUE(IsFolder(temp / "a\\b\\c"));
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "a\\b\\c"), CreateFolderResult::AlreadyExists);
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "a\\b\\"), CreateFolderResult::AlreadyExists);
  EXPECT_EQ(platform::CreateFolderWithParents(temp.path() + "/s1/s2/"), CreateFolderResult::Created);
  EXPECT_TRUE(IsFolder(temp / "s1\\s2"));

  // A file where a folder should be is a failure, never "already exists".
  ASSERT_TRUE(WriteTextFile(temp / "file.txt", "x"));
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "file.txt"), CreateFolderResult::Failed);
  EXPECT_EQ(platform::CreateFolderWithParents(temp / "file.txt\\below"), CreateFolderResult::Failed);
  EXPECT_EQ(platform::CreateFolderWithParents(""), CreateFolderResult::Failed);
  EXPECT_EQ(ReadTextFile(temp / "file.txt"), "x");

  EXPECT_FALSE(platform::CreateSingleFolder(temp / "x\\y"));
  EXPECT_TRUE(platform::CreateSingleFolder(temp / "x"));
  EXPECT_FALSE(platform::CreateSingleFolder(temp / "x"));
}

TEST(PlatformFiles, CopyReplacesTheWholeDestinationAndNeverEatsItsSource) {
  ScopedTempFolder temp;
  ASSERT_TRUE(WriteTextFile(temp / "src.txt", "short"));
  ASSERT_TRUE(WriteTextFile(temp / "dst.txt", "a much longer old content"));
  EXPECT_TRUE(platform::CopyFileOverwrite(temp / "src.txt", temp / "dst.txt"));
  EXPECT_EQ(ReadTextFile(temp / "dst.txt"), "short");
  EXPECT_TRUE(platform::CopyFileOverwrite(temp / "src.txt", temp / "fresh.txt"));
  EXPECT_EQ(ReadTextFile(temp / "fresh.txt"), "short");

  // Copying a file onto itself must not truncate it.
  EXPECT_FALSE(platform::CopyFileOverwrite(temp / "src.txt", temp / "src.txt"));
  EXPECT_EQ(ReadTextFile(temp / "src.txt"), "short");

  EXPECT_FALSE(platform::CopyFileOverwrite(temp / "missing.txt", temp / "never.txt"));
  EXPECT_FALSE(Exists(temp / "never.txt"));
  EXPECT_FALSE(platform::CopyFileOverwrite(temp / "src.txt", temp / "no\\such\\folder.txt"));
  EXPECT_FALSE(platform::CopyFileOverwrite(temp.path(), temp / "folder-as-file.txt"));
}

TEST(PlatformFiles, MoveReplacesAndRemovalsTakeOnlyWhatTheyShould) {
  ScopedTempFolder temp;
  ASSERT_TRUE(WriteTextFile(temp / "new.txt", "new"));
  ASSERT_TRUE(WriteTextFile(temp / "old.txt", "old"));
  EXPECT_TRUE(platform::MoveFileReplace(temp / "new.txt", temp / "old.txt"));
  EXPECT_FALSE(Exists(temp / "new.txt"));
  EXPECT_EQ(ReadTextFile(temp / "old.txt"), "new");
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

TEST(PlatformFiles, FileStreamsBytesInAndOut) {
  ScopedTempFolder temp;
  std::string big(200 * 1024 + 7, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 % 251);
  {
    platform::File out = platform::File::CreateForWrite(temp / "data.bin");
    ASSERT_TRUE(out.IsOpen());
    EXPECT_TRUE(out.Write("head\r\n", 6));
    EXPECT_TRUE(out.Write(big.data(), big.size()));
    EXPECT_TRUE(out.Flush());
    EXPECT_EQ(out.Size(), static_cast<std::int64_t>(6 + big.size()));
  }
  platform::File in = platform::File::OpenForRead(temp / "data.bin");
  ASSERT_TRUE(in.IsOpen());
  EXPECT_EQ(in.Size(), static_cast<std::int64_t>(6 + big.size()));
  // Moving hands the open file over and leaves the source closed.
  platform::File moved = std::move(in);
  EXPECT_FALSE(in.IsOpen());
  EXPECT_EQ(in.Read(nullptr, 0), -1);
  std::string back;
  char buffer[4096];
  for (std::int64_t got; (got = moved.Read(buffer, sizeof buffer)) > 0;)
    back.append(buffer, static_cast<std::size_t>(got));
  EXPECT_EQ(back, "head\r\n" + big);
  EXPECT_EQ(moved.Read(buffer, sizeof buffer), 0);
  moved.Close();
  EXPECT_FALSE(moved.IsOpen());
  EXPECT_FALSE(moved.Write("x", 1));

  // Creating again truncates; appending adds at the end and creates when missing.
  ASSERT_TRUE(WriteTextFile(temp / "data.bin", "ab"));
  {
    platform::File append = platform::File::OpenForAppend(temp / "data.bin");
    ASSERT_TRUE(append.IsOpen());
    EXPECT_TRUE(append.Write("cd", 2));
    platform::File created = platform::File::OpenForAppend(temp / "log.txt");
    EXPECT_TRUE(created.Write("1", 1));
  }
  EXPECT_EQ(ReadTextFile(temp / "data.bin"), "abcd");
  EXPECT_EQ(ReadTextFile(temp / "log.txt"), "1");
}

TEST(PlatformFiles, OpenFailuresLeaveAReadableReason) {
  ScopedTempFolder temp;
  EXPECT_FALSE(platform::File::OpenForRead(temp.path()).IsOpen());
  EXPECT_FALSE(platform::File::CreateForWrite(temp / "missing\\x.txt").IsOpen());
  EXPECT_FALSE(platform::File::OpenForRead(temp / "missing.txt").IsOpen());
  const std::uint32_t error = platform::LastError();
  EXPECT_NE(error, 0u);
  const std::string message = platform::ErrorMessage(error);
  EXPECT_FALSE(message.empty());
  EXPECT_NE(message.back(), '\n');
  EXPECT_NE(message.back(), '\r');
  EXPECT_NE(message, platform::ErrorMessage(error + 1000000u));

  platform::SetLastError(error + 1);
  EXPECT_EQ(platform::LastError(), error + 1);
}

TEST(PlatformFiles, ReadWholeFileKeepsEveryByte) {
  ScopedTempFolder temp;
  const std::string binary("a\0b\r\nc\rd\n\xff", 10);
  ASSERT_TRUE(WriteTextFile(temp / "bin", binary));
  ASSERT_TRUE(WriteTextFile(temp / "empty", ""));
  std::string contents = "stale";
  EXPECT_TRUE(platform::ReadWholeFile(temp / "bin", contents));
  EXPECT_EQ(contents, binary);
  EXPECT_TRUE(platform::ReadWholeFile(temp / "empty", contents));
  EXPECT_EQ(contents, "");
  contents = "stale";
  EXPECT_FALSE(platform::ReadWholeFile(temp / "missing", contents));
  EXPECT_EQ(contents, "");
}

}  // namespace
