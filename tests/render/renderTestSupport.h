// Hand-made meshes, a shared renderer and pixel classes for the picture tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "towerRender.h"

namespace rendertest {

// A box with one normal per face, owned by the test.
struct HandMesh {
  std::vector<float> positions;
  std::vector<float> normals;
  std::vector<uint32_t> indices;
  float color[4] = {1, 1, 1, 1};

  kivQModelMesh View() const {
    kivQModelMesh m{};
    m.positions = positions.data();
    m.normals = normals.empty() ? nullptr : normals.data();
    m.vertexCount = static_cast<uint32_t>(positions.size() / 3);
    m.indices = indices.data();
    m.triangleCount = static_cast<uint32_t>(indices.size() / 3);
    for (int i = 0; i < 4; ++i) m.color[i] = color[i];
    return m;
  }
};

inline HandMesh Box(const float lo[3], const float hi[3], float r, float g, float b) {
  HandMesh mesh;
  mesh.color[0] = r;
  mesh.color[1] = g;
  mesh.color[2] = b;
  // Each face: its axis, its side and two in-plane axes in counter-clockwise order seen from outside.
  for (int axis = 0; axis < 3; ++axis) {
    for (int side = 0; side < 2; ++side) {
      const int u = (axis + 1) % 3, v = (axis + 2) % 3;
      const uint32_t base = static_cast<uint32_t>(mesh.positions.size() / 3);
      const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
      for (const auto& c : corners) {
        float p[3];
        p[axis] = side ? hi[axis] : lo[axis];
        p[u] = c[0] > 0 ? hi[u] : lo[u];
        p[v] = c[1] > 0 ? hi[v] : lo[v];
        mesh.positions.insert(mesh.positions.end(), p, p + 3);
        float n[3] = {0, 0, 0};
        n[axis] = side ? 1.0f : -1.0f;
        mesh.normals.insert(mesh.normals.end(), n, n + 3);
      }
      if (side) {
        mesh.indices.insert(mesh.indices.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
      } else {
        mesh.indices.insert(mesh.indices.end(), {base, base + 2, base + 1, base, base + 3, base + 2});
      }
    }
  }
  return mesh;
}

// Handles are the addresses of slots in this table; the source answers for the mesh in the slot.
struct HandMeshes {
  std::map<void*, const HandMesh*> byHandle;
  towerrender::MeshSource Source() {
    return [this](void* model, kivQModelMesh& out) {
      auto it = byHandle.find(model);
      if (it == byHandle.end() || !it->second) return false;
      out = it->second->View();
      return true;
    };
  }
};

// Row-major row-vector world matrices (v' = v * M), translation in the fourth row:
// a turn about one axis, then a move.
enum class Axis { X, Y, Z };
inline kivQModelDraw Draw(void* model, float tx, float ty, float tz, Axis axis = Axis::Z, float degrees = 0.0f) {
  kivQModelDraw d{};
  d.model = model;
  const float a = degrees * 3.14159265f / 180.0f;
  const float c = std::cos(a), s = std::sin(a);
  float w[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, tx, ty, tz, 1};
  // Right-handed turn: the two axes that turn, in cyclic order after the turning one.
  const int i = axis == Axis::X ? 1 : axis == Axis::Y ? 2 : 0;
  const int j = axis == Axis::X ? 2 : axis == Axis::Y ? 0 : 1;
  w[i * 4 + i] = c;
  w[i * 4 + j] = s;
  w[j * 4 + i] = -s;
  w[j * 4 + j] = c;
  for (int k = 0; k < 16; ++k) d.world[k] = w[k];
  return d;
}

// With RENDERTEST_DUMP set to a folder, writes the picture there for a look by eye.
inline void DumpIfAsked(const std::string& name, const towerrender::Image& image) {
  if (const char* dir = std::getenv("RENDERTEST_DUMP")) {
    std::string error;
    towerrender::WritePng(std::string(dir) + "/" + name + ".png", image, &error);
  }
}

// Pixel classes: the sky is blue above all, the ground green above all.
inline bool IsSky(towerrender::Rgba c) { return c.b > c.r && c.b > c.g; }
inline bool IsGround(towerrender::Rgba c) { return c.g > c.r && c.g > c.b; }
inline bool IsBackground(towerrender::Rgba c) { return IsSky(c) || IsGround(c); }

inline int MaxChannelDiff(towerrender::Rgba a, towerrender::Rgba b) {
  return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

struct Rect {
  int x0, y0, x1, y1;  // inclusive pixel bounds
  Rect Shrunk(int n) const { return {x0 + n, y0 + n, x1 - n, y1 - n}; }
  Rect Grown(int n) const { return {x0 - n, y0 - n, x1 + n, y1 + n}; }
  bool Contains(int x, int y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

// Screen position of a world point for a camera on the +z axis looking down -z, the
// layout all hand-made scenes use: independent of the renderer's own matrices.
struct AxisCamera {
  float eyeY, eyeZ, fovY;
  int width, height;
  towerrender::Camera Camera() const {
    towerrender::Camera c;
    c.eye[0] = 0, c.eye[1] = eyeY, c.eye[2] = eyeZ;
    c.target[0] = 0, c.target[1] = eyeY, c.target[2] = 0;
    c.fovYDegrees = fovY;
    return c;
  }
  float PixelX(float x, float z) const {
    const float tanY = std::tan(fovY * 3.14159265f / 360.0f);
    const float tanX = tanY * static_cast<float>(width) / static_cast<float>(height);
    return (0.5f + 0.5f * (x / (eyeZ - z)) / tanX) * static_cast<float>(width);
  }
  float PixelY(float y, float z) const {
    const float tanY = std::tan(fovY * 3.14159265f / 360.0f);
    return (0.5f - 0.5f * ((y - eyeY) / (eyeZ - z)) / tanY) * static_cast<float>(height);
  }
  // The screen box of a box's face towards the camera: always wholly covered by the box.
  Rect FrontFace(const float lo[3], const float hi[3]) const {
    return {static_cast<int>(std::floor(PixelX(lo[0], hi[2]))), static_cast<int>(std::floor(PixelY(hi[1], hi[2]))),
            static_cast<int>(std::ceil(PixelX(hi[0], hi[2]))) - 1, static_cast<int>(std::ceil(PixelY(lo[1], hi[2]))) - 1};
  }
  // The screen box of a world box: every pixel that any of its eight corners' hull touches.
  Rect Silhouette(const float lo[3], const float hi[3]) const {
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    for (int corner = 0; corner < 8; ++corner) {
      const float x = corner & 1 ? hi[0] : lo[0], y = corner & 2 ? hi[1] : lo[1], z = corner & 4 ? hi[2] : lo[2];
      x0 = std::min(x0, PixelX(x, z));
      x1 = std::max(x1, PixelX(x, z));
      y0 = std::min(y0, PixelY(y, z));
      y1 = std::max(y1, PixelY(y, z));
    }
    return {static_cast<int>(std::floor(x0)), static_cast<int>(std::floor(y0)), static_cast<int>(std::ceil(x1)) - 1,
            static_cast<int>(std::ceil(y1)) - 1};
  }
};

// A renderer shared by every test of a suite (contexts are costly to make) over the
// suite's hand-made meshes; each test starts with no meshes and an empty cache.
template <int Width, int Height>
class HandScene : public ::testing::Test {
 protected:
  static constexpr int kWidth = Width;
  static constexpr int kHeight = Height;

  static void SetUpTestSuite() {
    std::string error;
    renderer_ = towerrender::Renderer::Create(Width, Height, meshes_.Source(), &error);
    ASSERT_NE(renderer_, nullptr) << "no offscreen GL context: " << error;
  }
  static void TearDownTestSuite() { renderer_.reset(); }
  void SetUp() override {
    ASSERT_NE(renderer_, nullptr);
    meshes_.byHandle.clear();
    renderer_->ForgetMeshes();
  }

  // Registers a mesh; its address is its handle.
  static void* Add(const HandMesh& mesh) {
    void* handle = const_cast<HandMesh*>(&mesh);
    meshes_.byHandle[handle] = &mesh;
    return handle;
  }
  static towerrender::Image Render(std::vector<kivQModelDraw> draws, const towerrender::Camera& camera,
                                   towerrender::FrameStats* stats = nullptr) {
    towerrender::Image image;
    const towerrender::FrameStats s = renderer_->Render(draws, camera, &image);
    if (stats) *stats = s;
    return image;
  }

  static inline HandMeshes meshes_;
  static inline std::unique_ptr<towerrender::Renderer> renderer_;
};

}  // namespace rendertest
