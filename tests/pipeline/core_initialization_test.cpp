#include "pipeline/core_initialization.hpp"

#include <gtest/gtest.h>

#include "filters/filter_manager.hpp"
#include "filters/reference_folder.hpp"
#include "pipeline/pipeline_runner.hpp"
#include "support/granny_analyzer.hpp"
#include "support/test_environment.hpp"

namespace {

using testenv::ReadFile;
using testenv::WriteFile;

// A table like the executables' one, short: the runtime, two lists (one binary) and an empty entry.
class EmbeddedFiles : public testing::Test {
 protected:
  EmbeddedFiles() {
    SetEmbeddedResources(EmbeddedResourceTable{entries_, sizeof(entries_) / sizeof(entries_[0])});
  }
  ~EmbeddedFiles() override { SetEmbeddedResources(EmbeddedResourceTable{}); }

  static const unsigned char* Bytes(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
  }

  const std::string runtime_ = "runtime";
  const std::string warrior_ = std::string("list\0 210\r\n", 11);  // the zero byte must survive
  const std::string npc_ = "list 219\r\n";
  const EmbeddedResource entries_[4] = {{kResourceGrannyRuntime, "granny2", Bytes(runtime_), runtime_.size()},
                                        {210, ReferenceListFileName(210), Bytes(warrior_), warrior_.size()},
                                        {219, ReferenceListFileName(219), Bytes(npc_), npc_.size()},
                                        {299, "empty", Bytes(runtime_), 0}};
  testenv::ScopedTempDir temp_{"embedded"};
  std::string app_ = temp_.path() + "app";
  std::string lists_ = app_ + "\\standard_filters\\";
};

TEST_F(EmbeddedFiles, StartReplacesACutRuntimeAndEmptyListsButKeepsEditedLists) {
  // What a first start on a full disk left, and a list the user edited since.
  WriteFile(app_ + "\\" + GrannyRuntimeFileName(), runtime_.substr(0, 3));
  WriteFile(lists_ + "npclist_old.txt", "");
  WriteFile(lists_ + ReferenceListFileName(210), "edited by the user");
  const EmbeddedFilePlaces places = WriteEmbeddedFiles(app_, temp_.path() + "user");
  EXPECT_EQ(ReadFile(places.runtimePath), runtime_);
  EXPECT_FALSE(places.inUserFolder);
  EXPECT_EQ(ReadFile(lists_ + "npclist_old.txt"), npc_);
  EXPECT_EQ(ReadFile(lists_ + ReferenceListFileName(210)), "edited by the user");
  EXPECT_EQ(testenv::FilesBelow(app_).size(), 3u);  // no temporary file stays behind
}

TEST_F(EmbeddedFiles, AWriteThatRunsOutOfSpaceLeavesNoCutFileUnderTheFinalName) {
  DiskInterface fullDisk = RealDiskInterface();
  fullDisk.write = [](platform::File& file, const void* data, std::size_t size) {
    file.Write(data, size / 2);
    return false;
  };
  const std::string runtime = WriteFile(app_ + "\\" + GrannyRuntimeFileName(), "an older runtime");
  EXPECT_FALSE(ExtractResourceToFile(kResourceGrannyRuntime, runtime, fullDisk));
  EXPECT_EQ(ReadFile(runtime), "an older runtime");
  EXPECT_EQ(testenv::FilesBelow(app_).size(), 1u);
}

// A system-wide install: nothing can be created in the program folder (a file stands in the way of
// its path, which stops even root). The real runtime and an old list show that what start-up puts in
// the per-user folder is what gets used.
TEST_F(EmbeddedFiles, ReadOnlyProgramFolderFallsBackToTheUserFolderForWritingAndReading) {
  const std::string runtime = ReadFile(testenv::BuiltRuntimePath());
  const std::string oldList = "Group ShapeData01\n{\n\tModel \"old_body.gr2\"\n}\n";
  const EmbeddedResource real[] = {{kResourceGrannyRuntime, "granny2", Bytes(runtime), runtime.size()},
                                   {210, ReferenceListFileName(210), Bytes(oldList), oldList.size()}};
  SetEmbeddedResources(EmbeddedResourceTable{real, 2});

  const std::string program = WriteFile(temp_.path() + "install", "a file") + "\\app";
  const std::string user = temp_.path() + "user\\";
  platform::CreateSingleFolder(user);
  const EmbeddedFilePlaces places = WriteEmbeddedFiles(program, user);
  EXPECT_TRUE(places.inUserFolder);
  EXPECT_EQ(places.runtimePath, user + GrannyRuntimeFileName());
  GrannyAnalyzer::Shutdown();
  GrannyAnalyzer::Initialize(places.runtimePath);
  EXPECT_TRUE(GrannyAnalyzer::IsInitialized());
  GrannyAnalyzer::Shutdown();

  FilterManager filter;
  filter.LoadOldMsm(ReferenceFolderIn(program, user));
  MsmGroupRecord old;
  old.groupName = "ShapeData01";
  old.modelPath = "d:\\ymir work\\pc\\old_body.gr2";
  EXPECT_TRUE(filter.ShouldSkipGroup(old));

  // The program folder's own lists come first once it has them.
  platform::CreateFolderWithParents(lists_);
  EXPECT_EQ(ReferenceFolderIn(app_, user) + "\\", lists_);
}

}  // namespace
