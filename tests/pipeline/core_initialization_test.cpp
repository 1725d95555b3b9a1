#include "pipeline/core_initialization.hpp"

#include <gtest/gtest.h>

#include <string>

#include "exporters/export_test_helpers.hpp"
#include "pipeline/pipeline_runner.hpp"
#include "platform/platform.hpp"
#include "support/client_paths.hpp"
#include "support/test_environment.hpp"

namespace {

using exporttest::ReadFile;
using exporttest::WriteFile;

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

TEST_F(EmbeddedFiles, StartWritesOnlyWhatIsMissingAndNeverOverwrites) {
  WriteFile(lists_ + ReferenceListFileName(210), "edited by the user");
  WriteEmbeddedFiles(app_);
  EXPECT_EQ(ReadFile(app_ + "\\" + GrannyRuntimeFileName()), runtime_);
  EXPECT_EQ(ReadFile(lists_ + "npclist_old.txt"), npc_);
  EXPECT_EQ(ReadFile(lists_ + ReferenceListFileName(210)), "edited by the user");
  EXPECT_EQ(exporttest::FilesBelow(lists_).size(), 2u);

  ASSERT_TRUE(platform::DeleteFile(lists_ + ReferenceListFileName(210)));
  WriteFile(app_ + "\\" + GrannyRuntimeFileName(), "a runtime the user dropped in");
  WriteEmbeddedFiles(app_);
  EXPECT_EQ(ReadFile(lists_ + ReferenceListFileName(210)), warrior_);
  EXPECT_EQ(ReadFile(app_ + "\\" + GrannyRuntimeFileName()), "a runtime the user dropped in");
}

}  // namespace
