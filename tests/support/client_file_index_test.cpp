#include "support/client_file_index.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "platform/platform.hpp"
#include "support/client_paths.hpp"
#include "support/plain_walk_index.hpp"
#include "support/test_environment.hpp"

namespace {

void Touch(const std::string& root, const std::string& relative) {
  const std::string path = root + relative;
  const std::size_t separator = path.find_last_of('\\');
  platform::CreateFolderWithParents(path.substr(0, separator));
  platform::File file = platform::File::CreateForWrite(path);
  ASSERT_TRUE(file.IsOpen()) << path;
}

class ClientFileIndexTest : public ::testing::Test {
 protected:
  std::string Root() const { return dir_.path() + "Client"; }
  testenv::ScopedTempDir dir_{"index"};
  ClientFileIndex index_;
};

TEST_F(ClientFileIndexTest, RulesAnswerInOrder) {
  const std::string root = Root() + "\\";
  Touch(root, "Root.DDS");
  Touch(root, "Item\\Weapon\\00010.GR2");
  Touch(root, "a\\item\\weapon\\x\\y.dds");
  Touch(root, "b\\item\\weapon\\y.dds");
  Touch(root, "b\\shared.dds");
  Touch(root, "a\\shared.dds");
  index_.Build(Root() + "/");

  EXPECT_EQ(index_.Size(), 6u);
  EXPECT_EQ(index_.Root(), Root());
  // Root files have an empty folder part and are found by name.
  EXPECT_EQ(index_.Resolve("", "root.dds"), root + "Root.DDS");
  EXPECT_EQ(index_.Resolve("\\/", "ROOT.dds"), root + "Root.DDS");
  // Exact, with the hint's case and slashes normalised; the path keeps the listing's spelling.
  EXPECT_EQ(index_.Resolve("/ITEM/weapon/", "00010.gr2"), root + "Item\\Weapon\\00010.GR2");
  // Last folder component.
  EXPECT_EQ(index_.Resolve("weapon", "00010.gr2"), root + "Item\\Weapon\\00010.GR2");
  EXPECT_EQ(index_.Resolve("weapon", "y.dds"), root + "b\\item\\weapon\\y.dds");
  // Deepest containing folder.
  EXPECT_EQ(index_.Resolve("item\\weapon", "y.dds"), root + "a\\item\\weapon\\x\\y.dds");
  EXPECT_EQ(index_.Resolve("em\\wea", "Y.DDS"), root + "a\\item\\weapon\\x\\y.dds");
  // Nothing contains the hint: first by name in key order.
  EXPECT_EQ(index_.Resolve("armor", "shared.dds"), root + "a\\shared.dds");
  EXPECT_EQ(index_.FindByName("SHARED.DDS"), root + "a\\shared.dds");
  for (const char* hint : {"", "item\\weapon", "weapon", "nowhere"}) {
    EXPECT_EQ(index_.Resolve(hint, "absent.dds"), "") << hint;
  }
  EXPECT_EQ(index_.FindByName("absent.dds"), "");
  EXPECT_EQ(index_.FindByName("weapon\\00010.gr2"), "");

  // An exact key beats the deeper containing folder (the file lands in the existing Item\Weapon).
  Touch(root, "item\\weapon\\y.dds");
  index_.Build(Root());
  EXPECT_EQ(index_.Resolve("item\\weapon", "y.dds"), root + "Item\\Weapon\\y.dds");
}

TEST_F(ClientFileIndexTest, AnotherRootReplacesTheOldClientsFiles) {
  const std::string first = dir_.path() + "first\\";
  const std::string second = dir_.path() + "second\\";
  Touch(first, "item\\common.dds");
  Touch(first, "item\\only_first.dds");
  Touch(second, "item\\common.dds");
  index_.Build(first);
  EXPECT_EQ(index_.Resolve("item", "common.dds"), first + "item\\common.dds");

  index_.Build(second);
  EXPECT_EQ(index_.Resolve("item", "common.dds"), second + "item\\common.dds");
  EXPECT_EQ(index_.FindByName("only_first.dds"), "");
  EXPECT_EQ(index_.Size(), 1u);

  // The same root (any case, any slashes) adds to what is there and keeps first paths.
  Touch(second, "item\\later.dds");
  index_.Build(testenv::Lower(dir_.path()) + "SECOND/");
  EXPECT_EQ(index_.Size(), 2u);
  EXPECT_EQ(index_.Resolve("item", "common.dds"), second + "item\\common.dds");

  // An empty root is no root at all; a missing one is a switch to a client without files.
  index_.Build("");
  EXPECT_EQ(index_.Size(), 2u);
  index_.Build(dir_.path() + "missing");
  EXPECT_EQ(index_.FindByName("common.dds"), "");
  index_.Clear();
  EXPECT_EQ(index_.Size(), 0u);
}

TEST_F(ClientFileIndexTest, LookupsMatchThePlainWalkOnTreesWithManySameNamedFiles) {
  const std::vector<std::string> folders = {"item", "Weapon", "pc",      "effect", "x",
                                            "tem",  "a",      "monster", "WEAPON2"};
  const std::vector<std::string> names = {"00010.gr2", "Tex.dds", "y.dds", "body.GR2", "shadow.dds"};
  std::vector<std::string> hints = {"",        "\\",      "item",      "weapon",    "Item\\Weapon",
                                    "em\\wea", "x",       "a\\x",      "pc/effect", "nowhere",
                                    "tem",     "weapon2", "monster\\", "e",         "\\a\\"};
  for (unsigned seed = 1; seed <= 3; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const std::string root = dir_.path() + "tree" + std::to_string(seed) + "\\";
    std::set<std::string> folderSet;
    for (int i = 0; i < 200; ++i) {
      std::string folder;
      const int depth = static_cast<int>(random() % 5);
      for (int d = 0; d < depth; ++d) folder += folders[random() % folders.size()] + "\\";
      if (!folder.empty()) folderSet.insert(folder.substr(0, folder.size() - 1));
      Touch(root, folder + names[random() % names.size()]);
    }
    ClientFileIndex index;
    index.Build(root);
    testenv::PlainWalkIndex plain;
    plain.Build(root);

    std::vector<std::string> allHints = hints;
    allHints.insert(allHints.end(), folderSet.begin(), folderSet.end());
    std::vector<std::string> allNames = names;
    allNames.push_back("MISSING.dds");
    allNames.push_back("TEX.DDS");
    for (const std::string& name : allNames) {
      ASSERT_EQ(index.FindByName(name), plain.FindByName(name)) << name;
      for (const std::string& hint : allHints) {
        ASSERT_EQ(index.Resolve(hint, name), plain.Resolve(hint, name)) << hint << " | " << name;
      }
    }
  }
}

TEST_F(ClientFileIndexTest, LookupsDuringRebuildsSeeAWholeCatalogue) {
  const std::string first = dir_.path() + "one\\";
  const std::string second = dir_.path() + "two\\";
  for (int i = 0; i < 50; ++i) {
    Touch(first, "f" + std::to_string(i % 7) + "\\file" + std::to_string(i) + ".dds");
    Touch(second, "f" + std::to_string(i % 7) + "\\file" + std::to_string(i) + ".dds");
  }
  index_.Build(first);
  std::atomic<bool> stop{false};
  std::atomic<int> misses{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t) {
    readers.emplace_back([&, t] {
      for (int i = 0; !stop; ++i) {
        const std::string name = "file" + std::to_string((i + t) % 50) + ".dds";
        const std::string found = index_.Resolve("f" + std::to_string(((i + t) % 50) % 7), name);
        const std::string byName = index_.FindByName(name);
        if (found.empty() || byName.empty()) ++misses;
      }
    });
  }
  for (int i = 0; i < 20; ++i) index_.Build(i % 2 ? first : second);
  stop = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(misses, 0);
}

TEST_F(ClientFileIndexTest, ProcessWideIndexAndRelativeKeys) {
  const std::string root = Root() + "\\";
  Touch(root, "npc\\Guard\\guard.gr2");
  BuildClientFileIndex(root);
  EXPECT_EQ(Resolve("guard", "GUARD.gr2"), root + "npc\\Guard\\guard.gr2");
  EXPECT_EQ(FindByName("guard.gr2"), root + "npc\\Guard\\guard.gr2");
  GetClientFileIndex().Clear();
  EXPECT_EQ(FindByName("guard.gr2"), "");

  const std::string saved = GetPathSettings().clientRoot;
  GetPathSettings().clientRoot = "G:\\Client\\";
  EXPECT_EQ(RelativeKey("g:/client/Item\\Weapon"), "item\\weapon");
  EXPECT_EQ(RelativeKey("G:\\Client\\"), "");
  EXPECT_EQ(RelativeKey("E:\\Other\\X"), "e:\\other\\x");
  GetPathSettings().clientRoot = saved;
}

}  // namespace
