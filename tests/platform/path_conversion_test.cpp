#include <gtest/gtest.h>

#include "platform/platform.hpp"

namespace {

#ifndef _WIN32
TEST(PlatformPaths, PosixFileSystemIsDriveZBothWays) {
  EXPECT_EQ(platform::ToInternalPath("/home/me/client"), "Z:\\home\\me\\client");
  EXPECT_EQ(platform::ToInternalPath("/"), "Z:\\");
  EXPECT_EQ(platform::ToInternalPath("/home//me/"), "Z:\\home\\me\\");
  EXPECT_EQ(platform::ToInternalPath("npc/guard.gr2"), "npc\\guard.gr2");
  // A path field that already holds a drive path keeps it (and so stays on that drive).
  EXPECT_EQ(platform::ToInternalPath("d:/ymir work/x.dds"), "d:\\ymir work\\x.dds");

  EXPECT_EQ(platform::ToNativePath("z:/home/me"), std::optional<std::string>("/home/me"));
  EXPECT_EQ(platform::ToNativePath("Z:"), std::optional<std::string>("/"));
  EXPECT_EQ(platform::ToNativePath("\\npc\\guard.gr2"), std::optional<std::string>("/npc/guard.gr2"));

  // Other drives and shares have no POSIX form (so the layer fails them at once).
  for (const char* elsewhere : {"D:\\ymir work\\a.dds", "c:\\", "C:", "\\\\server\\share\\a.dds"})
    EXPECT_FALSE(platform::ToNativePath(elsewhere)) << elsewhere;
  // Back and forth gives the same path.
  for (const std::string native : {"/a/b c/d.gr2", "/", "/tmp/x/", "rel/a", "/\xc3\xa8/x"}) {
    EXPECT_EQ(platform::ToNativePath(platform::ToInternalPath(native)), std::optional<std::string>(native));
  }
}

#else
TEST(PlatformPaths, LongPathFormPrefixesDrivesAndShares) {
  EXPECT_EQ(platform::LongPathForm("C:\\a\\b.gr2"), "\\\\?\\C:\\a\\b.gr2");
  EXPECT_EQ(platform::LongPathForm("C:/a/b.gr2"), "\\\\?\\C:\\a\\b.gr2");
  EXPECT_EQ(platform::LongPathForm("\\\\server\\share\\a.gr2"), "\\\\?\\UNC\\server\\share\\a.gr2");
  EXPECT_EQ(platform::LongPathForm("\\\\?\\C:\\x"), "\\\\?\\C:\\x");
  // The prefix would make a relative path name something else entirely.
  EXPECT_EQ(platform::LongPathForm("a\\b"), "a\\b");
}
#endif

}  // namespace
