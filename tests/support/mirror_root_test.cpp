#include "support/mirror_root.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "log/gui_log.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"
#include "support/test_environment.hpp"

namespace {

class MirrorRootTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = GetPathSettings().mirrorRoot; }
  void TearDown() override {
    GetPathSettings().mirrorRoot = saved_;
    PrepareMirrorRoot();
  }
  std::string saved_;
  testenv::ScopedTempDir dir_{"mirror"};
};

std::size_t GuiLogSize() { return GuiLogSnapshot().size(); }

TEST_F(MirrorRootTest, EmptyRootMakesNoCopies) {
  GetPathSettings().mirrorRoot.clear();
  const std::size_t before = GuiLogSize();
  PrepareMirrorRoot();
  EXPECT_FALSE(MirrorCopiesEnabled());
  EXPECT_EQ(MirrorDestination("item\\x.dds"), "");
  EXPECT_EQ(GuiLogSize(), before);
}

TEST_F(MirrorRootTest, ExistingDriveGivesContainedDestinations) {
  GetPathSettings().mirrorRoot = dir_.path() + "ymir work\\";
  PrepareMirrorRoot();
  EXPECT_TRUE(MirrorCopiesEnabled());
  EXPECT_EQ(MirrorDestination("item/weapon/00010.dds"), dir_.path() + "ymir work\\item\\weapon\\00010.dds");
  EXPECT_EQ(MirrorDestination("..\\..\\Windows\\x.dds"), "");
  EXPECT_EQ(MirrorDestination("C:\\x.dds"), "");
}

TEST_F(MirrorRootTest, MissingDriveSkipsTheWholeRunWithOneWarning) {
  std::string missing;
  for (char letter = 'Y'; letter >= 'D' && missing.empty(); --letter) {
    const std::string drive = std::string(1, letter) + ":\\";
    if (platform::GetFileAttributes(drive) == platform::kInvalidAttributes) missing = drive;
  }
  ASSERT_FALSE(missing.empty()) << "every drive letter exists here";
  GetPathSettings().mirrorRoot = missing + "ymir work\\";
  PrepareMirrorRoot();
  for (int i = 0; i < 100; ++i) EXPECT_EQ(MirrorDestination("item\\x" + std::to_string(i) + ".dds"), "");
  const std::string warning = "[WARN] Mirror drive " + missing + " not found: copies below " + missing +
                              "ymir work\\ skipped for this run.";
  const std::vector<GuiLogEntry> entries = GuiLogSnapshot();
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries.back().text, warning);
  EXPECT_EQ(entries.back().level, GuiLogWarning);
  EXPECT_EQ(
      std::count_if(entries.begin(), entries.end(), [&](const GuiLogEntry& e) { return e.text == warning; }),
      1);

  // The next run looks again.
  GetPathSettings().mirrorRoot = dir_.path();
  PrepareMirrorRoot();
  EXPECT_TRUE(MirrorCopiesEnabled());
}

}  // namespace
