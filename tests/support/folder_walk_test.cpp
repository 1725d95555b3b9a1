#include "support/folder_walk.hpp"

#include <gtest/gtest.h>

#include <thread>

#include "pipeline/pipeline_state.hpp"
#include "readers/msm_parser.hpp"
#include "support/client_file_index.hpp"
#include "support/export_files.hpp"
#include "support/file_operations.hpp"
#include "support/test_environment.hpp"

namespace {

using testenv::FilesBelow;
using testenv::WriteFile;

class FolderWalkTest : public ::testing::Test {
 protected:
  testenv::ScopedTempDir temp_{"walk"};
  std::string root_ = temp_.path() + "client";
  std::string client_ = root_ + "\\";
  std::string copy_ = temp_.path() + "copy";
};

TEST_F(FolderWalkTest, LinkLoopsEndAndEveryFileIsMetOnce) {
  WriteFile(client_ + "msm\\warrior_m.msm", "x");
  WriteFile(client_ + "msm\\item_list.txt", "x");
  if (!testenv::MakeLink(root_, client_ + "msm\\a", true) ||
      !testenv::MakeLink(client_ + "msm", client_ + "msm\\b", true)) {
    GTEST_SKIP() << "symbolic links cannot be made here";
  }
  EXPECT_EQ(FindStandardMsmFiles(client_).size(), 1u);
  ClientFileIndex index;
  index.Build(client_);
  EXPECT_EQ(index.Size(), 2u);
  EXPECT_TRUE(CopyDirectoryRecursive(root_, copy_));
  EXPECT_EQ(FilesBelow(copy_), (std::set<std::string>{"msm\\item_list.txt", "msm\\warrior_m.msm"}));
}

TEST_F(FolderWalkTest, LinksLeadingOutOfTheClientAreNeitherListedNorCopied) {
  WriteFile(temp_.path() + "outside\\secret.dds", "secret");
  WriteFile(client_ + "real\\tex.dds", "tex");
  if (!testenv::MakeLink(temp_.path() + "outside\\secret.dds", client_ + "x.dds", false) ||
      !testenv::MakeLink(temp_.path() + "outside", client_ + "etc", true) ||
      !testenv::MakeLink(client_ + "real\\tex.dds", client_ + "inner.dds", false) ||
      !testenv::MakeLink(client_ + "real", client_ + "alias", true)) {
    GTEST_SKIP() << "symbolic links cannot be made here";
  }
  testenv::DebugLogCapture log;
  ClientFileIndex index;
  index.Build(client_);
  const std::vector<std::string> lines = log.Lines();
  EXPECT_EQ(std::count_if(
                lines.begin(), lines.end(),
                [](const std::string& line) { return line.find("outside the client") != std::string::npos; }),
            2);
  EXPECT_EQ(index.FindByName("secret.dds"), "");
  EXPECT_EQ(index.FindByName("inner.dds"), client_ + "inner.dds");
  // The link comes before the folder it names, which is then not entered a second time.
  EXPECT_EQ(index.Resolve("alias", "tex.dds"), client_ + "alias\\tex.dds");
  EXPECT_TRUE(CopyDirectoryRecursive(root_, copy_));
  EXPECT_EQ(FilesBelow(copy_), (std::set<std::string>{"alias\\tex.dds", "inner.dds"}));

  // A walk that starts outside its boundary enters none of the folders there.
  WriteFile(temp_.path() + "outside\\sub\\deep.dds", "deep");
  std::vector<std::string> met;
  std::vector<std::string> refused;
  FolderWalkVisitor visitor;
  visitor.onFile = [&met](const std::string& path, std::string_view, const platform::DirEntry&) {
    met.push_back(path);
  };
  WalkFolder(temp_.path() + "outside", visitor, root_,
             [&refused](const std::string& path, const std::string&) { refused.push_back(path); });
  EXPECT_EQ(met, std::vector<std::string>{temp_.path() + "outside\\secret.dds"});
  EXPECT_EQ(refused, std::vector<std::string>{temp_.path() + "outside\\sub"});

  // Data paths name files without the index, and a link may be swapped in after the look-up.
  testenv::ScopedRunRoots roots(client_, temp_.path() + "out", "");
  EXPECT_EQ(ResolveSource("x.dds", "x.dds"), "");
  EXPECT_EQ(ResolveSource("inner.dds", "inner.dds"), client_ + "inner.dds");
  EXPECT_EQ(CopyBelowRoot(client_ + "x.dds", temp_.path() + "out", "x.dds", "", "copy:"),
            CopyOutcome::Failed);
  EXPECT_TRUE(FilesBelow(temp_.path() + "out").empty());
}

TEST_F(FolderWalkTest, AStopEndsTheWalkAndTheIndexBuild) {
  for (int i = 0; i < 8; ++i) WriteFile(client_ + "d" + std::to_string(i) + "\\f.dds", "x");
  int met = 0;
  FolderWalkVisitor visitor;
  visitor.onFile = [&](const std::string&, std::string_view, const platform::DirEntry&) {
    // STOP comes from another thread, as the GUI's button and the console's Ctrl+C do.
    if (met++ == 0) std::thread([] { GetPipelineState().stopRequested.store(true); }).join();
  };
  const FolderWalkResult result = WalkFolder(root_, visitor);
  ClientFileIndex index;
  index.Build(client_);
  GetPipelineState().stopRequested.store(false);
  EXPECT_TRUE(result.stopped);
  EXPECT_EQ(met, 1);
  EXPECT_EQ(index.Size(), 0u);
}

}  // namespace
