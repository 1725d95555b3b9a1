// Game data spells paths in any letter case; the file must be found the way Windows finds it (there,
// the file system does it).
#include <gtest/gtest.h>

#ifndef _WIN32
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "support/test_environment.hpp"

namespace {

using namespace testenv;

// The layer itself never makes two names that differ only in case (it writes into the one that
// exists), so these fixtures are made with the native calls.
void WriteNative(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

TEST(PlatformCaseResolution, NamesDifferingOnlyInCaseResolveToTheFirstInByteOrder) {
  testenv::ScopedTempDir temp;
  const std::filesystem::path root = *platform::ToNativePath(temp.path());
  WriteNative(root / "item.txt", "lower");
  WriteNative(root / "Item.txt", "capital");
  WriteNative(root / "ITEM.txt", "upper");
  WriteNative(root / "maps" / "a.txt", "from maps");
  WriteNative(root / "Maps" / "a.txt", "from Maps");

  // The exact spelling always wins.
  EXPECT_EQ(ReadFile(temp / "item.txt"), "lower");
  EXPECT_EQ(ReadFile(temp / "Item.txt"), "capital");
  // Otherwise the first in byte order: "ITEM.txt" < "Item.txt" < "item.txt"; the same every time.
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ReadFile(temp / "iTEM.TXT"), "upper");
    EXPECT_EQ(ReadFile(temp / "MAPS\\A.TXT"), "from Maps");
  }
  EXPECT_EQ(NamesIn(temp.path()),
            (std::vector<std::string>{"ITEM.txt", "Item.txt", "item.txt", "Maps", "maps"}));
  // A write spelled another way goes to the same file a read would find.
  WriteFile(temp / "item.TXT", "rewritten");
  EXPECT_EQ(ReadFile(temp / "ITEM.txt"), "rewritten");
  EXPECT_EQ(ReadFile(temp / "item.txt"), "lower");
}

TEST(PlatformCaseResolution, OtherDrivesFailAtOnceAndCreateNothing) {
  testenv::ScopedTempDir temp;
  WriteFile(temp / "source.txt", "data");

  EXPECT_EQ(platform::CreateFolderWithParents("D:\\ymir work\\item"), platform::CreateFolderResult::Failed);
  EXPECT_NE(platform::LastError(), 0u);
  EXPECT_FALSE(platform::CreateSingleFolder("D:\\ymir work"));
  EXPECT_FALSE(platform::File::CreateForWrite("D:\\ymir work\\a.dds").IsOpen());
  EXPECT_FALSE(platform::File::OpenForAppend("c:\\log.txt").IsOpen());
  EXPECT_FALSE(platform::CopyFileOverwrite(temp / "source.txt", "D:\\ymir work\\a.dds"));
  EXPECT_FALSE(platform::MoveFileReplace(temp / "source.txt", "C:\\moved.txt"));

  EXPECT_EQ(ReadFile(temp / "source.txt"), "data");
  EXPECT_EQ(NamesIn(temp.path()), std::vector<std::string>{"source.txt"});
  for (const char* stray : {"D:", "d:", "C:", "c:"}) {
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::current_path() / stray)) << stray;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path("/") / stray)) << stray;
  }
}

TEST(PlatformCaseResolution, FillingAFolderReadsListingsInProportionToItsNamesNotTheirSquare) {
  // Every new group folder misses its exact spelling in the task folder; listing that folder again
  // for each one made an export of N groups cost N * N.
  testenv::ScopedTempDir temp;
  const std::string out = temp / "Out";
  ASSERT_EQ(platform::CreateFolderWithParents(out), platform::CreateFolderResult::Created);
  constexpr int kGroups = 300;
  const std::uint64_t namesBefore = platform::CaseLookupNamesRead();
  for (int i = 0; i < kGroups; ++i) {
    const std::string group = out + "\\Group" + std::to_string(i);
    ASSERT_EQ(platform::CreateFolderWithParents(group + "\\hair"), platform::CreateFolderResult::Created);
    WriteFile(group + "\\snippet.tmp", "x");
    ASSERT_TRUE(platform::MoveFileReplace(group + "\\snippet.tmp", group + "\\Snippet.txt"));
    // What the layer has just made or renamed is found at once, in any spelling.
    ASSERT_TRUE(IsFile(out + "\\GROUP" + std::to_string(i) + "\\SNIPPET.TXT")) << i;
    ASSERT_FALSE(IsFile(out + "\\group" + std::to_string(i) + "\\snippet.TMP")) << i;
  }
  EXPECT_LT(platform::CaseLookupNamesRead() - namesBefore, 10u * kGroups);

  // A change from outside while the layer writes there: the folder's new time gives it away.
  const std::filesystem::path native = *platform::ToNativePath(out);
  WriteNative(native / "Outside.txt", "native");
  std::filesystem::last_write_time(native,
                                   std::filesystem::file_time_type::clock::now() + std::chrono::hours(1));
  EXPECT_EQ(ReadFile(out + "\\OUTSIDE.TXT"), "native");
}

TEST(PlatformCaseResolution, Windows1252DataBytesFindTheirUtf8NamesOnDisk) {
  testenv::ScopedTempDir temp;
  const std::filesystem::path root = *platform::ToNativePath(temp.path());
  WriteNative(root / "H\xc3\xa4user a" / "x.dds", "utf-8 folder");
  WriteNative(root / "\xe2\x82\xac.dds", "euro");
  // Exact bytes first: a name on disk holding the data's own bytes wins.
  WriteNative(root / "gro\xdf.dds", "raw");
  WriteNative(root / "gro\xc3\x9f.dds", "utf-8");

  EXPECT_EQ(ReadFile(temp / "h\xe4user a\\X.DDS"), "utf-8 folder");
  EXPECT_EQ(ReadFile(temp / "\x80.dds"), "euro");  // 0x80..0x9F are not Latin-1
  EXPECT_EQ(ReadFile(temp / "gro\xdf.dds"), "raw");
  EXPECT_EQ(ReadFile(temp / "GRO\xc3\x9f.DDS"), "utf-8");
  EXPECT_TRUE(IsFolder(temp / "H\xe4USER A"));
  EXPECT_EQ(NamesIn(temp / "h\xe4user a"), std::vector<std::string>{"x.dds"});
}

}  // namespace
#endif
