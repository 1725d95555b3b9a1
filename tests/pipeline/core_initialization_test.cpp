#include "pipeline/core_initialization.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exporters/export_test_helpers.hpp"
#include "pipeline/pipeline_runner.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"

namespace {

std::string Read(const std::string& path) {
  std::string contents;
  platform::ReadWholeFile(path, contents);
  return contents;
}

// A table like the executables' one, with the contents each test expects to find on disk.
class EmbeddedFiles : public testing::Test {
 protected:
  EmbeddedFiles() {
    contents_.push_back(std::string("runtime\0bytes", 13));  // binary: the zero byte must survive
    for (int id = kResourceFirstReferenceList; id <= kResourceLastReferenceList; ++id) {
      contents_.push_back(std::string("list ") + std::to_string(id) + "\r\n");
    }
    entries_.push_back({kResourceGrannyRuntime, "granny2", Bytes(0), contents_[0].size()});
    for (int id = kResourceFirstReferenceList; id <= kResourceLastReferenceList; ++id) {
      const std::size_t i = static_cast<std::size_t>(id - kResourceFirstReferenceList + 1);
      entries_.push_back({id, ReferenceListFileName(id), Bytes(i), contents_[i].size()});
    }
    entries_.push_back({299, "empty", Bytes(0), 0});
    SetEmbeddedResources(EmbeddedResourceTable{entries_.data(), entries_.size()});
  }
  ~EmbeddedFiles() override { SetEmbeddedResources(EmbeddedResourceTable{}); }

  const unsigned char* Bytes(std::size_t i) const {
    return reinterpret_cast<const unsigned char*>(contents_[i].data());
  }
  std::string ListPath(int id) const {
    return temp_.Join(std::string("standard_filters\\") + ReferenceListFileName(id));
  }

  exporttest::TempFolder temp_;
  std::vector<std::string> contents_;
  std::vector<EmbeddedResource> entries_;
};

TEST_F(EmbeddedFiles, FirstStartWritesTheRuntimeAndElevenListsByteForByte) {
  WriteEmbeddedFiles(temp_.path());
  EXPECT_EQ(Read(temp_.Join(GrannyRuntimeFileName())), contents_[0]);
  std::vector<platform::DirEntry> lists;
  ASSERT_TRUE(platform::ListDirectory(temp_.Join("standard_filters"), lists));
  EXPECT_EQ(lists.size(), 11u);
  for (int id = kResourceFirstReferenceList; id <= kResourceLastReferenceList; ++id) {
    EXPECT_EQ(Read(ListPath(id)), contents_[static_cast<std::size_t>(id - kResourceFirstReferenceList + 1)]);
  }
  EXPECT_STREQ(ReferenceListFileName(219), "npclist_old.txt");
  EXPECT_STREQ(ReferenceListFileName(220), "wolfman_m_old.msm");
}

TEST_F(EmbeddedFiles, LaterStartsRestoreOnlyWhatIsMissingAndNeverOverwrite) {
  WriteEmbeddedFiles(temp_.path());
  temp_.WriteFile("standard_filters\\warrior_m_old.msm", "edited by the user");
  temp_.WriteFile(GrannyRuntimeFileName(), "a runtime the user dropped in");
  ASSERT_TRUE(platform::DeleteFile(ListPath(219)));

  WriteEmbeddedFiles(temp_.path());
  EXPECT_EQ(Read(temp_.Join("standard_filters\\warrior_m_old.msm")), "edited by the user");
  EXPECT_EQ(Read(temp_.Join(GrannyRuntimeFileName())), "a runtime the user dropped in");
  EXPECT_EQ(Read(ListPath(219)), "list 219\r\n");
}

TEST_F(EmbeddedFiles, AFileNamedLikeTheListFolderBlocksOnlyTheLists) {
  temp_.WriteFile("standard_filters", "not a folder");
  WriteEmbeddedFiles(temp_.path());
  EXPECT_EQ(Read(temp_.Join("standard_filters")), "not a folder");
  EXPECT_EQ(Read(temp_.Join(GrannyRuntimeFileName())), contents_[0]);
}

TEST_F(EmbeddedFiles, ExtractionFailsForUnknownOrEmptyResourcesAndMissingFolders) {
  EXPECT_FALSE(ExtractResourceToFile(202, temp_.Join("unknown.bin")));
  EXPECT_FALSE(ExtractResourceToFile(299, temp_.Join("empty.bin")));
  EXPECT_EQ(platform::GetFileAttributes(temp_.Join("unknown.bin")), platform::kInvalidAttributes);
  EXPECT_EQ(platform::GetFileAttributes(temp_.Join("empty.bin")), platform::kInvalidAttributes);
  EXPECT_FALSE(ExtractResourceToFile(210, temp_.Join("no\\such\\folder\\x.msm")));
  EXPECT_TRUE(ExtractResourceToFile(210, temp_.Join("x.msm")));
  SetEmbeddedResources(EmbeddedResourceTable{});
  EXPECT_FALSE(ExtractResourceToFile(210, temp_.Join("y.msm")));
}

TEST(CorePathFields, BareDriveRootsShowAsEmptyFields) {
  const PathSettings saved = GetPathSettings();
  GetPathSettings().clientRoot = "D:\\";
  GetPathSettings().outputRoot = "e:";
  FillPathFields();
  EXPECT_STREQ(ClientPathText(), "");
  EXPECT_STREQ(OutputPathText(), "");
  GetPathSettings().clientRoot = "D:/Games/Client\\";
  GetPathSettings().outputRoot = "D:\\x";
  FillPathFields();
  EXPECT_STREQ(ClientPathText(), "D:\\Games\\Client\\");
  EXPECT_STREQ(OutputPathText(), "D:\\x");
  GetPathSettings() = saved;
  FillPathFields();
}

}  // namespace
