// The renderer on hand-made meshes: silhouettes where the camera puts them, depth,
// lighting that follows the world matrix, sky and ground, unusable entries, the mesh cache.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "renderTestSupport.h"

namespace {

using rendertest::Axis;
using rendertest::Box;
using rendertest::Draw;
using rendertest::HandMesh;
using rendertest::IsBackground;
using rendertest::IsGround;
using rendertest::IsSky;
using rendertest::Rect;
using towerrender::Image;
using towerrender::Rgba;

class RenderHandScene : public rendertest::HandScene<320, 180> {
 protected:
  // Camera 20 units out on +z at height 4, looking along -z.
  static constexpr rendertest::AxisCamera kView{4.0f, 20.0f, 45.0f, kWidth, kHeight};

  static int CountOutside(const Image& a, const Rect& r, bool (*test)(Rgba)) {
    int n = 0;
    for (int y = 0; y < a.height; ++y)
      for (int x = 0; x < a.width; ++x)
        if (!r.Contains(x, y) && test(a.at(x, y))) ++n;
    return n;
  }
  static int CountInside(const Image& a, const Rect& r, bool (*test)(Rgba)) {
    int n = 0;
    for (int y = std::max(r.y0, 0); y <= std::min(r.y1, a.height - 1); ++y)
      for (int x = std::max(r.x0, 0); x <= std::min(r.x1, a.width - 1); ++x)
        if (test(a.at(x, y))) ++n;
    return n;
  }
  static int CountDiffering(const Image& a, const Image& b, const Rect& r, int tolerance) {
    int n = 0;
    for (int y = r.y0; y <= r.y1; ++y)
      for (int x = r.x0; x <= r.x1; ++x)
        if (rendertest::MaxChannelDiff(a.at(x, y), b.at(x, y)) > tolerance) ++n;
    return n;
  }
  static bool NotBackground(Rgba c) { return !IsBackground(c); }
  static int Brightness(Rgba c) { return c.r + c.g + c.b; }
};

TEST_F(RenderHandScene, BoxSilhouetteCoversItsProjectedRectangleAndNothingElse) {
  const float lo[3] = {-1, 0, -1}, hi[3] = {1, 8, 1};
  const HandMesh body = Box(lo, hi, 0.8f, 0.15f, 0.12f);
  // Moved 3 units right by the translation row of its world matrix.
  towerrender::FrameStats stats;
  const Image image = Render({Draw(Add(body), 3, 0, 0)}, kView.Camera(), &stats);
  ASSERT_EQ(image.width, kWidth);
  ASSERT_EQ(image.height, kHeight);
  EXPECT_EQ(stats.draws, 1u);
  EXPECT_EQ(stats.triangles, 12u);

  const float movedLo[3] = {2, 0, -1}, movedHi[3] = {4, 8, 1};
  const Rect silhouette = kView.Silhouette(movedLo, movedHi);
  ASSERT_GT(silhouette.x0, kWidth / 2) << "the box stands right of the centre";
  const Rect inner = kView.FrontFace(movedLo, movedHi).Shrunk(1);
  EXPECT_EQ(CountInside(image, inner, IsBackground), 0) << "holes in the silhouette";
  EXPECT_EQ(CountOutside(image, silhouette.Grown(1), NotBackground), 0) << "model pixels outside the silhouette";
  const Rgba centre = image.at((inner.x0 + inner.x1) / 2, (inner.y0 + inner.y1) / 2);
  EXPECT_GT(centre.r, centre.g + 40) << "the box keeps its base colour's hue";
  EXPECT_GT(centre.r, centre.b + 40);
}

TEST_F(RenderHandScene, TurningRotorChangesOnlyTheRotorRegion) {
  const float bodyLo[3] = {-1, 0, -1}, bodyHi[3] = {1, 8, 1};
  const float bladeLo[3] = {-2.5f, -0.25f, -0.1f}, bladeHi[3] = {2.5f, 0.25f, 0.1f};
  const HandMesh body = Box(bodyLo, bodyHi, 0.8f, 0.15f, 0.12f);
  const HandMesh blade = Box(bladeLo, bladeHi, 0.9f, 0.8f, 0.1f);
  const float hubY = 6.5f, hubZ = 1.3f;
  auto frame = [&](float degrees) {
    return Render({Draw(Add(body), 0, 0, 0), Draw(Add(blade), 0, hubY, hubZ, Axis::Z, degrees)}, kView.Camera());
  };
  const Image level = frame(0.0f);
  const Image upright = frame(90.0f);

  const float discLo[3] = {-2.6f, hubY - 2.6f, hubZ}, discHi[3] = {2.6f, hubY + 2.6f, hubZ + 0.1f};
  const Rect rotorRegion = kView.Silhouette(discLo, discHi);
  const float lowerLo[3] = {-1, 0, -1}, lowerHi[3] = {1, hubY - 2.7f, 1};
  const Rect bodyRegion = kView.FrontFace(lowerLo, lowerHi).Shrunk(1);
  const Rect whole{0, 0, kWidth - 1, kHeight - 1};

  // A blade 5 x 0.5 units about 18.6 units away covers some 350 pixels; a quarter turn
  // moves nearly all of them.
  EXPECT_GT(CountDiffering(level, upright, rotorRegion, 30), 400);
  EXPECT_EQ(CountDiffering(level, upright, bodyRegion, 8), 0);
  EXPECT_EQ(CountDiffering(level, upright, whole, 8), CountDiffering(level, upright, rotorRegion, 8))
      << "pixels outside the rotor's disc changed";
}

TEST_F(RenderHandScene, NearerSurfaceHidesFartherOneWhateverTheDrawOrder) {
  const float nearLo[3] = {-1, 3, 3}, nearHi[3] = {1, 5, 4};
  const float farLo[3] = {-3, 1, -2}, farHi[3] = {3, 7, -1};
  const HandMesh nearBox = Box(nearLo, nearHi, 0.85f, 0.1f, 0.1f);
  const HandMesh farBox = Box(farLo, farHi, 0.6f, 0.1f, 0.6f);
  const int cx = kWidth / 2, cy = static_cast<int>(kView.PixelY(4, 4));
  for (bool nearFirst : {true, false}) {
    SCOPED_TRACE(nearFirst ? "near box drawn first" : "far box drawn first");
    std::vector<kivQModelDraw> draws = {Draw(Add(nearBox), 0, 0, 0), Draw(Add(farBox), 0, 0, 0)};
    if (!nearFirst) std::swap(draws[0], draws[1]);
    const Rgba c = Render(draws, kView.Camera()).at(cx, cy);
    EXPECT_LT(c.b, 60) << "the far (purple) box shows through the near (red) one";
    EXPECT_GT(c.r, 100);
  }
}

TEST_F(RenderHandScene, ShadingFollowsTheWorldMatrixTurn) {
  // A plate facing the camera, tilted about x: towards the light (which comes from above
  // and in front) it is brightest, away from it darkest.
  const float lo[3] = {-3, -3, -0.05f}, hi[3] = {3, 3, 0.05f};
  const HandMesh plate = Box(lo, hi, 0.7f, 0.7f, 0.7f);
  auto brightness = [&](float pitch) {
    const Image image = Render({Draw(Add(plate), 0, 4, 0, Axis::X, pitch)}, kView.Camera());
    return Brightness(image.at(kWidth / 2, kHeight / 2));
  };
  const int towardsLight = brightness(-45.0f), facing = brightness(0.0f), away = brightness(45.0f);
  EXPECT_GT(towardsLight, facing + 30);
  EXPECT_GT(facing, away + 30);
}

struct EmptyView {
  const char* name;
  float targetY;  // camera at height 4 on +z; where it looks decides the horizon
  int skyRows;    // -1: horizon at the middle row; 0: no sky; kHeight: all sky
};

TEST_F(RenderHandScene, EmptySceneIsSkyAboveTheHorizonAndGroundBelow) {
  const EmptyView views[] = {{"level", 4.0f, -1}, {"looking up", 40.0f, kHeight}, {"looking down", -40.0f, 0}};
  for (const EmptyView& v : views) {
    SCOPED_TRACE(v.name);
    towerrender::Camera camera = kView.Camera();
    camera.target[1] = v.targetY;
    towerrender::FrameStats stats;
    const Image image = Render({}, camera, &stats);
    EXPECT_EQ(stats.draws, 0u);
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const Rgba c = image.at(x, y);
        if (v.skyRows < 0) {
          // The horizon row itself may go either way.
          if (y < kHeight / 2 - 1 && !IsSky(c)) ++wrong;
          if (y > kHeight / 2 && !IsGround(c)) ++wrong;
        } else if (y < v.skyRows ? !IsSky(c) : !IsGround(c)) {
          ++wrong;
        }
        if (!IsBackground(c)) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(RenderHandScene, UnusableEntriesAreSkippedAndTheRestDrawn) {
  const float lo[3] = {-1, 0, -1}, hi[3] = {1, 8, 1};
  const HandMesh good = Box(lo, hi, 0.8f, 0.15f, 0.12f);
  HandMesh badIndex = good;
  badIndex.indices[7] = 24;  // one past the last vertex
  HandMesh noPositions = good;
  noPositions.positions.clear();
  int unknown = 0;  // an address no mesh answers for

  const std::vector<kivQModelDraw> draws = {Draw(nullptr, 0, 0, 0), Draw(&unknown, 0, 0, 0),
                                            Draw(Add(badIndex), -5, 0, 0), Draw(Add(noPositions), -5, 0, 0),
                                            Draw(Add(good), 5, 0, 0)};
  towerrender::FrameStats stats;
  const Image image = Render(draws, kView.Camera(), &stats);
  EXPECT_EQ(stats.skipped, 4u);
  EXPECT_EQ(stats.draws, 1u);
  EXPECT_EQ(stats.triangles, 12u);
  const float drawnLo[3] = {4, 0, -1}, drawnHi[3] = {6, 8, 1};
  EXPECT_EQ(CountOutside(image, kView.Silhouette(drawnLo, drawnHi).Grown(1), NotBackground), 0);
}

TEST_F(RenderHandScene, MeshWithoutNormalsIsStillShaded) {
  const float lo[3] = {-1, 0, -1}, hi[3] = {1, 8, 1};
  HandMesh bare = Box(lo, hi, 0.8f, 0.15f, 0.12f);
  bare.normals.clear();
  towerrender::FrameStats stats;
  const Image image = Render({Draw(Add(bare), 0, 0, 0)}, kView.Camera(), &stats);
  EXPECT_EQ(stats.draws, 1u);
  const Rgba c = image.at(kWidth / 2, static_cast<int>(kView.PixelY(4, 1)));
  EXPECT_FALSE(IsBackground(c));
  EXPECT_GT(c.r, 60) << "lit, not black";
}

TEST_F(RenderHandScene, MeshIsUploadedOncePerHandleAndAgainWhenItsGeometryChanges) {
  const float lo[3] = {-1, 0, -1}, hi[3] = {1, 8, 1};
  const HandMesh first = Box(lo, hi, 0.8f, 0.15f, 0.12f);
  void* handle = Add(first);
  towerrender::FrameStats stats;
  Render({Draw(handle, -6, 0, 0), Draw(handle, 0, 0, 0), Draw(handle, 6, 0, 0)}, kView.Camera(), &stats);
  EXPECT_EQ(stats.triangles, 36u);
  EXPECT_EQ(renderer_->cachedMeshCount(), 1u);

  // The same address now stands for other geometry, as when a destroyed model's handle
  // is reused: the picture must show the new geometry.
  const float tallLo[3] = {-1, 0, -1}, tallHi[3] = {1, 12, 1};
  const HandMesh taller = Box(tallLo, tallHi, 0.8f, 0.15f, 0.12f);
  meshes_.byHandle[handle] = &taller;
  const Image image = Render({Draw(handle, 0, 0, 0)}, kView.Camera());
  EXPECT_EQ(renderer_->cachedMeshCount(), 1u);
  const Rect tall = kView.FrontFace(tallLo, tallHi);
  EXPECT_EQ(CountInside(image, tall.Shrunk(1), IsBackground), 0);

  renderer_->ForgetMeshes();
  EXPECT_EQ(renderer_->cachedMeshCount(), 0u);
}

TEST(RendererCreate, RefusesSizesOutsideTheSupportedRange) {
  struct Case {
    int w, h;
  };
  for (const Case c : {Case{0, 100}, Case{100, 0}, Case{-5, 10}, Case{9000, 100}}) {
    std::string error;
    auto r = towerrender::Renderer::Create(c.w, c.h, nullptr, &error);
    EXPECT_EQ(r, nullptr) << c.w << "x" << c.h;
    EXPECT_THAT(error, testing::HasSubstr("frame size"));
  }
}

TEST(RendererCreate, DescribesItsContext) {
  std::string error;
  auto r = towerrender::Renderer::Create(64, 32, nullptr, &error);
  ASSERT_NE(r, nullptr) << error;
  EXPECT_THAT(r->description(), testing::StartsWith("OpenGL ES 3"));
  Image image;
  r->Render({}, towerrender::Camera{}, &image);
  EXPECT_EQ(image.width, 64);
  EXPECT_EQ(image.height, 32);
}

TEST(RendererCreateDeathTest, ReportsMissingEglDriversClearly) {
  // With no EGL vendor to load, no display can be had; the message says what is missing.
  // The child is forked without a new exec (which the 32-bit build's emulator cannot do);
  // death test suites run first, so EGL is still untouched when it is forked.
  EXPECT_EXIT(
      {
        setenv("__EGL_VENDOR_LIBRARY_FILENAMES", "/nonexistent/egl_vendor.json", 1);
        std::string error;
        auto r = towerrender::Renderer::Create(64, 64, nullptr, &error);
        fprintf(stderr, "%s\n", error.c_str());
        std::exit(r ? 1 : 0);
      },
      testing::ExitedWithCode(0), "surfaceless");
}

}  // namespace
