// The tower's committed models: what the generator makes now, and loadable with the
// tags, counts and looks that the tower and the renderer rely on.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "TempDir.h"
#include "rxModel.h"

namespace {

const std::string kData = ACTTOWER_DATA_DIR;
const std::vector<std::string> kFiles = {"tower.gltf",       "tower_1.gltf",       "tower_2.gltf",
                                         "tower_rotor.gltf", "tower_rotor_1.gltf", "tower_rotor_2.gltf"};

std::string Level(const char* name, int level) {
  return kData + "/" + name + (level > 0 ? "_" + std::to_string(level) : "") + ".gltf";
}

struct Loaded {
  explicit Loaded(const std::string& path) { EXPECT_EQ(kivQModel_LoadModel(path.c_str(), &handle), S_OK) << path; }
  ~Loaded() { kivQModel_DestroyModel(&handle); }
  Loaded(const Loaded&) = delete;
  Loaded& operator=(const Loaded&) = delete;
  kivQModelMesh Mesh() const {
    kivQModelMesh mesh{};
    kivQModel_GetMesh(handle, &mesh);
    return mesh;
  }
  void* handle = nullptr;
};

TEST(TowerModels, CommittedFilesAreWhatTheGeneratorMakes) {
  TempDir out;
  const std::string command = std::string("\"") + TOWERMODELS_PROGRAM + "\" \"" + out.Path().string() + "\" >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::vector<std::string> sorted = kFiles;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(out.Entries(), sorted);
  for (const std::string& file : kFiles) {
    const std::string committed = ReadFile(kData + "/" + file);
    ASSERT_FALSE(committed.empty()) << file << " is not committed";
    EXPECT_TRUE(ReadFile(out.File(file)) == committed)
        << file << " differs from the generator's output; rebuild the target tower-models and commit data/";
  }
}

TEST(TowerModels, TowerLevelsCarryTheRotorTagAtTheTopOfTheHead) {
  DWORD previous = ~0u;
  for (int level = 0; level < 3; ++level) {
    SCOPED_TRACE(level);
    Loaded tower(Level("tower", level));
    int count = 0, index = -1;
    kivQModel_GetTagCount(tower.handle, &count);
    EXPECT_EQ(count, 1);
    ASSERT_EQ(kivQModel_FindTag(tower.handle, "tag_rotor", &index), S_OK);
    kivQModelTagInfo tag;
    ASSERT_EQ(kivQModel_GetTag(tower.handle, index, &tag), S_OK);
    std::array<float, 3> lo, hi;
    kivQModel_GetInstBoxI(tower.handle, lo.data(), hi.data());
    EXPECT_EQ(lo[1], 0.0f) << "stands on its origin";
    EXPECT_EQ(tag.placement[13], hi[1]) << "the tag sits on the top of the head";
    EXPECT_EQ(tag.placement[12], 0.0f);
    EXPECT_EQ(tag.placement[14], 0.0f);
    DWORD vertices = 0, triangles = 0;
    kivQModel_GetModelInfo(tower.handle, &vertices, &triangles);
    EXPECT_LT(triangles, previous) << "each level is coarser";
    previous = triangles;
  }
}

TEST(TowerModels, RotorLevelsHaveNoTagsAndGetCoarser) {
  DWORD previous = ~0u;
  for (int level = 0; level < 3; ++level) {
    SCOPED_TRACE(level);
    Loaded rotor(Level("tower_rotor", level));
    int count = -1;
    kivQModel_GetTagCount(rotor.handle, &count);
    EXPECT_EQ(count, 0);
    DWORD vertices = 0, triangles = 0;
    kivQModel_GetModelInfo(rotor.handle, &vertices, &triangles);
    EXPECT_LT(triangles, previous);
    previous = triangles;
    std::array<float, 3> lo, hi;
    kivQModel_GetInstBoxI(rotor.handle, lo.data(), hi.data());
    EXPECT_GT(hi[0] - lo[0], 5.0f) << "blades reach well past the head";
  }
}

TEST(TowerModels, FarLevelIsMuchCoarserAndColoursTellBodyFromRotor) {
  for (const char* name : {"tower", "tower_rotor"}) {
    Loaded fine(Level(name, 0)), coarse(Level(name, 2));
    EXPECT_LE(coarse.Mesh().triangleCount * 3, fine.Mesh().triangleCount) << name;
  }
  Loaded tower(Level("tower", 0)), rotor(Level("tower_rotor", 0));
  const kivQModelMesh a = tower.Mesh(), b = rotor.Mesh();
  float distance = 0;
  for (int c = 0; c < 3; ++c) distance += (a.color[c] - b.color[c]) * (a.color[c] - b.color[c]);
  EXPECT_GT(std::sqrt(distance), 0.5f);
  for (const kivQModelMesh& mesh : {a, b})
    for (uint32_t v = 0; v < mesh.vertexCount; ++v) {
      const float* n = mesh.normals + 3 * v;
      ASSERT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0f, 1e-3f) << "vertex " << v;
    }
}

}  // namespace
