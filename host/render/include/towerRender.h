// Offscreen pictures of the host's scene.
//
// The renderer draws one frame from the model library's draw list (model handle and
// world matrix per entry) and a camera, with OpenGL ES 3 on an EGL context that needs
// no window and no display server. Geometry comes only through a mesh source, which
// the host points at the model library and tests at hand-made meshes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "rxModel.h"
#include "towerImage.h"

namespace towerrender {

// A viewer at `eye` looking at `target`; `up` need not be orthogonal to the view line.
// Right-handed world with y up, the models' own convention.
struct Camera {
  float eye[3] = {0.0f, 10.0f, 30.0f};
  float target[3] = {0.0f, 5.0f, 0.0f};
  float up[3] = {0.0f, 1.0f, 0.0f};
  float fovYDegrees = 45.0f;
  float nearPlane = 0.25f;
  float farPlane = 4000.0f;
};

// Fills the mesh of one model handle; false when the handle has no mesh to draw.
using MeshSource = std::function<bool(void* model, kivQModelMesh& mesh)>;

// The model library's meshes (kivQModel_GetMesh).
MeshSource ModelLibraryMeshes();

struct FrameStats {
  size_t draws = 0;      // draw-list entries drawn
  size_t triangles = 0;  // triangles of the entries drawn
  size_t skipped = 0;    // entries without a usable mesh (no handle, no mesh, bad indices)
};

class Renderer {
 public:
  // Makes an offscreen GLES 3 context with a width x height framebuffer (colour and
  // depth, multisampled when the driver allows). Returns null with a message in *error
  // when EGL, a GL context or the framebuffer cannot be had.
  static std::unique_ptr<Renderer> Create(int width, int height, MeshSource meshes,
                                          std::string* error);
  ~Renderer();
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  int width() const;
  int height() const;
  // The GL_RENDERER / GL_VERSION strings of the context, for the host's log.
  const std::string& description() const;

  // Draws sky, ground and every entry with a mesh, and reads the frame back into *image
  // (top row first).
  FrameStats Render(std::span<const kivQModelDraw> draws, const Camera& camera, Image* image);

  // Drops every uploaded mesh. A mesh is uploaded once per handle and re-uploaded when the
  // geometry behind a handle changes; call this when a scene ends so that new models at
  // addresses of destroyed ones cannot be taken for them.
  void ForgetMeshes();
  size_t cachedMeshCount() const;

 private:
  struct State;
  explicit Renderer(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace towerrender
