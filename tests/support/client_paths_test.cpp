#include "support/client_paths.hpp"

#include <gtest/gtest.h>

#include "platform/platform.hpp"
#include "support/test_environment.hpp"

namespace {

// Sets the client root for one test and puts the previous one back.
class ClientPathsTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = GetPathSettings(); }
  void TearDown() override { GetPathSettings() = saved_; }

 private:
  PathSettings saved_;
};

TEST_F(ClientPathsTest, WorkedExamplesStripAndResolve) {
  SetClientRoot("G:\\Client");
  ASSERT_EQ(GetPathSettings().clientRoot, "G:\\Client\\");

  EXPECT_EQ(StripGameRootPrefix("d:/ymir work/item/weapon/00010.gr2"), "item\\weapon\\00010.gr2");
  EXPECT_EQ(ResolveClientPath("d:/ymir work/item/weapon/00010.gr2"), "G:\\Client\\item\\weapon\\00010.gr2");
  // Only the test is case-insensitive; the remainder keeps its spelling.
  EXPECT_EQ(StripGameRootPrefix("D:\\Ymir Work\\Monster\\Boss\\Boss.GR2"), "Monster\\Boss\\Boss.GR2");
  EXPECT_EQ(ResolveClientPath("D:\\Ymir Work\\Monster\\Boss\\Boss.GR2"),
            "G:\\Client\\Monster\\Boss\\Boss.GR2");
  EXPECT_EQ(StripGameRootPrefix("D:/YMIR WORK/pc/x.msm"), "pc\\x.msm");
  EXPECT_EQ(ResolveClientPath("\\npc\\guard\\guard.gr2"), "G:\\Client\\npc\\guard\\guard.gr2");
  EXPECT_EQ(ResolveClientPath("\\\\\\npc\\guard.gr2"), "G:\\Client\\npc\\guard.gr2");
  EXPECT_EQ(ResolveClientPath("npc/guard.gr2"), "G:\\Client\\npc\\guard.gr2");
  EXPECT_EQ(ResolveClientPath("E:\\other\\x.dds"), "E:\\other\\x.dds");
  // A D: path that lacks the full prefix is absolute, not client-relative.
  EXPECT_EQ(ResolveClientPath("d:/ymir/x.dds"), "d:\\ymir\\x.dds");
}

TEST_F(ClientPathsTest, PrefixNeedsAllThirteenBytes) {
  SetClientRoot("G:\\Client\\");
  EXPECT_EQ(StripGameRootPrefix("d:\\ymir"), "d:\\ymir");
  EXPECT_EQ(StripGameRootPrefix("d:\\ymir work"), "d:\\ymir work");
  EXPECT_EQ(ResolveClientPath("d:\\ymir work"), "d:\\ymir work");
  EXPECT_EQ(StripGameRootPrefix("d:\\ymir workx\\a"), "d:\\ymir workx\\a");
  EXPECT_EQ(StripGameRootPrefix("x:\\ymir work\\a"), "x:\\ymir work\\a");
  EXPECT_EQ(StripGameRootPrefix("d:\\ymir work\\"), "");
  EXPECT_EQ(ResolveClientPath("d:\\ymir work\\"), "G:\\Client\\");
  EXPECT_EQ(StripGameRootPrefix(""), "");
}

TEST_F(ClientPathsTest, EmptyClientRootKeepsRelativePath) {
  SetClientRoot("");
  EXPECT_EQ(GetPathSettings().clientRoot, "");
  EXPECT_EQ(ResolveClientPath("d:/ymir work/\\npc/a.gr2"), "\\npc\\a.gr2");
  EXPECT_EQ(ResolveClientPath("\\npc\\a.gr2"), "\\npc\\a.gr2");
}

TEST_F(ClientPathsTest, RootsAreNormalised) {
  SetOutputRoot("C:/out/models//");
  EXPECT_EQ(GetPathSettings().outputRoot, "C:\\out\\models");
  SetOutputRoot("\\/\\");
  EXPECT_EQ(GetPathSettings().outputRoot, "");
  SetClientRoot("G:/Client/");
  EXPECT_EQ(GetPathSettings().clientRoot, "G:\\Client\\");
  SetClientRoot("G:/Client//");
  EXPECT_EQ(GetPathSettings().clientRoot, "G:\\Client\\\\");
}

TEST(ClientPathText, FileNameAndExtension) {
  EXPECT_EQ(FileNameOf("a/b\\c.dds"), "c.dds");
  EXPECT_EQ(FileNameOf("a\\b\\"), "");
  EXPECT_EQ(FileNameOf("a/b/"), "");
  EXPECT_EQ(FileNameOf("name.gr2"), "name.gr2");
  EXPECT_EQ(FileNameOf(""), "");

  EXPECT_EQ(ExtensionOf("x.tar.GZ"), ".GZ");
  EXPECT_EQ(ExtensionOf("name."), "");
  EXPECT_EQ(ExtensionOf("name"), "");
  EXPECT_EQ(ExtensionOf("a.b\\c"), ".b\\c");
}

TEST(ClientPathText, LowerTrimAndClean) {
  EXPECT_EQ(ToLowerCopy("AbC\\D:\xC4\xE9"), "abc\\d:\xC4\xE9");
  EXPECT_EQ(TrimCopy(" \t\r\n x y \v\f"), "x y");
  EXPECT_EQ(TrimCopy(" \t "), "");
  EXPECT_EQ(TrimCopy("\xA0x"), "\xA0x");

  EXPECT_EQ(CleanPathValue("  \" d:/ymir work/a b.dds \"  "), " d:\\ymir work\\a b.dds ");
  EXPECT_EQ(CleanPathValue("\"\"x\"\""), "\"x\"");
  EXPECT_EQ(CleanPathValue(" \" "), "");
  EXPECT_EQ(CleanPathValue("a/b"), "a\\b");
}

TEST_F(ClientPathsTest, FileExistsAndEnsureDirectoryOnDisk) {
  testenv::ScopedTempDir dir("paths");
  SetClientRoot(dir.path());

  const std::string folder = dir.path() + "Item\\Weapon";
  EXPECT_FALSE(FileExists("d:/ymir work/item/weapon/00010.gr2"));
  EXPECT_TRUE(EnsureDirectory(dir.path() + "Item/Weapon/"));
  EXPECT_TRUE(EnsureDirectory(folder));
  EXPECT_FALSE(FileExists(folder));
  EXPECT_FALSE(FileExists("d:/ymir work/item/weapon"));

  platform::File file = platform::File::CreateForWrite(folder + "\\00010.gr2");
  ASSERT_TRUE(file.IsOpen());
  file.Close();
  EXPECT_TRUE(FileExists("d:/ymir work/Item/Weapon/00010.gr2"));
  EXPECT_TRUE(FileExists(folder + "\\00010.gr2"));

  // A file in the way is not a folder, whatever "already exists" says.
  EXPECT_FALSE(EnsureDirectory(folder + "\\00010.gr2"));
  EXPECT_TRUE(EnsureDirectory(""));
}

TEST(ClientPathDefaults, MirrorRootAndAppDataDir) {
#ifdef _WIN32
  EXPECT_EQ(DefaultMirrorRoot(), "D:\\ymir work\\");
#else
  EXPECT_EQ(DefaultMirrorRoot(), "");
#endif
  const std::string appData = GetAppDataDir();
  EXPECT_EQ(ToLowerCopy(appData), ToLowerCopy(testenv::UserDataFolder()));
  const std::uint32_t attributes = platform::GetFileAttributes(appData);
  ASSERT_NE(attributes, platform::kInvalidAttributes);
  EXPECT_NE(attributes & platform::kAttributeDirectory, 0u);
}

}  // namespace
