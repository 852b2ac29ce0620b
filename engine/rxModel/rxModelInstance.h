// Internal state of the reference model library: one loaded model instance.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rxmodel {

// MXMATRIX layout: row-major, row vectors multiplied from the left, translation in row 4.
using Matrix = std::array<float, 16>;

constexpr Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// out = a x b: a applied first, then b.
Matrix Multiply(const Matrix& a, const Matrix& b);

struct Instance;

struct Tag {
  std::string name;
  Matrix placement = kIdentity;  // the node's transform composed down the node tree
  Matrix matrix = kIdentity;     // set by the caller; places what hangs at the tag
  std::vector<Instance*> children;
};

struct Instance {
  std::string name;                 // the file's base name, for messages and saving
  std::vector<float> positions;     // 3 per vertex, model coordinates
  std::vector<float> normals;       // 3 per vertex
  std::vector<uint32_t> indices;    // 3 per triangle
  std::array<float, 4> color = {0.8f, 0.8f, 0.8f, 1.0f};
  std::array<float, 3> boxMin = {0, 0, 0};
  std::array<float, 3> boxMax = {0, 0, 0};
  std::vector<Tag> tags;
  Instance* parent = nullptr;  // where this instance hangs, if it was attached
  size_t parentTag = 0;

  uint32_t VertexCount() const { return static_cast<uint32_t>(positions.size() / 3); }
  uint32_t TriangleCount() const { return static_cast<uint32_t>(indices.size() / 3); }
  // Box of the geometry; all zeros without geometry.
  void ComputeBox();
  // Area-weighted vertex normals from the triangles, for files that carry none.
  void ComputeNormals();
};

// Bounds on what a file may ask for; beyond them a model is refused, not allocated.
constexpr size_t kMaxFileBytes = 64u << 20;      // the model file and each buffer file
constexpr size_t kMaxTotalBytes = 256u << 20;    // everything one load reads from disk
constexpr size_t kMaxVertices = 4u << 20;
constexpr size_t kMaxTriangles = 4u << 20;
constexpr int kMaxJsonDepth = 64;

// Builds an instance from the glTF bytes; on failure returns false with the reason.
// baseDir is the folder that external buffers must lie in (empty: none allowed).
bool LoadGltf(const unsigned char* data, size_t size, const std::string& baseDir,
              Instance* out, std::string* why);

// Reads a whole regular file of at most maxBytes.
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::vector<unsigned char>* out,
                     std::string* why);

// Writes the instance as glTF (binary when the path ends in ".glb").
bool SaveGltf(const Instance& model, const std::string& path, std::string* why);

}  // namespace rxmodel
