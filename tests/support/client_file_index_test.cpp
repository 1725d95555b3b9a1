#include "support/client_file_index.hpp"

#include <gtest/gtest.h>

#include <random>

#include "support/plain_walk_index.hpp"
#include "support/test_environment.hpp"

namespace {

// An empty file below `root`, with the folders on the way.
void Touch(const std::string& root, const std::string& relative) { testenv::WriteFile(root + relative, ""); }

class ClientFileIndexTest : public ::testing::Test {
 protected:
  testenv::ScopedTempDir dir_{"index"};
  ClientFileIndex index_;
};

TEST_F(ClientFileIndexTest, NamesTheDataSpellsInWindows1252MeetTheirListedNames) {
  // The data's "h\xe4user a" and "gro\xdf" are Windows-1252 bytes; listings give names in UTF-8
  // (Windows) or as the disk holds them (POSIX, where either form may be there).
  const std::string root = dir_.path() + "Client\\";
  Touch(root, "pc\\h\xe4user a\\x.dds");
  Touch(root, "pc\\Gro\xc3\x9f.dds");
  Touch(root, "a\\x.dds");  // what a lookup falls back to when the folder is missed
#ifdef _WIN32
  const std::string house = root + "pc\\h\xc3\xa4user a\\x.dds";
#else
  const std::string house = root + "pc\\h\xe4user a\\x.dds";
#endif
  const std::string big = root + "pc\\Gro\xc3\x9f.dds";
  index_.Build(root);
  EXPECT_EQ(index_.Resolve("PC\\h\xe4user A", "X.dds"), house);
  EXPECT_EQ(index_.Resolve("h\xe4user a", "x.dds"), house);
  EXPECT_EQ(index_.Resolve("pc", "gro\xdf.DDS"), big);
  EXPECT_EQ(index_.FindByName("GRO\xdf.DDS"), big);
  // Data that already holds UTF-8 meets the same files.
  EXPECT_EQ(index_.Resolve("pc\\h\xc3\xa4user a", "x.dds"), house);
  EXPECT_EQ(index_.FindByName("gro\xc3\x9f.dds"), big);
  EXPECT_TRUE(platform::File::OpenForRead(house).IsOpen());
}

TEST_F(ClientFileIndexTest, AnotherRootReplacesTheOldClientsFiles) {
  const std::string first = dir_.path() + "first\\", second = dir_.path() + "second\\";
  Touch(first, "item\\common.dds");
  Touch(first, "item\\only_first.dds");
  Touch(second, "item\\common.dds");
  index_.Build(first);
  index_.Build(second);
  EXPECT_EQ(index_.Resolve("item", "common.dds"), second + "item\\common.dds");
  EXPECT_EQ(index_.FindByName("only_first.dds"), "");

  // The same root, spelled otherwise, adds to what is there; a missing one is a client without files.
  Touch(second, "item\\later.dds");
  index_.Build(testenv::Lower(dir_.path()) + "SECOND/");
  EXPECT_EQ(index_.Size(), 2u);
  index_.Build(dir_.path() + "missing");
  EXPECT_EQ(index_.FindByName("common.dds"), "");
}

TEST_F(ClientFileIndexTest, LookupsMatchThePlainWalkOnTreesWithManySameNamedFiles) {
  const std::vector<std::string> folders = {"item", "Weapon", "pc", "effect", "x", "tem", "a", "WEAPON2"};
  const std::vector<std::string> names = {"00010.gr2", "Tex.dds", "y.dds", "body.GR2", "MISSING.dds"};
  // The last tree is large enough to be catalogued in several batches, with enough distinct names
  // to be ordered on two threads.
  for (unsigned seed = 1; seed <= 4; ++seed) {
    std::mt19937 random(seed);
    const std::string root = dir_.path() + "tree" + std::to_string(seed) + "\\";
    std::set<std::string> hints = {"",          "\\",      "Item\\Weapon", "em\\wea", "a\\x",
                                   "pc/effect", "nowhere", "\\a\\",        "e"};
    for (int i = 0; i < (seed == 4 ? 9000 : 200); ++i) {
      std::string folder;
      for (int d = static_cast<int>(random() % 5); d > 0; --d)
        folder += folders[random() % folders.size()] + "\\";
      if (i < 200) hints.insert(folder);
      const std::string shared = names[random() % (names.size() - 1)];
      Touch(root, folder + (seed == 4 && i % 2 == 0 ? "u" + std::to_string(i) + ".dds" : shared));
    }
    ClientFileIndex index;
    index.Build(root);
    testenv::PlainWalkIndex plain;
    plain.Build(root);
    std::vector<std::string> asked = names;
    if (seed == 4) asked.insert(asked.end(), {"U0.dds", "u4242.DDS", "u4243.dds"});
    for (const std::string& name : asked) {
      ASSERT_EQ(index.FindByName(name), plain.FindByName(name)) << name;
      for (const std::string& hint : hints)
        ASSERT_EQ(index.Resolve(hint, name), plain.Resolve(hint, name))
            << seed << " | " << hint << " | " << name;
    }
  }
}

}  // namespace
