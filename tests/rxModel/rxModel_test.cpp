// Model instances: geometry and tags from files, attachment, the draw list, saving.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "ConsoleCapture.h"
#include "GltfFixture.h"
#include "rxsh.h"

namespace {

using nlohmann::json;
using Matrix = std::array<float, 16>;

constexpr Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Matrix Translation(float x, float y, float z) { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1}; }

// Row-vector point transform: (x, y, z, 1) * m.
std::array<float, 3> Apply(const float* m, std::array<float, 3> p) {
  std::array<float, 3> out;
  for (int c = 0; c < 3; ++c) out[size_t(c)] = p[0] * m[c] + p[1] * m[4 + c] + p[2] * m[8 + c] + m[12 + c];
  return out;
}

void ExpectNear(std::array<float, 3> actual, std::array<float, 3> expected, const char* what) {
  for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-5f) << what << " [" << i << "]";
}

// Destroys on scope exit, and clears the frame's draws.
struct Model {
  explicit Model(void* h = nullptr) : handle(h) {}
  ~Model() { kivQModel_DestroyModel(&handle); }
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;
  void* handle;
};

void* Load(const std::string& path) {
  void* model = nullptr;
  EXPECT_EQ(kivQModel_LoadModel(path.c_str(), &model), S_OK) << path;
  return model;
}

void* Create(std::vector<float> positions, std::vector<uint32_t> indices,
             std::vector<kivQModelTagInfo> tags = {}) {
  kivQModelMesh mesh{};
  mesh.positions = positions.data();
  mesh.vertexCount = static_cast<uint32_t>(positions.size() / 3);
  mesh.indices = indices.data();
  mesh.triangleCount = static_cast<uint32_t>(indices.size() / 3);
  mesh.color[0] = 0.25f;
  mesh.color[1] = 0.5f;
  mesh.color[2] = 0.75f;
  mesh.color[3] = 1.0f;
  void* model = nullptr;
  EXPECT_EQ(kivQModel_CreateModel(&mesh, tags.data(), static_cast<int>(tags.size()), &model), S_OK);
  return model;
}

kivQModelTagInfo TagAt(const char* name, const Matrix& placement) {
  kivQModelTagInfo tag{name, {}};
  std::memcpy(tag.placement, placement.data(), sizeof tag.placement);
  return tag;
}

class Draws : public ::testing::Test {
 protected:
  void SetUp() override { kivQModel_ClearDraws(); }
  void TearDown() override {
    kivQModel_ClearDraws();
    while (kivQShader_GetDepth() > 0) kivQShader_PopMatrix();
  }
};

TEST(ModelFile, OneTriangleWithATag) {
  ModelFolder folder;
  Model m(Load(folder.Write(TriangleDoc())));
  DWORD vertices = 0, triangles = 0;
  EXPECT_EQ(kivQModel_GetModelInfo(m.handle, &vertices, &triangles), S_OK);
  EXPECT_EQ(vertices, 3u);
  EXPECT_EQ(triangles, 1u);
  std::array<float, 3> lo, hi;
  EXPECT_EQ(kivQModel_GetInstBoxI(m.handle, lo.data(), hi.data()), S_OK);
  ExpectNear(lo, {0, 0, 0}, "minimum");
  ExpectNear(hi, {1, 1, 0}, "maximum");

  kivQModelMesh mesh;
  ASSERT_EQ(kivQModel_GetMesh(m.handle, &mesh), S_OK);
  for (uint32_t v = 0; v < 3; ++v) ExpectNear({mesh.normals[3 * v], mesh.normals[3 * v + 1], mesh.normals[3 * v + 2]},
                                              {0, 0, 1}, "normal computed from the winding");
  EXPECT_EQ(mesh.indices[2], 2u);

  int tag = -7;
  EXPECT_EQ(kivQModel_FindTag(m.handle, "tag_top", &tag), S_OK);
  EXPECT_EQ(tag, 0);
  kivQModelTagInfo info;
  ASSERT_EQ(kivQModel_GetTag(m.handle, 0, &info), S_OK);
  EXPECT_STREQ(info.name, "tag_top");
  ExpectNear(Apply(info.placement, {0, 0, 0}), {0, 2, 0}, "tag origin");
  EXPECT_EQ(kivQModel_FindTag(m.handle, "tag_none", &tag), E_FAIL);
  EXPECT_EQ(tag, -1);
  EXPECT_EQ(kivQModel_FindTag(m.handle, "body", &tag), E_FAIL) << "only tag_ nodes are tags";
}

TEST(ModelFile, NodeTransformsComposeDownTheTree) {
  ModelFolder folder;
  json doc = TriangleDoc();
  const double h = std::sqrt(0.5);
  // The body: scaled by 2, turned a quarter about +y (x goes to -z), moved by (10, 0, 0).
  doc["nodes"][0]["scale"] = {2, 2, 2};
  doc["nodes"][0]["rotation"] = {0, h, 0, h};
  doc["nodes"][0]["translation"] = {10, 0, 0};
  Model m(Load(folder.Write(doc)));
  kivQModelMesh mesh;
  ASSERT_EQ(kivQModel_GetMesh(m.handle, &mesh), S_OK);
  ExpectNear({mesh.positions[3], mesh.positions[4], mesh.positions[5]}, {10, 0, -2}, "vertex (1, 0, 0)");
  ExpectNear({mesh.positions[6], mesh.positions[7], mesh.positions[8]}, {10, 2, 0}, "vertex (0, 1, 0)");
  ExpectNear({mesh.normals[0], mesh.normals[1], mesh.normals[2]}, {1, 0, 0}, "normal turned with the body");
  kivQModelTagInfo tag;
  ASSERT_EQ(kivQModel_GetTag(m.handle, 0, &tag), S_OK);
  ExpectNear(Apply(tag.placement, {0, 0, 0}), {10, 4, 0}, "tag below the body");
  ExpectNear(Apply(tag.placement, {1, 0, 0}), {10, 4, -2}, "tag axes turn with the body");
}

TEST(ModelFile, NodeMatrixIsCopiedNotTransposed) {
  ModelFolder folder;
  json doc = TriangleDoc();
  doc["nodes"][1].erase("translation");
  doc["nodes"][1]["matrix"] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1};  // column-major: a move by (5,6,7)
  Model m(Load(folder.Write(doc)));
  kivQModelTagInfo tag;
  ASSERT_EQ(kivQModel_GetTag(m.handle, 0, &tag), S_OK);
  EXPECT_EQ(tag.placement[12], 5.0f);
  EXPECT_EQ(tag.placement[13], 6.0f);
  EXPECT_EQ(tag.placement[14], 7.0f);
  EXPECT_EQ(tag.placement[3], 0.0f);
}

TEST(ModelFile, FirstOfDuplicateTagNamesWins) {
  ModelFolder folder;
  json doc = TriangleDoc();
  doc["nodes"][0]["children"] = {1, 2, 3};
  doc["nodes"][1]["name"] = "tag_dup";
  doc["nodes"].push_back({{"name", "tag_other"}});
  doc["nodes"].push_back({{"name", "tag_dup"}, {"translation", {9, 9, 9}}});
  Model m(Load(folder.Write(doc)));
  int count = 0, index = -1;
  EXPECT_EQ(kivQModel_GetTagCount(m.handle, &count), S_OK);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(kivQModel_FindTag(m.handle, "tag_dup", &index), S_OK);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(kivQModel_FindTag(m.handle, "tag_other", &index), S_OK);
  EXPECT_EQ(index, 1);
}

TEST(ModelFile, SavedModelLoadsBackTheSameInBothForms) {
  TempDir dir;
  Model made(Create({0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4}, {0, 1, 2, 0, 2, 3, 0, 3, 1},
                    {TagAt("tag_a", Translation(1, 2, 3)), TagAt("tag_b", kIdentity)}));
  const Matrix turned = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  ASSERT_EQ(kivQModel_SetTagMatrix(made.handle, 1, const_cast<float*>(turned.data())), S_OK);
  for (const char* name : {"copy.gltf", "copy.glb"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(kivQModel_SaveModel(made.handle, dir.File(name).c_str()), S_OK);
    Model back(Load(dir.File(name)));
    kivQModelMesh a, b;
    kivQModel_GetMesh(made.handle, &a);
    kivQModel_GetMesh(back.handle, &b);
    ASSERT_EQ(b.vertexCount, a.vertexCount);
    ASSERT_EQ(b.triangleCount, a.triangleCount);
    EXPECT_EQ(std::memcmp(b.positions, a.positions, 3 * sizeof(float) * a.vertexCount), 0);
    EXPECT_EQ(std::memcmp(b.normals, a.normals, 3 * sizeof(float) * a.vertexCount), 0);
    EXPECT_EQ(std::memcmp(b.indices, a.indices, 3 * sizeof(uint32_t) * a.triangleCount), 0);
    EXPECT_EQ(std::memcmp(b.color, a.color, sizeof a.color), 0);
    int count = 0;
    kivQModel_GetTagCount(back.handle, &count);
    ASSERT_EQ(count, 2);
    kivQModelTagInfo tag;
    kivQModel_GetTag(back.handle, 0, &tag);
    EXPECT_STREQ(tag.name, "tag_a");
    EXPECT_EQ(std::memcmp(tag.placement, Translation(1, 2, 3).data(), sizeof tag.placement), 0);

    // The tag matrix set before saving places a child as before.
    Model child(Create({0, 0, 0}, {}));
    kivQModel_AttachModel(back.handle, "tag_b", child.handle);
    kivQModel_ClearDraws();
    kivQModel_Render(back.handle, nullptr, -1.0f, 0, 0);
    ASSERT_EQ(kivQModel_GetDrawCount(), 2u);
    EXPECT_EQ(std::memcmp(kivQModel_GetDraws()[1].world, turned.data(), sizeof turned), 0);
    kivQModel_ClearDraws();
  }
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"copy.glb", "copy.gltf"})) << "no temporary left behind";
}

TEST(ModelHandles, NullMeansNothingToDoAndZeros) {
  DWORD first = 5, second = 5;
  EXPECT_EQ(kivQModel_GetModelInfo(nullptr, &first, &second), E_FAIL);
  EXPECT_EQ(first, 0u);
  EXPECT_EQ(second, 0u);
  float lo[3] = {1, 1, 1}, hi[3] = {1, 1, 1};
  EXPECT_EQ(kivQModel_GetInstBoxI(nullptr, lo, hi), E_FAIL);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(lo[i] == 0 && hi[i] == 0);
  int tag = 5, count = 5;
  EXPECT_EQ(kivQModel_FindTag(nullptr, "tag_rotor", &tag), E_FAIL);
  EXPECT_EQ(tag, -1);
  EXPECT_EQ(kivQModel_GetTagCount(nullptr, &count), E_FAIL);
  EXPECT_EQ(count, 0);
  float matrix[16] = {};
  EXPECT_EQ(kivQModel_SetTagMatrix(nullptr, 0, matrix), E_FAIL);
  kivQModel_ClearDraws();
  EXPECT_EQ(kivQModel_Render(nullptr, nullptr, -1.0f, 0, 0), E_FAIL);
  EXPECT_EQ(kivQModel_GetDrawCount(), 0u);
  kivQModelMesh mesh;
  std::memset(&mesh, 0xFF, sizeof mesh);
  EXPECT_EQ(kivQModel_GetMesh(nullptr, &mesh), E_FAIL);
  EXPECT_EQ(mesh.vertexCount, 0u);
  EXPECT_EQ(mesh.positions, nullptr);
  kivQModelTagInfo info{"x", {1}};
  EXPECT_EQ(kivQModel_GetTag(nullptr, 0, &info), E_FAIL);
  EXPECT_EQ(info.name, nullptr);
  EXPECT_EQ(kivQModel_AttachModel(nullptr, "tag_rotor", nullptr), E_FAIL);
  EXPECT_EQ(kivQModel_SaveModel(nullptr, "/tmp/never.gltf"), E_FAIL);
  void* slot = nullptr;
  EXPECT_EQ(kivQModel_DestroyModel(&slot), E_FAIL);
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(kivQModel_DestroyModel(nullptr), E_FAIL);
  int notAModel = 0;
  void* foreign = &notAModel;
  EXPECT_EQ(kivQModel_GetModelInfo(foreign, &first, &second), E_FAIL) << "a handle this library did not make";
  EXPECT_EQ(kivQModel_DestroyModel(&foreign), E_FAIL);
}

TEST(ModelHandles, CreateRefusesBrokenGeometry) {
  const float nan = std::nanf("");
  const float positions[6] = {0, 0, 0, nan, 0, 0};
  const uint32_t indices[3] = {0, 1, 5};
  kivQModelMesh mesh{};
  mesh.positions = positions;
  mesh.vertexCount = 2;
  void* model = &mesh;
  EXPECT_EQ(kivQModel_CreateModel(&mesh, nullptr, 0, &model), E_FAIL) << "not a number";
  EXPECT_EQ(model, nullptr);
  mesh.vertexCount = 1;
  mesh.indices = indices;
  mesh.triangleCount = 1;
  EXPECT_EQ(kivQModel_CreateModel(&mesh, nullptr, 0, &model), E_FAIL) << "index out of range";
  mesh.triangleCount = 0;
  const kivQModelTagInfo unnamed{nullptr, {}};
  EXPECT_EQ(kivQModel_CreateModel(&mesh, &unnamed, 1, &model), E_FAIL);
  EXPECT_EQ(kivQModel_CreateModel(&mesh, nullptr, 1, &model), E_FAIL);
  EXPECT_EQ(kivQModel_CreateModel(nullptr, nullptr, 0, &model), E_FAIL);
}

TEST_F(Draws, RenderUsesTheTopOfTheMatrixStack) {
  Model m(Create({0, 0, 0}, {}));
  const Matrix world = Translation(4, 5, 6);
  kivQShader_PushMatrix(const_cast<float*>(world.data()));
  ASSERT_EQ(kivQModel_Render(m.handle, nullptr, -1.0f, 0, 3), S_OK);
  ASSERT_EQ(kivQModel_GetDrawCount(), 1u);
  const kivQModelDraw& draw = kivQModel_GetDraws()[0];
  EXPECT_EQ(draw.model, m.handle);
  EXPECT_EQ(draw.skin, 3);
  EXPECT_EQ(std::memcmp(draw.world, world.data(), sizeof world), 0);
  kivQModel_ClearDraws();
  EXPECT_EQ(kivQModel_GetDrawCount(), 0u);
}

TEST_F(Draws, AttachedChildIsDrawnUnderTagMatrixTimesPlacementTimesParent) {
  Model parent(Create({0, 0, 0}, {}, {TagAt("tag_rotor", Translation(0, 9.5f, 0))}));
  Model child(Create({0, 0, 0}, {}));
  ASSERT_EQ(kivQModel_AttachModel(parent.handle, "tag_rotor", child.handle), S_OK);
  const Matrix quarterTurn = {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1};  // +x to -z
  int tag = -1;
  ASSERT_EQ(kivQModel_FindTag(parent.handle, "tag_rotor", &tag), S_OK);
  ASSERT_EQ(kivQModel_SetTagMatrix(parent.handle, tag, const_cast<float*>(quarterTurn.data())), S_OK);
  const Matrix world = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 100, 0, 0, 1};  // doubled, moved by (100, 0, 0)
  kivQShader_PushMatrix(const_cast<float*>(world.data()));
  ASSERT_EQ(kivQModel_Render(parent.handle, nullptr, -1.0f, 0, 1), S_OK);
  ASSERT_EQ(kivQModel_GetDrawCount(), 2u);
  const kivQModelDraw* draws = kivQModel_GetDraws();
  EXPECT_EQ(draws[0].model, parent.handle);
  EXPECT_EQ(draws[1].model, child.handle);
  EXPECT_EQ(draws[1].skin, 1);
  // A blade tip at (1, 0, 0): turned to (0, 0, -1), raised to the tag, then doubled and moved.
  ExpectNear(Apply(draws[1].world, {1, 0, 0}), {100, 19, -2}, "child point");
  ExpectNear(Apply(draws[1].world, {0, 0, 0}), {100, 19, 0}, "child origin");
}

TEST_F(Draws, TagMatrixIndexOutOfRangeChangesNothing) {
  Model parent(Create({0, 0, 0}, {}, {TagAt("tag_rotor", Translation(0, 1, 0))}));
  Model child(Create({0, 0, 0}, {}));
  kivQModel_AttachModel(parent.handle, "tag_rotor", child.handle);
  Matrix junk;
  junk.fill(9.0f);
  for (int index : {-1, 1, 1000}) EXPECT_EQ(kivQModel_SetTagMatrix(parent.handle, index, junk.data()), E_FAIL) << index;
  EXPECT_EQ(kivQModel_SetTagMatrix(parent.handle, 0, nullptr), E_FAIL);
  kivQModel_Render(parent.handle, nullptr, -1.0f, 0, 0);
  ASSERT_EQ(kivQModel_GetDrawCount(), 2u);
  EXPECT_EQ(std::memcmp(kivQModel_GetDraws()[1].world, Translation(0, 1, 0).data(), sizeof(Matrix)), 0);
}

TEST_F(Draws, AttachmentRefusesMissingTagsAndCycles) {
  Model a(Create({0, 0, 0}, {}, {TagAt("tag_x", kIdentity)}));
  Model b(Create({0, 0, 0}, {}, {TagAt("tag_x", kIdentity)}));
  EXPECT_EQ(kivQModel_AttachModel(a.handle, "tag_missing", b.handle), E_FAIL);
  EXPECT_EQ(kivQModel_AttachModel(a.handle, nullptr, b.handle), E_FAIL);
  EXPECT_EQ(kivQModel_AttachModel(a.handle, "tag_x", a.handle), E_FAIL);
  ASSERT_EQ(kivQModel_AttachModel(a.handle, "tag_x", b.handle), S_OK);
  EXPECT_EQ(kivQModel_AttachModel(b.handle, "tag_x", a.handle), E_FAIL) << "a would draw itself";
  EXPECT_EQ(kivQModel_Render(a.handle, nullptr, -1.0f, 0, 0), S_OK);
  EXPECT_EQ(kivQModel_GetDrawCount(), 2u);
}

TEST_F(Draws, ReattachingMovesTheChild) {
  Model first(Create({0, 0, 0}, {}, {TagAt("tag_x", kIdentity)}));
  Model second(Create({0, 0, 0}, {}, {TagAt("tag_x", kIdentity)}));
  Model child(Create({0, 0, 0}, {}));
  kivQModel_AttachModel(first.handle, "tag_x", child.handle);
  kivQModel_AttachModel(first.handle, "tag_x", child.handle);
  kivQModel_AttachModel(second.handle, "tag_x", child.handle);
  kivQModel_Render(first.handle, nullptr, -1.0f, 0, 0);
  EXPECT_EQ(kivQModel_GetDrawCount(), 1u);
  kivQModel_Render(second.handle, nullptr, -1.0f, 0, 0);
  EXPECT_EQ(kivQModel_GetDrawCount(), 3u);
}

TEST_F(Draws, DestroyingEitherSideDetaches) {
  Model parent(Create({0, 0, 0}, {}, {TagAt("tag_x", kIdentity)}));
  void* child = Create({0, 0, 0}, {});
  kivQModel_AttachModel(parent.handle, "tag_x", child);
  kivQModel_Render(parent.handle, nullptr, -1.0f, 0, 0);
  ASSERT_EQ(kivQModel_GetDrawCount(), 2u);
  EXPECT_EQ(kivQModel_DestroyModel(&child), S_OK);
  EXPECT_EQ(child, nullptr) << "the slot is cleared";
  EXPECT_EQ(kivQModel_GetDrawCount(), 1u) << "the destroyed model's draw is gone";
  kivQModel_ClearDraws();
  kivQModel_Render(parent.handle, nullptr, -1.0f, 0, 0);
  EXPECT_EQ(kivQModel_GetDrawCount(), 1u);

  Model orphan(Create({0, 0, 0}, {}));
  void* parent2 = Create({0, 0, 0}, {}, {TagAt("tag_x", kIdentity)});
  kivQModel_AttachModel(parent2, "tag_x", orphan.handle);
  kivQModel_DestroyModel(&parent2);
  kivQModel_ClearDraws();
  EXPECT_EQ(kivQModel_Render(orphan.handle, nullptr, -1.0f, 0, 0), S_OK);
  EXPECT_EQ(kivQModel_GetDrawCount(), 1u);
}

TEST_F(Draws, FullDrawListRefusesMoreDraws) {
  Model m(Create({0, 0, 0}, {}));
  for (size_t i = 0; i < kivQModel_MaxDraws; ++i) ASSERT_EQ(kivQModel_Render(m.handle, nullptr, -1.0f, 0, 0), S_OK);
  EXPECT_EQ(kivQModel_Render(m.handle, nullptr, -1.0f, 0, 0), E_FAIL);
  EXPECT_EQ(kivQModel_GetDrawCount(), kivQModel_MaxDraws);
}

}  // namespace
