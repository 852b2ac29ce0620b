// glTF 2.0 reading and writing for the reference model library.
//
// The loader underneath trusts its input more than an engine can afford to, so every
// model passes these gates before and after it is parsed:
//  - the file and every buffer file are read by us: regular files only, with size caps;
//    buffer URIs resolve inside the model's own folder or not at all;
//  - a GLB's header and chunk lengths are checked against the bytes actually present;
//  - the JSON nesting depth is bounded before any recursive parse sees it;
//  - images are never decoded, and images inside buffer views are refused;
//  - after parsing, every index, offset, stride and count is checked before a byte of
//    geometry is read, and the node graph must be a tree.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "rxModelInstance.h"
#include "rxModelTinyGltf.h"

namespace rxmodel {

namespace {

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...) {
  char text[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  return text;
}

// --- Files confined to the model's folder -------------------------------------------------

struct Confinement {
  std::string folder;  // canonical path of the model's folder; empty: no file may be read
  size_t budget;       // bytes that buffer files may still add to this load
};

bool CanonicalInside(const std::string& path, const Confinement& c, std::string* canonical) {
  if (c.folder.empty()) return false;
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return false;
  *canonical = real;
  std::free(real);
  const std::string prefix = c.folder == "/" ? c.folder : c.folder + "/";
  return canonical->compare(0, prefix.size(), prefix) == 0;
}

bool FsFileExists(const std::string& path, void* user) {
  std::string canonical;
  return CanonicalInside(path, *static_cast<Confinement*>(user), &canonical);
}

// Paths are used as written: no home-folder or variable expansion.
std::string FsExpandFilePath(const std::string& path, void*) { return path; }

bool FsReadWholeFile(std::vector<unsigned char>* out, std::string* err, const std::string& path,
                     void* user) {
  auto* c = static_cast<Confinement*>(user);
  std::string canonical, why;
  if (!CanonicalInside(path, *c, &canonical)) {
    why = "it lies outside the model's folder";
  } else if (ReadRegularFile(canonical, std::min(kMaxFileBytes, c->budget), out, &why)) {
    c->budget -= out->size();
    return true;
  }
  if (err != nullptr) *err += why;
  return false;
}

bool FsWriteWholeFile(std::string* err, const std::string&, const std::vector<unsigned char>&,
                      void*) {
  if (err != nullptr) *err += "a model load writes no files";
  return false;
}

// Images only decorate a model; geometry and tags are all the engine uses.
bool IgnoreImage(tinygltf::Image*, const int, std::string*, std::string*, int, int,
                 const unsigned char*, int, void*) {
  return true;
}

// --- Checks before parsing ----------------------------------------------------------------

uint32_t ReadLe32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

constexpr uint32_t kGlbJson = 0x4E4F534A;
constexpr uint32_t kGlbBin = 0x004E4942;

bool IsGlb(const unsigned char* data, size_t size) {
  return size >= 4 && std::memcmp(data, "glTF", 4) == 0;
}

// Finds the JSON chunk of a GLB after checking every length in the header.
bool CheckGlb(const unsigned char* d, size_t size, const char** json, size_t* jsonSize,
              std::string* why) {
  if (size < 20) {
    *why = "GLB file is shorter than its 20-byte header";
    return false;
  }
  const uint32_t version = ReadLe32(d + 4), length = ReadLe32(d + 8);
  const uint32_t jsonLength = ReadLe32(d + 12), jsonType = ReadLe32(d + 16);
  if (version != 2) {
    *why = Format("GLB version %u is not 2", version);
    return false;
  }
  if (length > size || length < 20) {
    *why = Format("GLB header gives a length of %u bytes, the file has %zu", length, size);
    return false;
  }
  if (jsonType != kGlbJson) {
    *why = "first GLB chunk is not JSON";
    return false;
  }
  if (jsonLength == 0 || jsonLength > length - 20) {
    *why = Format("GLB JSON chunk of %u bytes does not fit in %u bytes", jsonLength, length);
    return false;
  }
  const size_t jsonEnd = 20 + size_t(jsonLength);
  if (jsonEnd < length) {
    if (length - jsonEnd < 8) {
      *why = "GLB BIN chunk header is truncated";
      return false;
    }
    const uint32_t binLength = ReadLe32(d + jsonEnd), binType = ReadLe32(d + jsonEnd + 4);
    if (binType != kGlbBin) {
      *why = "second GLB chunk is not BIN";
      return false;
    }
    if (binLength > length - jsonEnd - 8) {
      *why = Format("GLB BIN chunk of %u bytes runs past the end of the file", binLength);
      return false;
    }
  }
  *json = reinterpret_cast<const char*>(d + 20);
  *jsonSize = jsonLength;
  return true;
}

// The parser recurses once per nested array or object; bound that before it runs.
bool NestingWithin(const char* s, size_t n, int limit) {
  int depth = 0;
  bool inString = false;
  for (size_t i = 0; i < n; ++i) {
    const char ch = s[i];
    if (inString) {
      if (ch == '\\')
        ++i;
      else if (ch == '"')
        inString = false;
    } else if (ch == '"') {
      inString = true;
    } else if (ch == '[' || ch == '{') {
      if (++depth > limit) return false;
    } else if ((ch == ']' || ch == '}') && depth > 0) {
      --depth;
    }
  }
  return true;
}

// The loader indexes a buffer view's bytes for an image before anything checks the view.
bool CheckJsonDocument(const char* json, size_t size, std::string* why) {
  const nlohmann::json doc = nlohmann::json::parse(json, json + size, nullptr, false);
  if (doc.is_discarded()) {
    *why = "not valid JSON";
    return false;
  }
  if (!doc.is_object()) {
    *why = "JSON root is not an object";
    return false;
  }
  const auto images = doc.find("images");
  if (images != doc.end() && images->is_array()) {
    for (const auto& image : *images) {
      if (image.is_object() && image.contains("bufferView")) {
        *why = "images stored in buffer views are not supported";
        return false;
      }
    }
  }
  return true;
}

// --- Geometry after parsing ---------------------------------------------------------------

struct AccessorView {
  const unsigned char* base = nullptr;
  size_t stride = 0;
  size_t count = 0;
  int componentType = 0;
};

size_t ComponentSize(int componentType) {
  switch (componentType) {
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
      return 1;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
      return 2;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
    case TINYGLTF_COMPONENT_TYPE_FLOAT:
      return 4;
    default:
      return 0;
  }
}

// Checks that every element of the accessor lies inside its view and its buffer.
bool ViewAccessor(const tinygltf::Model& m, int index, int type,
                  std::initializer_list<int> componentTypes, size_t maxCount, const char* what,
                  AccessorView* v, std::string* why) {
  if (index < 0 || size_t(index) >= m.accessors.size()) {
    *why = Format("%s accessor %d does not exist", what, index);
    return false;
  }
  const tinygltf::Accessor& a = m.accessors[size_t(index)];
  if (a.sparse.isSparse) {
    *why = Format("%s accessor %d is sparse, which is not supported", what, index);
    return false;
  }
  if (a.type != type || std::find(componentTypes.begin(), componentTypes.end(),
                                  a.componentType) == componentTypes.end()) {
    *why = Format("%s accessor %d has the wrong element type", what, index);
    return false;
  }
  if (a.count > maxCount) {
    *why = Format("%s accessor %d has %zu elements, more than %zu", what, index, a.count, maxCount);
    return false;
  }
  if (a.bufferView < 0 || size_t(a.bufferView) >= m.bufferViews.size()) {
    *why = Format("%s accessor %d has no valid buffer view", what, index);
    return false;
  }
  const tinygltf::BufferView& bv = m.bufferViews[size_t(a.bufferView)];
  if (bv.buffer < 0 || size_t(bv.buffer) >= m.buffers.size()) {
    *why = Format("buffer view %d names buffer %d, which does not exist", a.bufferView, bv.buffer);
    return false;
  }
  const std::vector<unsigned char>& data = m.buffers[size_t(bv.buffer)].data;
  if (bv.byteOffset > data.size() || bv.byteLength > data.size() - bv.byteOffset) {
    *why = Format("buffer view %d reaches past the end of buffer %d (%zu bytes)", a.bufferView,
                  bv.buffer, data.size());
    return false;
  }
  const size_t element = ComponentSize(a.componentType) * size_t(tinygltf::GetNumComponentsInType(
                                                              static_cast<uint32_t>(a.type)));
  const size_t stride = bv.byteStride != 0 ? bv.byteStride : element;
  if (stride < element) {
    *why = Format("buffer view %d has a stride of %zu bytes, less than one element", a.bufferView,
                  stride);
    return false;
  }
  if (a.count > 0) {
    uint64_t end = 0;
    if (__builtin_mul_overflow(uint64_t(a.count - 1), uint64_t(stride), &end) ||
        __builtin_add_overflow(end, uint64_t(element), &end) ||
        __builtin_add_overflow(end, uint64_t(a.byteOffset), &end) || end > bv.byteLength) {
      *why = Format("%s accessor %d reaches past the end of buffer view %d", what, index,
                    a.bufferView);
      return false;
    }
  }
  v->base = data.data() + bv.byteOffset + a.byteOffset;
  v->stride = stride;
  v->count = a.count;
  v->componentType = a.componentType;
  return true;
}

void ReadVec3(const AccessorView& v, size_t i, float out[3]) {
  std::memcpy(out, v.base + i * v.stride, 3 * sizeof(float));
}

uint32_t ReadIndex(const AccessorView& v, size_t i) {
  const unsigned char* p = v.base + i * v.stride;
  switch (v.componentType) {
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
      return p[0];
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
      uint16_t value;
      std::memcpy(&value, p, sizeof value);
      return value;
    }
    default: {
      uint32_t value;
      std::memcpy(&value, p, sizeof value);
      return value;
    }
  }
}

bool AllFinite(const float* f, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (!std::isfinite(f[i])) return false;
  return true;
}

// A file's double becomes a float only when it fits one; converting a larger value is
// undefined.
bool ToFloat(double d, float* out) {
  if (!std::isfinite(d) || std::fabs(d) > static_cast<double>(std::numeric_limits<float>::max())) return false;
  *out = static_cast<float>(d);
  return true;
}

// A node's own transform. A glTF matrix is 16 column-major floats, which is exactly the
// row-major row-vector layout used here, so it is copied; translation, rotation and
// scale compose as scale x rotation x translation.
bool NodeTransform(const tinygltf::Node& n, Matrix* out) {
  if (!n.matrix.empty()) {
    if (n.matrix.size() != 16) return false;
    for (size_t i = 0; i < 16; ++i)
      if (!ToFloat(n.matrix[i], &(*out)[i])) return false;
    return true;
  }
  if ((!n.scale.empty() && n.scale.size() != 3) || (!n.rotation.empty() && n.rotation.size() != 4) ||
      (!n.translation.empty() && n.translation.size() != 3))
    return false;
  const double s[3] = {n.scale.empty() ? 1.0 : n.scale[0], n.scale.empty() ? 1.0 : n.scale[1],
                       n.scale.empty() ? 1.0 : n.scale[2]};
  double x = 0, y = 0, z = 0, w = 1;
  if (!n.rotation.empty()) {
    x = n.rotation[0];
    y = n.rotation[1];
    z = n.rotation[2];
    w = n.rotation[3];
  }
  const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w)},
                          {2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w)},
                          {2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y)}};
  Matrix m = kIdentity;
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col)
      if (!ToFloat(s[row] * r[row][col], &m[size_t(row * 4 + col)])) return false;
  for (size_t col = 0; col < 3 && !n.translation.empty(); ++col)
    if (!ToFloat(n.translation[col], &m[12 + col])) return false;
  *out = m;
  return true;
}

// Normals follow the inverse transpose of the transform's 3x3 part (its cofactors, up to
// the determinant's sign), so non-uniform scales keep them perpendicular.
std::array<float, 9> NormalMatrix(const Matrix& w) {
  auto a = [&](int r, int c) { return w[size_t(r * 4 + c)]; };
  std::array<float, 9> c = {
      a(1, 1) * a(2, 2) - a(1, 2) * a(2, 1), a(1, 2) * a(2, 0) - a(1, 0) * a(2, 2),
      a(1, 0) * a(2, 1) - a(1, 1) * a(2, 0), a(0, 2) * a(2, 1) - a(0, 1) * a(2, 2),
      a(0, 0) * a(2, 2) - a(0, 2) * a(2, 0), a(0, 1) * a(2, 0) - a(0, 0) * a(2, 1),
      a(0, 1) * a(1, 2) - a(0, 2) * a(1, 1), a(0, 2) * a(1, 0) - a(0, 0) * a(1, 2),
      a(0, 0) * a(1, 1) - a(0, 1) * a(1, 0)};
  const float det = a(0, 0) * c[0] + a(0, 1) * c[1] + a(0, 2) * c[2];
  if (det < 0)
    for (float& f : c) f = -f;
  return c;
}

bool AppendPrimitive(const tinygltf::Model& m, const tinygltf::Primitive& p, const Matrix& world,
                     Instance* out, bool* lacksNormals, std::string* why) {
  if (p.mode != -1 && p.mode != TINYGLTF_MODE_TRIANGLES) {
    *why = Format("primitive mode %d is not supported (triangles only)", p.mode);
    return false;
  }
  const auto position = p.attributes.find("POSITION");
  if (position == p.attributes.end()) {
    *why = "a primitive has no POSITION attribute";
    return false;
  }
  const size_t base = out->VertexCount();
  AccessorView pv;
  if (!ViewAccessor(m, position->second, TINYGLTF_TYPE_VEC3, {TINYGLTF_COMPONENT_TYPE_FLOAT},
                    kMaxVertices - base, "POSITION", &pv, why))
    return false;
  AccessorView nv;
  const auto normal = p.attributes.find("NORMAL");
  const bool hasNormals = normal != p.attributes.end();
  if (hasNormals) {
    if (!ViewAccessor(m, normal->second, TINYGLTF_TYPE_VEC3, {TINYGLTF_COMPONENT_TYPE_FLOAT},
                      kMaxVertices, "NORMAL", &nv, why))
      return false;
    if (nv.count != pv.count) {
      *why = Format("a primitive has %zu normals for %zu positions", nv.count, pv.count);
      return false;
    }
  } else {
    *lacksNormals = true;
  }
  const size_t maxIndices = 3 * (kMaxTriangles - out->TriangleCount());
  AccessorView iv;
  if (p.indices >= 0) {
    if (!ViewAccessor(m, p.indices, TINYGLTF_TYPE_SCALAR,
                      {TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                       TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT},
                      maxIndices, "indices", &iv, why))
      return false;
  } else if (pv.count > maxIndices) {
    *why = Format("a primitive has more than %zu triangles", kMaxTriangles);
    return false;
  }
  const size_t indexCount = p.indices >= 0 ? iv.count : pv.count;
  if (indexCount % 3 != 0) {
    *why = Format("a primitive has %zu indices, not a whole number of triangles", indexCount);
    return false;
  }
  for (size_t i = 0; p.indices >= 0 && i < indexCount; ++i) {
    const uint32_t index = ReadIndex(iv, i);
    if (index >= pv.count) {
      *why = Format("index %u is out of range for %zu vertices", index, pv.count);
      return false;
    }
  }

  const std::array<float, 9> nm = NormalMatrix(world);
  // Untransformed normals are kept bit for bit, so a saved model loads back unchanged.
  const bool keepNormals = nm == std::array<float, 9>{1, 0, 0, 0, 1, 0, 0, 0, 1};
  out->positions.reserve(out->positions.size() + 3 * pv.count);
  out->normals.reserve(out->normals.size() + 3 * pv.count);
  for (size_t i = 0; i < pv.count; ++i) {
    float v[3];
    ReadVec3(pv, i, v);
    if (!AllFinite(v, 3)) {
      *why = Format("vertex %zu has a position that is not a finite number", i);
      return false;
    }
    for (int c = 0; c < 3; ++c)
      out->positions.push_back(v[0] * world[size_t(c)] + v[1] * world[size_t(4 + c)] +
                               v[2] * world[size_t(8 + c)] + world[size_t(12 + c)]);
    float n[3] = {0, 0, 0};
    if (hasNormals) ReadVec3(nv, i, n);
    if (keepNormals && AllFinite(n, 3)) {
      out->normals.insert(out->normals.end(), n, n + 3);
      continue;
    }
    float t[3];
    for (int c = 0; c < 3; ++c)
      t[c] = n[0] * nm[size_t(c)] + n[1] * nm[size_t(3 + c)] + n[2] * nm[size_t(6 + c)];
    const float length = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
    for (int c = 0; c < 3; ++c)
      out->normals.push_back(std::isfinite(length) && length > 0 ? t[c] / length : 0.0f);
  }
  out->indices.reserve(out->indices.size() + indexCount);
  for (size_t i = 0; i < indexCount; ++i)
    out->indices.push_back(static_cast<uint32_t>(base + (p.indices >= 0 ? ReadIndex(iv, i) : i)));
  return true;
}

// A saved tag matrix: 16 finite numbers in the tag node's extras.
constexpr const char* kTagMatrixKey = "kivTagMatrix";

void ReadTagMatrix(const tinygltf::Value& extras, Matrix* out) {
  if (!extras.IsObject() || !extras.Has(kTagMatrixKey)) return;
  const tinygltf::Value& v = extras.Get(kTagMatrixKey);
  if (!v.IsArray() || v.ArrayLen() != 16) return;
  Matrix m;
  for (size_t i = 0; i < 16; ++i) {
    const tinygltf::Value& e = v.Get(static_cast<int>(i));
    if (!e.IsNumber() || !ToFloat(e.GetNumberAsDouble(), &m[i])) return;
  }
  *out = m;
}

bool Convert(const tinygltf::Model& m, Instance* out, std::string* why) {
  std::vector<int> roots;
  if (!m.scenes.empty()) {
    const int scene = m.defaultScene >= 0 ? m.defaultScene : 0;
    if (size_t(scene) >= m.scenes.size()) {
      *why = Format("default scene %d does not exist", scene);
      return false;
    }
    roots = m.scenes[size_t(scene)].nodes;
  } else {
    std::vector<char> isChild(m.nodes.size(), 0);
    for (const tinygltf::Node& n : m.nodes)
      for (int c : n.children)
        if (c >= 0 && size_t(c) < m.nodes.size()) isChild[size_t(c)] = 1;
    for (size_t i = 0; i < m.nodes.size(); ++i)
      if (!isChild[i]) roots.push_back(static_cast<int>(i));
  }

  struct Pending {
    int node;
    Matrix parentWorld;
  };
  struct Placed {
    int node;
    Matrix world;
  };
  std::vector<Pending> stack;
  for (auto it = roots.rbegin(); it != roots.rend(); ++it) stack.push_back({*it, kIdentity});
  std::vector<char> seen(m.nodes.size(), 0);
  std::vector<Placed> meshNodes, tagNodes;
  while (!stack.empty()) {
    const Pending item = stack.back();
    stack.pop_back();
    if (item.node < 0 || size_t(item.node) >= m.nodes.size()) {
      *why = Format("node %d does not exist", item.node);
      return false;
    }
    if (seen[size_t(item.node)]) {
      *why = Format("node %d is reached twice; the node graph must be a tree", item.node);
      return false;
    }
    seen[size_t(item.node)] = 1;
    const tinygltf::Node& n = m.nodes[size_t(item.node)];
    Matrix local;
    if (!NodeTransform(n, &local)) {
      *why = Format("node %d has a malformed or non-finite transform", item.node);
      return false;
    }
    const Matrix world = Multiply(local, item.parentWorld);
    if (n.mesh >= 0) {
      if (size_t(n.mesh) >= m.meshes.size()) {
        *why = Format("node %d names mesh %d, which does not exist", item.node, n.mesh);
        return false;
      }
      meshNodes.push_back({item.node, world});
    } else if (n.mesh < -1) {
      *why = Format("node %d names mesh %d, which does not exist", item.node, n.mesh);
      return false;
    }
    if (n.name.rfind("tag_", 0) == 0) tagNodes.push_back({item.node, world});
    for (auto c = n.children.rbegin(); c != n.children.rend(); ++c) stack.push_back({*c, world});
  }

  bool lacksNormals = false, colorSet = false;
  for (const Placed& placed : meshNodes) {
    for (const tinygltf::Primitive& p : m.meshes[size_t(m.nodes[size_t(placed.node)].mesh)].primitives) {
      if (!AppendPrimitive(m, p, placed.world, out, &lacksNormals, why)) return false;
      if (p.material >= 0 && size_t(p.material) >= m.materials.size()) {
        *why = Format("a primitive names material %d, which does not exist", p.material);
        return false;
      }
      if (!colorSet && p.material >= 0) {
        const std::vector<double>& f =
            m.materials[size_t(p.material)].pbrMetallicRoughness.baseColorFactor;
        if (f.size() == 4)
          for (size_t c = 0; c < 4; ++c)
            out->color[c] = std::isfinite(f[c]) ? static_cast<float>(std::clamp(f[c], 0.0, 1.0)) : 1.0f;
        colorSet = true;
      }
    }
  }
  if (lacksNormals) out->ComputeNormals();
  out->ComputeBox();

  std::sort(tagNodes.begin(), tagNodes.end(),
            [](const Placed& a, const Placed& b) { return a.node < b.node; });
  for (const Placed& placed : tagNodes) {
    Tag tag;
    tag.name = m.nodes[size_t(placed.node)].name;
    tag.placement = placed.world;
    ReadTagMatrix(m.nodes[size_t(placed.node)].extras, &tag.matrix);
    out->tags.push_back(std::move(tag));
  }
  return true;
}

std::string FileStem(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool EndsWith(const std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

int AddView(tinygltf::Model* m, const void* bytes, size_t size, int target) {
  std::vector<unsigned char>& data = m->buffers[0].data;
  tinygltf::BufferView view;
  view.buffer = 0;
  view.byteOffset = data.size();
  view.byteLength = size;
  view.target = target;
  const auto* p = static_cast<const unsigned char*>(bytes);
  data.insert(data.end(), p, p + size);
  m->bufferViews.push_back(view);
  return static_cast<int>(m->bufferViews.size() - 1);
}

int AddAccessor(tinygltf::Model* m, int view, int componentType, int type, size_t count) {
  tinygltf::Accessor a;
  a.bufferView = view;
  a.componentType = componentType;
  a.type = type;
  a.count = count;
  m->accessors.push_back(a);
  return static_cast<int>(m->accessors.size() - 1);
}

std::vector<double> ToDoubles(const Matrix& m) { return std::vector<double>(m.begin(), m.end()); }

}  // namespace

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix out;
  for (size_t r = 0; r < 4; ++r)
    for (size_t c = 0; c < 4; ++c) {
      float sum = 0;
      for (size_t k = 0; k < 4; ++k) sum += a[r * 4 + k] * b[k * 4 + c];
      out[r * 4 + c] = sum;
    }
  return out;
}

void Instance::ComputeBox() {
  boxMin = boxMax = {0, 0, 0};
  for (size_t i = 0; i < positions.size(); i += 3)
    for (size_t c = 0; c < 3; ++c) {
      const float v = positions[i + c];
      if (i == 0 || v < boxMin[c]) boxMin[c] = v;
      if (i == 0 || v > boxMax[c]) boxMax[c] = v;
    }
}

void Instance::ComputeNormals() {
  normals.assign(positions.size(), 0.0f);
  for (size_t t = 0; t + 2 < indices.size(); t += 3) {
    const float* a = &positions[3 * size_t(indices[t])];
    const float* b = &positions[3 * size_t(indices[t + 1])];
    const float* c = &positions[3 * size_t(indices[t + 2])];
    const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    for (size_t k = 0; k < 3; ++k)
      for (size_t j = 0; j < 3; ++j) normals[3 * size_t(indices[t + k]) + j] += n[j];
  }
  for (size_t i = 0; i < normals.size(); i += 3) {
    const float length =
        std::sqrt(normals[i] * normals[i] + normals[i + 1] * normals[i + 1] + normals[i + 2] * normals[i + 2]);
    for (size_t j = 0; j < 3; ++j) normals[i + j] = length > 0 ? normals[i + j] / length : 0.0f;
  }
}

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::vector<unsigned char>* out,
                     std::string* why) {
  // Non-blocking, so that a FIFO cannot stall the open; regular files ignore the flag.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    *why = Format("cannot open '%s': %s", path.c_str(), std::strerror(errno));
    return false;
  }
  struct stat st;
  bool ok = false;
  if (fstat(fd, &st) != 0) {
    *why = Format("cannot inspect '%s': %s", path.c_str(), std::strerror(errno));
  } else if (!S_ISREG(st.st_mode)) {
    *why = Format("'%s' is not a regular file", path.c_str());
  } else if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
    *why = Format("'%s' is larger than %zu bytes", path.c_str(), maxBytes);
  } else {
    out->resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    ok = true;
    while (done < out->size()) {
      const ssize_t n = read(fd, out->data() + done, out->size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        *why = Format("cannot read '%s': %s", path.c_str(), std::strerror(errno));
        ok = false;
        break;
      }
      if (n == 0) break;
      done += static_cast<size_t>(n);
    }
    out->resize(done);
  }
  close(fd);
  return ok;
}

bool LoadGltf(const unsigned char* data, size_t size, const std::string& baseDir, Instance* out,
              std::string* why) {
  if (size > kMaxFileBytes) {
    *why = Format("model is larger than %zu bytes", kMaxFileBytes);
    return false;
  }
  const bool glb = IsGlb(data, size);
  const char* json = reinterpret_cast<const char*>(data);
  size_t jsonSize = size;
  if (glb && !CheckGlb(data, size, &json, &jsonSize, why)) return false;
  if (!NestingWithin(json, jsonSize, kMaxJsonDepth)) {
    *why = Format("JSON nests deeper than %d levels", kMaxJsonDepth);
    return false;
  }
  if (!CheckJsonDocument(json, jsonSize, why)) return false;

  Confinement confinement{baseDir, kMaxTotalBytes - size};
  tinygltf::TinyGLTF loader;
  loader.SetFsCallbacks({&FsFileExists, &FsExpandFilePath, &FsReadWholeFile, &FsWriteWholeFile,
                         &confinement});
  loader.SetImageLoader(&IgnoreImage, nullptr);
  tinygltf::Model model;
  std::string err, warn;  // always given: the loader writes through them unchecked
  const bool loaded =
      glb ? loader.LoadBinaryFromMemory(&model, &err, &warn, data, static_cast<unsigned>(size), baseDir)
          : loader.LoadASCIIFromString(&model, &err, &warn, json, static_cast<unsigned>(size), baseDir);
  if (!loaded) {
    while (!err.empty() && (err.back() == '\n' || err.back() == ' ')) err.pop_back();
    *why = err.empty() ? "not a valid glTF file" : err;
    return false;
  }
  return Convert(model, out, why);
}

bool SaveGltf(const Instance& inst, const std::string& path, std::string* why) {
  const std::string stem = FileStem(path);
  tinygltf::Model m;
  m.asset.version = "2.0";
  m.asset.generator = "actTower rxModel";

  tinygltf::Node body;
  body.name = stem;
  if (inst.VertexCount() > 0) {
    m.buffers.emplace_back();
    const uint32_t vertices = inst.VertexCount();
    const int positions = AddAccessor(
        &m, AddView(&m, inst.positions.data(), inst.positions.size() * sizeof(float), TINYGLTF_TARGET_ARRAY_BUFFER),
        TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, vertices);
    m.accessors[size_t(positions)].minValues.assign(inst.boxMin.begin(), inst.boxMin.end());
    m.accessors[size_t(positions)].maxValues.assign(inst.boxMax.begin(), inst.boxMax.end());
    const int normals = AddAccessor(
        &m, AddView(&m, inst.normals.data(), inst.normals.size() * sizeof(float), TINYGLTF_TARGET_ARRAY_BUFFER),
        TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, vertices);

    tinygltf::Material material;
    material.name = stem;
    material.pbrMetallicRoughness.baseColorFactor.assign(inst.color.begin(), inst.color.end());
    material.pbrMetallicRoughness.metallicFactor = 0.0;
    material.pbrMetallicRoughness.roughnessFactor = 0.75;
    m.materials.push_back(material);

    tinygltf::Primitive primitive;
    primitive.attributes["POSITION"] = positions;
    primitive.attributes["NORMAL"] = normals;
    primitive.material = 0;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    if (!inst.indices.empty())
      primitive.indices = AddAccessor(
          &m, AddView(&m, inst.indices.data(), inst.indices.size() * sizeof(uint32_t),
                      TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER),
          TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR, inst.indices.size());
    tinygltf::Mesh mesh;
    mesh.name = stem;
    mesh.primitives.push_back(primitive);
    m.meshes.push_back(mesh);
    m.buffers[0].name = stem;
    body.mesh = 0;
  }
  m.nodes.push_back(body);
  for (const Tag& tag : inst.tags) {
    tinygltf::Node node;
    node.name = tag.name;
    if (tag.placement != kIdentity) node.matrix = ToDoubles(tag.placement);
    if (tag.matrix != kIdentity) {
      std::vector<tinygltf::Value> values;
      for (float f : tag.matrix) values.emplace_back(static_cast<double>(f));
      tinygltf::Value::Object extras;
      extras[kTagMatrixKey] = tinygltf::Value(values);
      node.extras = tinygltf::Value(extras);
    }
    m.nodes.push_back(node);
  }
  tinygltf::Scene scene;
  for (size_t i = 0; i < m.nodes.size(); ++i) scene.nodes.push_back(static_cast<int>(i));
  m.scenes.push_back(scene);
  m.defaultScene = 0;

  std::ostringstream text;
  tinygltf::TinyGLTF writer;
  if (!writer.WriteGltfSceneToStream(&m, text, true, EndsWith(path, ".glb"))) {
    *why = "the glTF writer failed";
    return false;
  }
  const std::string bytes = text.str();

  // Write beside the target and rename, so a reader never sees half a model.
  const std::string temp = path + ".tmp";
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (f == nullptr) {
    *why = Format("cannot create '%s': %s", temp.c_str(), std::strerror(errno));
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !written) {
    *why = Format("cannot write '%s'", temp.c_str());
    std::remove(temp.c_str());
    return false;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    *why = Format("cannot replace '%s': %s", path.c_str(), std::strerror(errno));
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace rxmodel
