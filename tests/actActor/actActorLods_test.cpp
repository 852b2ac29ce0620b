// Levels of detail through the actor library: counting, loading, saving, folders.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ConsoleCapture.h"
#include "TempDir.h"
#include "actActor.h"
#include "rxModel.h"

namespace {

struct LodClass : kivActorClass {
  using kivActorClass::CountLods;
  using kivActorClass::LoadLods;
  using kivActorClass::SaveLods;
};

const std::string kData = ACTTOWER_DATA_DIR;

class Lods : public ::testing::Test {
 protected:
  void SetUp() override {
    kivActorLib_SetModelDir(models.Path().c_str());
    kivActorLib_SetSaveDir(saves.File("saved").c_str());
  }
  void TearDown() override {
    kivActorLib_SetModelDir(nullptr);
    kivActorLib_SetSaveDir(nullptr);
  }
  void Put(const std::string& file, const std::string& from = "tower.gltf") {
    std::filesystem::copy_file(kData + "/" + from, models.File(file));
  }
  static void Destroy(void** handles, int count) {
    for (int i = 0; i < count; ++i) kivQModel_DestroyModel(&handles[i]);
  }

  TempDir models, saves;
  LodClass cls;
};

TEST(LodFolders, StartAtTheCurrentFolderWithNoSaveFolder) {
  EXPECT_STREQ(kivActorLib_GetModelDir(), ".");
  EXPECT_STREQ(kivActorLib_GetSaveDir(), "");
  kivActorLib_SetModelDir("/somewhere");
  EXPECT_STREQ(kivActorLib_GetModelDir(), "/somewhere");
  kivActorLib_SetModelDir("");
  EXPECT_STREQ(kivActorLib_GetModelDir(), ".");
}

TEST_F(Lods, CountStopsAtTheFirstMissingLevelAndAtTheLimit) {
  const struct {
    std::vector<std::string> files;
    int max;
    int expected;
  } cases[] = {
      {{}, 3, 0},
      {{"tower.gltf"}, 3, 1},
      {{"tower.gltf", "tower_1.gltf", "tower_2.gltf"}, 3, 3},
      {{"tower.gltf", "tower_1.gltf", "tower_2.gltf", "tower_3.gltf"}, 3, 3},
      {{"tower.gltf", "tower_1.gltf", "tower_2.gltf"}, 2, 2},
      {{"tower.gltf", "tower_1.gltf"}, 0, 0},
      {{"tower.gltf", "tower_2.gltf"}, 3, 1},
      {{"tower_1.gltf", "tower_2.gltf"}, 3, 0},
      {{"tower.glb", "tower_1.gltf"}, 3, 2},
  };
  for (const auto& c : cases) {
    TempDir folder;
    for (const std::string& f : c.files) std::filesystem::copy_file(kData + "/tower.gltf", folder.File(f));
    kivActorLib_SetModelDir(folder.Path().c_str());
    EXPECT_EQ(cls.CountLods("tower", c.max), c.expected) << c.files.size() << " files, max " << c.max;
  }
}

TEST_F(Lods, CountRefusesNamesThatLeaveTheFolder) {
  Put("tower.gltf");
  std::filesystem::create_directory(models.File("sub"));
  Put("sub/tower.gltf");
  for (const char* name : {"../tower", "sub/tower", "", "tower.gltf", "tow er"})
    EXPECT_EQ(cls.CountLods(name, 3), 0) << name;
  EXPECT_EQ(cls.CountLods(nullptr, 3), 0);
  std::filesystem::create_directory(models.File("rotor.gltf"));
  EXPECT_EQ(cls.CountLods("rotor", 3), 0) << "a folder is not a model file";
}

TEST_F(Lods, LoadFillsTheCountedSlots) {
  kivActorLib_SetModelDir(kData.c_str());
  void* set[3] = {nullptr, nullptr, nullptr};
  ASSERT_EQ(cls.CountLods("tower", 3), 3);
  ASSERT_EQ(cls.LoadLods("tower", set, 2), S_OK);
  EXPECT_NE(set[0], nullptr);
  EXPECT_NE(set[1], nullptr);
  EXPECT_EQ(set[2], nullptr) << "beyond the count";
  int tag = -1;
  EXPECT_EQ(kivQModel_FindTag(set[1], "tag_rotor", &tag), S_OK);
  EXPECT_EQ(cls.LoadLods("tower", set, 0), S_OK);
  Destroy(set, 3);
}

TEST_F(Lods, LoadFailureNamesTheFileAndStopsThere) {
  Put("tower.gltf");
  WriteFile(models.File("tower_1.gltf"), "{ not glTF");
  Put("tower_2.gltf");
  int sentinel;
  void* set[3] = {nullptr, &sentinel, &sentinel};
  ConsoleCapture console;
  EXPECT_LT(cls.LoadLods("tower", set, 3), 0);
  EXPECT_NE(set[0], nullptr) << "loaded before the failure: the caller destroys it";
  EXPECT_EQ(set[1], nullptr);
  EXPECT_EQ(set[2], &sentinel) << "not reached";
  EXPECT_NE(console.Urgent().find("tower_1.gltf"), std::string::npos) << console.Urgent();
  EXPECT_NE(console.Urgent().find("level 1"), std::string::npos) << console.Urgent();
  Destroy(set, 1);

  console.Clear();
  void* missing[3] = {nullptr, nullptr, nullptr};
  std::filesystem::remove(models.File("tower_2.gltf"));
  WriteFile(models.File("tower_1.gltf"), ReadFile(kData + "/tower_1.gltf"));
  EXPECT_LT(cls.LoadLods("tower", missing, 3), 0) << "a level inside the count is missing";
  EXPECT_NE(console.Urgent().find("tower_2"), std::string::npos) << console.Urgent();
  Destroy(missing, 3);
}

TEST_F(Lods, SaveWritesTheCurrentStateAndLoadsBackTheSame) {
  kivActorLib_SetModelDir(kData.c_str());
  void* set[3] = {nullptr, nullptr, nullptr};
  ASSERT_EQ(cls.LoadLods("tower", set, 2), S_OK);  // slot 2 stays NULL and is skipped
  const float turned[16] = {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1};
  int tag = -1;
  kivQModel_FindTag(set[0], "tag_rotor", &tag);
  kivQModel_SetTagMatrix(set[0], tag, const_cast<float*>(turned));

  ASSERT_EQ(cls.SaveLods("tower", set, 3), S_OK);
  const TempDir& out = saves;
  EXPECT_TRUE(std::filesystem::exists(out.File("saved/tower.gltf")));
  EXPECT_TRUE(std::filesystem::exists(out.File("saved/tower_1.gltf")));
  EXPECT_FALSE(std::filesystem::exists(out.File("saved/tower_2.gltf")));

  kivActorLib_SetModelDir(out.File("saved").c_str());
  EXPECT_EQ(cls.CountLods("tower", 3), 2);
  void* back[3] = {nullptr, nullptr, nullptr};
  ASSERT_EQ(cls.LoadLods("tower", back, 2), S_OK);
  for (int level = 0; level < 2; ++level) {
    DWORD v0 = 0, t0 = 0, v1 = 0, t1 = 0;
    kivQModel_GetModelInfo(set[level], &v0, &t0);
    kivQModel_GetModelInfo(back[level], &v1, &t1);
    EXPECT_EQ(v1, v0) << level;
    EXPECT_EQ(t1, t0) << level;
    int count = 0;
    kivQModel_GetTagCount(back[level], &count);
    ASSERT_EQ(count, 1);
    kivQModelTagInfo before, after;
    kivQModel_GetTag(set[level], 0, &before);
    kivQModel_GetTag(back[level], 0, &after);
    EXPECT_STREQ(after.name, "tag_rotor");
    EXPECT_EQ(std::memcmp(after.placement, before.placement, sizeof before.placement), 0);
  }
  // The saved tag matrix comes back: a child hangs turned.
  void* child = nullptr;
  kivQModel_LoadModel((kData + "/tower_rotor.gltf").c_str(), &child);
  kivQModel_AttachModel(back[0], "tag_rotor", child);
  kivQModel_ClearDraws();
  kivQModel_Render(back[0], nullptr, -1.0f, 0, 0);
  ASSERT_EQ(kivQModel_GetDrawCount(), 2u);
  EXPECT_FLOAT_EQ(kivQModel_GetDraws()[1].world[2], -1.0f);
  kivQModel_ClearDraws();
  kivQModel_DestroyModel(&child);
  Destroy(back, 3);
  Destroy(set, 3);
}

TEST_F(Lods, SaveNeverWritesOverTheSourceModels) {
  Put("tower.gltf");
  const std::string source = ReadFile(models.File("tower.gltf"));
  void* set[3] = {nullptr, nullptr, nullptr};
  ASSERT_EQ(cls.LoadLods("tower", set, 1), S_OK);
  ConsoleCapture console;
  kivActorLib_SetSaveDir((models.Path().string() + "/.").c_str());
  EXPECT_LT(cls.SaveLods("tower", set, 3), 0);
  EXPECT_NE(console.Urgent().find("not overwritten"), std::string::npos) << console.Urgent();
  kivActorLib_SetSaveDir(nullptr);
  EXPECT_LT(cls.SaveLods("tower", set, 3), 0) << "no save folder";
  EXPECT_EQ(ReadFile(models.File("tower.gltf")), source);
  EXPECT_EQ(models.Entries(), std::vector<std::string>{"tower.gltf"});
  Destroy(set, 1);
}

}  // namespace
