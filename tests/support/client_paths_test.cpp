#include "support/client_paths.hpp"

#include <gtest/gtest.h>

#include <array>

#include "support/test_environment.hpp"

namespace {

TEST(ClientPathsTest, PrefixStrippingAndResolution) {
  testenv::ScopedRunRoots roots("", "", "");
  SetClientRoot("G:/Client");
  ASSERT_EQ(GetPathSettings().clientRoot, "G:\\Client\\");
  // path, stripped, resolved
  const std::vector<std::array<std::string, 3>> cases = {
      {"d:/ymir work/item/weapon/00010.gr2", "item\\weapon\\00010.gr2",
       "G:\\Client\\item\\weapon\\00010.gr2"},
      // Only the test is case-insensitive; the remainder keeps its spelling.
      {"D:\\Ymir Work\\Monster\\Boss.GR2", "Monster\\Boss.GR2", "G:\\Client\\Monster\\Boss.GR2"},
      {"\\\\\\npc\\guard.gr2", "\\\\\\npc\\guard.gr2", "G:\\Client\\npc\\guard.gr2"},
      {"npc/guard.gr2", "npc\\guard.gr2", "G:\\Client\\npc\\guard.gr2"},
      {"E:\\other\\x.dds", "E:\\other\\x.dds", "E:\\other\\x.dds"},
      // Without all thirteen bytes of the prefix a D: path is absolute.
      {"d:/ymir/x.dds", "d:\\ymir\\x.dds", "d:\\ymir\\x.dds"},
      {"d:\\ymir work", "d:\\ymir work", "d:\\ymir work"},
      {"d:\\ymir workx\\a", "d:\\ymir workx\\a", "d:\\ymir workx\\a"},
      {"d:\\ymir work\\", "", "G:\\Client\\"}};
  for (const auto& c : cases) {
    EXPECT_EQ(StripGameRootPrefix(c[0]), c[1]) << c[0];
    EXPECT_EQ(ResolveClientPath(c[0]), c[2]) << c[0];
  }
  SetClientRoot("");
  EXPECT_EQ(ResolveClientPath("d:/ymir work/\\npc/a.gr2"), "\\npc\\a.gr2");
  SetOutputRoot("C:/out/models//");
  EXPECT_EQ(GetPathSettings().outputRoot, "C:\\out\\models");
  SetOutputRoot("\\/\\");
  EXPECT_EQ(GetPathSettings().outputRoot, "");
}

}  // namespace
