// samples/demo_client is what the README's main job runs on. Its models are made by the test GR2
// writer; VINTREL_WRITE_DEMO_MODELS=1 writes them again after a change of the list below.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.hpp"
#include "support/gr2_writer.hpp"

namespace {

struct DemoModel {
  const char* path;  // below the demo client
  std::vector<std::string> textures;
};

const std::vector<DemoModel>& DemoModels() {
  static const std::vector<DemoModel> models = {
      {"pc\\warrior\\warrior_m_body_07.gr2",
       {"d:\\ymir work\\pc\\warrior\\warrior_m_body_07.dds",
        "d:\\ymir work\\pc\\warrior\\warrior_m_body_07_gloss.dds"}},
      {"pc\\warrior\\hair\\warrior_m_hair_21.gr2",
       {"d:\\ymir work\\pc\\warrior\\hair\\warrior_m_hair_21.dds"}},
      // Not where the script says: the export finds it by name through the client file index.
      {"patch\\warrior_m_hair_23.gr2", {"d:\\ymir work\\pc\\warrior\\hair\\warrior_m_hair_23.dds"}},
      {"pc2\\assassin\\assassin_w_body_05.gr2",
       {"d:\\ymir work\\pc2\\assassin\\assassin_w_body_05.dds",
        "d:\\ymir work\\pc2\\assassin\\assassin_w_body_05_cape.dds"}},
      {"pc2\\assassin\\hair\\assassin_w_hair_30.gr2",
       {"d:\\ymir work\\pc2\\assassin\\hair\\assassin_w_hair_30.dds"}},
  };
  return models;
}

std::string DemoClient() { return platform::ToInternalPath(VINTREL_SOURCE_DIR) + "\\samples\\demo_client"; }

TEST(DemoClient, ModelsAreTheWriterOutputForTheirTextureLists) {
  const bool rewrite = platform::GetEnvironmentVariable("VINTREL_WRITE_DEMO_MODELS").value_or("") == "1";
  for (const DemoModel& model : DemoModels()) {
    const std::string path = DemoClient() + "\\" + model.path;
    if (rewrite) {
      const std::size_t cut = path.rfind('\\');
      platform::CreateFolderWithParents(path.substr(0, cut));
      ASSERT_TRUE(WriteGr2File(path, model.textures, 1)) << path;
    }
    std::string bytes;
    ASSERT_TRUE(platform::ReadWholeFile(path, bytes)) << path;
    EXPECT_EQ(bytes, BuildGr2(model.textures, 1)) << path << ": run with VINTREL_WRITE_DEMO_MODELS=1";
  }
}

}  // namespace
