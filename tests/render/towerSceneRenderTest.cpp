// The renderer on the real tower: the plug-in module loaded, one tower placed and drawn
// the way the host does it, and the model library's draw list rendered.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "actActor.h"
#include "actTower.h"
#include "plugin.h"
#include "renderTestSupport.h"
#include "rxModel.h"

namespace {

using rendertest::Rect;
using towerrender::Image;

constexpr int kWidth = 320;
constexpr int kHeight = 180;

// Screen position of world points for any camera with y up; independent of the renderer.
struct Projector {
  float eye[3], target[3], fovY;

  towerrender::Camera Camera() const {
    towerrender::Camera c;
    for (int i = 0; i < 3; ++i) {
      c.eye[i] = eye[i];
      c.target[i] = target[i];
    }
    c.fovYDegrees = fovY;
    return c;
  }
  float Distance(const float p[3]) const {
    return std::hypot(p[0] - eye[0], p[1] - eye[1], p[2] - eye[2]);
  }
  void Pixel(float x, float y, float z, float* px, float* py) const {
    float f[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
    const float fl = std::hypot(f[0], f[1], f[2]);
    for (float& v : f) v /= fl;
    float r[3] = {-f[2], 0, f[0]};  // forward x (0, 1, 0)
    const float rl = std::hypot(r[0], r[2]);
    r[0] /= rl, r[2] /= rl;
    const float u[3] = {r[1] * f[2] - r[2] * f[1], r[2] * f[0] - r[0] * f[2], r[0] * f[1] - r[1] * f[0]};
    const float d[3] = {x - eye[0], y - eye[1], z - eye[2]};
    const float cx = d[0] * r[0] + d[2] * r[2], cy = d[0] * u[0] + d[1] * u[1] + d[2] * u[2],
                cz = d[0] * f[0] + d[1] * f[1] + d[2] * f[2];
    const float tanY = std::tan(fovY * 3.14159265f / 360.0f), tanX = tanY * kWidth / kHeight;
    *px = (0.5f + 0.5f * cx / (cz * tanX)) * kWidth;
    *py = (0.5f - 0.5f * cy / (cz * tanY)) * kHeight;
  }
  // Every pixel the box's projection touches.
  Rect Bounds(const float lo[3], const float hi[3]) const {
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    for (int c = 0; c < 8; ++c) {
      float px, py;
      Pixel(c & 1 ? hi[0] : lo[0], c & 2 ? hi[1] : lo[1], c & 4 ? hi[2] : lo[2], &px, &py);
      x0 = std::min(x0, px), x1 = std::max(x1, px), y0 = std::min(y0, py), y1 = std::max(y1, py);
    }
    return {static_cast<int>(std::floor(x0)), static_cast<int>(std::floor(y0)), static_cast<int>(std::ceil(x1)) - 1,
            static_cast<int>(std::ceil(y1)) - 1};
  }
};

// A picture's model pixels: those that differ from the same view with nothing in it.
struct Mask {
  std::vector<bool> on;
  int count = 0;
  Mask(const Image& frame, const Image& empty) : on(frame.rgba.size() / 4) {
    for (int y = 0; y < frame.height; ++y)
      for (int x = 0; x < frame.width; ++x)
        if (rendertest::MaxChannelDiff(frame.at(x, y), empty.at(x, y)) > 16) {
          on[static_cast<size_t>(y * frame.width + x)] = true;
          ++count;
        }
  }
  bool At(int x, int y) const { return on[static_cast<size_t>(y * kWidth + x)]; }
  int CountOutside(const Rect& r) const {
    int n = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) n += At(x, y) && !r.Contains(x, y);
    return n;
  }
  int CountMissingInside(const Rect& r) const {
    int n = 0;
    for (int y = r.y0; y <= r.y1; ++y)
      for (int x = r.x0; x <= r.x1; ++x) n += !At(x, y);
    return n;
  }
  int CountNotIn(const Mask& other) const {
    int n = 0;
    for (size_t i = 0; i < on.size(); ++i) n += on[i] && !other.on[i];
    return n;
  }
};

uint32_t TrianglesOf(const char* file) {
  void* model = nullptr;
  const std::string path = std::string(TOWER_MODEL_DIR) + "/" + file;
  if (kivQModel_LoadModel(path.c_str(), &model) < 0) {
    ADD_FAILURE() << "cannot load " << path;
    return 0;
  }
  kivQModelMesh mesh{};
  kivQModel_GetMesh(model, &mesh);
  const uint32_t n = mesh.triangleCount;
  kivQModel_DestroyModel(&model);
  return n;
}

class TowerPicture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(plugin_.Open(TOWER_MODULE, error)) << error;
    kivActorLib_SetModelDir(TOWER_MODEL_DIR);
    towerClass_ = plugin_.CreateObjClass();
    ASSERT_NE(towerClass_, nullptr);
    ASSERT_GE(towerClass_->Create(), 0);
    tower_ = static_cast<kivActor*>(towerClass_->CreateObj());
    ASSERT_NE(tower_, nullptr);
    renderer_ = towerrender::Renderer::Create(kWidth, kHeight, towerrender::ModelLibraryMeshes(), &error);
    ASSERT_NE(renderer_, nullptr) << error;
  }
  static void TearDownTestSuite() {
    renderer_.reset();
    delete tower_;
    delete towerClass_;
    kivQModel_ClearDraws();
    plugin_.Close();
  }
  void SetUp() override { ASSERT_NE(renderer_, nullptr); }

  // Places the tower at the origin and draws it, at the level the distance selects or at
  // a given one (level >= 0).
  static Image Frame(const Projector& view, float rotorYaw, int level, towerrender::FrameStats* stats = nullptr,
                     int* levelDrawn = nullptr) {
    kivQModel_ClearDraws();
    MXVECTOR3 position{0, 0, 0}, angles{0, 0, 0}, rotor{rotorYaw, 0, 0};
    tower_->SetPosition(&position);
    tower_->SetJoint(0, &angles);
    tower_->SetJoint(1, &rotor);
    const float origin[3] = {0, 0, 0};
    if (level < 0) {
      tower_->SelectLOD(view.Distance(origin));
    } else {
      tower_->SelectLODIndirect(level);
    }
    if (levelDrawn) *levelDrawn = static_cast<kivActTower*>(tower_)->CurrentLOD();
    tower_->Update();
    tower_->RenderActor();
    Image image;
    const towerrender::FrameStats s =
        renderer_->Render({kivQModel_GetDraws(), kivQModel_GetDrawCount()}, view.Camera(), &image);
    if (stats) *stats = s;
    return image;
  }
  static Image Empty(const Projector& view) {
    Image image;
    renderer_->Render({}, view.Camera(), &image);
    return image;
  }

  static inline towerhost::PluginModule plugin_;
  static inline kivActorClass* towerClass_ = nullptr;
  static inline kivActor* tower_ = nullptr;
  static inline std::unique_ptr<towerrender::Renderer> renderer_;
};

// The models' extent: base radius 2, head top at 9.5, rotor blades reaching 3.6 from the
// axis a little above the head, the level-0 spinner up to 10.35.
const float kTowerLo[3] = {-3.8f, 0.0f, -3.8f}, kTowerHi[3] = {3.8f, 10.5f, 3.8f};
const float kRotorLo[3] = {-3.8f, 9.3f, -3.8f}, kRotorHi[3] = {3.8f, 10.5f, 3.8f};
// A box inside the shaft (radius 0.8 to 1.0 between heights 1 and 8).
const float kShaftLo[3] = {-0.55f, 1.2f, 0.55f}, kShaftHi[3] = {0.55f, 7.8f, 0.55f};

TEST_F(TowerPicture, SilhouetteCoversTheTowersScreenRegion) {
  const Projector view{{0, 5, 30}, {0, 5, 0}, 45};
  towerrender::FrameStats stats;
  int level = -1;
  const Mask mask(Frame(view, 0, -1, &stats, &level), Empty(view));
  EXPECT_EQ(level, 0);
  EXPECT_EQ(stats.draws, 2u) << "tower and rotor";
  EXPECT_EQ(stats.skipped, 0u);
  EXPECT_EQ(mask.CountOutside(view.Bounds(kTowerLo, kTowerHi).Grown(1)), 0);
  EXPECT_EQ(mask.CountMissingInside(view.Bounds(kShaftLo, kShaftHi).Shrunk(1)), 0);
  // Base, shaft and head of a 9.5-unit tower 30 units away: well over a thousand pixels.
  EXPECT_GT(mask.count, 1000);
}

TEST_F(TowerPicture, TurningRotorChangesTheRotorRegionOnly) {
  const Projector view{{0, 16, 24}, {0, 7, 0}, 28};
  const Image a = Frame(view, 0, 0), b = Frame(view, 60, 0);
  rendertest::DumpIfAsked("rotor_0", a);
  rendertest::DumpIfAsked("rotor_60", b);
  const Rect rotor = view.Bounds(kRotorLo, kRotorHi).Grown(1);
  int inside = 0, outside = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (rendertest::MaxChannelDiff(a.at(x, y), b.at(x, y)) > 8) ++(rotor.Contains(x, y) ? inside : outside);
  // Three blades turned by 60 degrees lie where the gaps were.
  EXPECT_GT(inside, 300);
  EXPECT_EQ(outside, 0) << "the body or the background changed with the rotor";
}

TEST_F(TowerPicture, FarTowerDrawsTheLevelTwoModelsWithACoarserOutline) {
  // 120 units away, seen through a narrow lens so that the tower still fills the picture.
  const Projector view{{0, 60, 104}, {0, 5, 0}, 6};
  towerrender::FrameStats far, near;
  int level = -1;
  const Image empty = Empty(view);
  const Image coarsePicture = Frame(view, 0, -1, &far, &level), finePicture = Frame(view, 0, 0, &near);
  rendertest::DumpIfAsked("far_level2", coarsePicture);
  rendertest::DumpIfAsked("far_level0", finePicture);
  const Mask coarse(coarsePicture, empty), fine(finePicture, empty);
  ASSERT_EQ(level, 2);
  EXPECT_EQ(far.draws, 2u);
  EXPECT_EQ(far.triangles, TrianglesOf("tower_2.gltf") + TrianglesOf("tower_rotor_2.gltf"));
  EXPECT_EQ(near.triangles, TrianglesOf("tower.gltf") + TrianglesOf("tower_rotor.gltf"));
  EXPECT_LT(far.triangles * 4, near.triangles);

  // The six-sided level-2 shapes lie inside the round ones: their outline cuts corners,
  // so the coarse silhouette loses area and gains almost none.
  const int lost = fine.CountNotIn(coarse), gained = coarse.CountNotIn(fine);
  EXPECT_GT(lost, fine.count / 40) << "the level-2 outline is not visibly coarser";
  EXPECT_LT(gained, lost / 3) << "lost " << lost << " of " << fine.count;
}

}  // namespace
