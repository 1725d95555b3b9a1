#include "granny2/gr2_mesh_reader.hpp"

#include <gtest/gtest.h>

#include "support/test_models.hpp"

namespace {

bool Read(const std::string& bytes, granny2::ModelContent& content, std::string& error) {
  return granny2::ReadGr2Content(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), content,
                                 error);
}

TEST(Gr2MeshReader, EveryLayoutReadsBackTheWrittenGeometryExactly) {
  const Gr2TestModel model = TwoMeshModel();
  for (Gr2WriteOptions options : {Gr2WriteOptions{6}, Gr2WriteOptions{7}, Gr2WriteOptions{7, true}}) {
    SCOPED_TRACE("v" + std::to_string(options.version) + (options.is64Bit ? " 64" : " 32"));
    granny2::ModelContent content;
    std::string error;
    ASSERT_TRUE(Read(BuildGr2Model(model, options), content, error)) << error;
    ASSERT_EQ(content.meshes.size(), 2u);
    for (std::size_t m = 0; m < 2; ++m) {
      const Gr2TestMesh& in = model.meshes[m];
      const granny2::Mesh& out = content.meshes[m];
      EXPECT_EQ(out.name, in.name);
      EXPECT_EQ(out.hasBoneWeights, in.layout == Gr2VertexLayout::Skinned);
      EXPECT_TRUE(out.hasNormals && out.hasUvs);
      ASSERT_EQ(out.vertices.size(), in.vertices.size());
      for (std::size_t v = 0; v < in.vertices.size(); ++v) {
        EXPECT_EQ(out.vertices[v].position, in.vertices[v].position) << v;
        EXPECT_EQ(out.vertices[v].normal, in.vertices[v].normal) << v;
        EXPECT_EQ(out.vertices[v].uv, in.vertices[v].uv) << v;
        if (!out.hasBoneWeights) continue;
        EXPECT_EQ(out.vertices[v].boneWeights, in.vertices[v].boneWeights) << v;
        for (int k = 0; k < 4; ++k) EXPECT_EQ(out.vertices[v].boneIndices[k], in.vertices[v].boneIndices[k]);
      }
      EXPECT_EQ(out.indices, in.indices);
      ASSERT_EQ(out.groups.size(), in.groups.size());
      for (std::size_t g = 0; g < in.groups.size(); ++g) {
        EXPECT_EQ(out.groups[g].materialIndex, in.groups[g][0]);
        EXPECT_EQ(out.groups[g].triFirst, std::uint32_t(in.groups[g][1]));
        EXPECT_EQ(out.groups[g].triCount, std::uint32_t(in.groups[g][2]));
      }
      EXPECT_EQ(out.boneBindings, in.boneBindings);
      ASSERT_EQ(out.materials.size(), in.materialTextures.size());
      for (std::size_t b = 0; b < out.materials.size(); ++b)
        EXPECT_EQ(content.materials.at(out.materials[b]).diffuseTexture, in.materialTextures[b]);
    }
    ASSERT_EQ(content.models.size(), 1u);
    EXPECT_EQ(content.models[0].meshes, (std::vector<int>{0, 1}));
    ASSERT_EQ(content.models[0].bones.size(), 2u);
    const granny2::Bone& spine = content.models[0].bones[1];
    EXPECT_EQ(spine.name, "Spine");
    EXPECT_EQ(spine.parentIndex, 0);
    EXPECT_EQ(spine.transform.flags, 7u);
    EXPECT_EQ(spine.transform.position, model.bones[1].position);
    EXPECT_EQ(spine.transform.orientation, model.bones[1].orientation);
    EXPECT_EQ(spine.inverseWorldTransform, model.bones[1].inverseWorld);
    EXPECT_TRUE(content.axes.present);
    EXPECT_EQ(content.axes.up, (std::array<float, 3>{0, 0, 1}));
  }
}

TEST(Gr2MeshReader, GeometryThatPointsOutOfRangeIsRefusedWithTheReason) {
  const std::pair<void (*)(Gr2TestModel&), const char*> cases[] = {
      {[](Gr2TestModel& m) { m.meshes[0].indices[4] = 9; },
       "mesh 0: triangle index 9 past the mesh's 4 vertices"},
      {[](Gr2TestModel& m) { m.meshes[1].indices.push_back(0); }, "4 triangle indices, not a multiple of 3"},
      {[](Gr2TestModel& m) {
         m.meshes[0].groups[1] = {1, 1, 2};
       },
       "triangle group 1+2 past the 2 triangles"},
      {[](Gr2TestModel& m) { m.meshes[0].vertices[3].boneIndices[0] = 2; }, "bone index 2 past the mesh's 2"},
      {[](Gr2TestModel& m) { m.bones[0].parent = 1; },
       "bone 0 names parent 1, which does not come before it"},
  };
  for (const auto& [change, reason] : cases) {
    Gr2TestModel model = TwoMeshModel();
    change(model);
    granny2::ModelContent content;
    std::string error;
    EXPECT_FALSE(Read(BuildGr2Model(model), content, error)) << reason;
    EXPECT_NE(error.find(reason), std::string::npos) << error;
  }
}

}  // namespace
