// towermodels: writes the tower's models, three levels of detail each, as glTF.
//
//   towermodels <folder>
//
// "tower"       base, shaft and head, with the node "tag_rotor" on top of the head;
// "tower_rotor" a hub with three pitched blades, turning about its y axis.
// Level 0 is the finest; each level has markedly fewer triangles than the one before.
//
// The committed models under data/ are this program's output, byte for byte, and a test
// holds them to it. Every coordinate is rounded to a multiple of 1/4096, which floats
// hold exactly, so the files do not depend on the last bits of the maths library.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "rxModel.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Adding 0.0 turns a rounded -0.0 into 0.0.
float Quantize(double v) { return static_cast<float>(std::round(v * 4096.0) / 4096.0 + 0.0); }

struct Vec {
  double x, y, z;
};

Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator*(Vec a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec Cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec Normalized(Vec a) { return a * (1.0 / std::sqrt(Dot(a, a))); }

class MeshBuilder {
 public:
  uint32_t Vertex(Vec p, Vec n) {
    n = Normalized(n);
    for (double v : {p.x, p.y, p.z}) positions_.push_back(Quantize(v));
    for (double v : {n.x, n.y, n.z}) normals_.push_back(Quantize(v));
    return static_cast<uint32_t>(positions_.size() / 3 - 1);
  }

  // Front faces are counter-clockwise seen from outside, as glTF has them.
  void Triangle(uint32_t a, uint32_t b, uint32_t c) {
    indices_.push_back(a);
    indices_.push_back(b);
    indices_.push_back(c);
  }

  // A flat quad, corners counter-clockwise seen from the side its normal points to.
  void Quad(Vec a, Vec b, Vec c, Vec d) {
    const Vec n = Cross(b - a, d - a);
    const uint32_t i = Vertex(a, n), j = Vertex(b, n), k = Vertex(c, n), l = Vertex(d, n);
    Triangle(i, j, k);
    Triangle(i, k, l);
  }

  // The side of a frustum around the y axis from (y0, r0) to (y1, r1), smooth shaded.
  void Frustum(double y0, double r0, double y1, double r1, int segments) {
    const uint32_t first = static_cast<uint32_t>(positions_.size() / 3);
    const double slope = (r0 - r1) / (y1 - y0);
    for (int i = 0; i <= segments; ++i) {
      const double a = 2 * kPi * i / segments;
      const double c = std::cos(a), s = std::sin(a);
      const Vec n = {c, slope, s};
      Vertex({r0 * c, y0, r0 * s}, n);
      Vertex({r1 * c, y1, r1 * s}, n);
    }
    for (uint32_t i = 0; i < static_cast<uint32_t>(segments); ++i) {
      const uint32_t b0 = first + 2 * i, t0 = b0 + 1, b1 = b0 + 2, t1 = b0 + 3;
      Triangle(b0, t0, b1);
      Triangle(b1, t0, t1);
    }
  }

  // A flat disc at height y facing up (+y) or down (-y).
  void Disc(double y, double r, int segments, bool up) {
    const Vec n = {0, up ? 1.0 : -1.0, 0};
    const uint32_t centre = Vertex({0, y, 0}, n);
    const uint32_t first = centre + 1;
    for (int i = 0; i <= segments; ++i) {
      const double a = 2 * kPi * i / segments;
      Vertex({r * std::cos(a), y, r * std::sin(a)}, n);
    }
    for (uint32_t i = 0; i < static_cast<uint32_t>(segments); ++i) {
      if (up)
        Triangle(centre, first + i + 1, first + i);
      else
        Triangle(centre, first + i, first + i + 1);
    }
  }

  // A cone from a ring at (y0, r) up to a point at y1, smooth shaded.
  void Cone(double y0, double r, double y1, int segments) {
    const uint32_t first = static_cast<uint32_t>(positions_.size() / 3);
    const double slope = r / (y1 - y0);
    for (int i = 0; i <= segments; ++i) {
      const double a = 2 * kPi * (i + 0.5) / segments;
      const double c = std::cos(a), s = std::sin(a);
      Vertex({r * std::cos(2 * kPi * i / segments), y0, r * std::sin(2 * kPi * i / segments)}, {c, slope, s});
      Vertex({0, y1, 0}, {c, slope, s});
    }
    for (uint32_t i = 0; i < static_cast<uint32_t>(segments); ++i) Triangle(first + 2 * i, first + 2 * i + 1, first + 2 * i + 2);
  }

  // Every triangle must face the way its vertex normals say; a wrong winding would
  // show the model inside out.
  bool WindingsAgree() const {
    for (size_t t = 0; t < indices_.size(); t += 3) {
      const Vec a = At(positions_, indices_[t]), b = At(positions_, indices_[t + 1]), c = At(positions_, indices_[t + 2]);
      const Vec n = At(normals_, indices_[t]) + At(normals_, indices_[t + 1]) + At(normals_, indices_[t + 2]);
      if (Dot(Cross(b - a, c - a), n) <= 0) return false;
    }
    return true;
  }

  kivQModelMesh Mesh(float r, float g, float b) const {
    kivQModelMesh mesh{};
    mesh.positions = positions_.data();
    mesh.normals = normals_.data();
    mesh.vertexCount = static_cast<uint32_t>(positions_.size() / 3);
    mesh.indices = indices_.data();
    mesh.triangleCount = static_cast<uint32_t>(indices_.size() / 3);
    mesh.color[0] = r;
    mesh.color[1] = g;
    mesh.color[2] = b;
    mesh.color[3] = 1.0f;
    return mesh;
  }

 private:
  static Vec At(const std::vector<float>& v, uint32_t i) { return {v[3 * i], v[3 * i + 1], v[3 * i + 2]}; }

  std::vector<float> positions_, normals_;
  std::vector<uint32_t> indices_;
};

// Heights of the tower, in model units; the rotor sits on top of the head.
constexpr double kBaseTop = 1.0, kShaftTop = 8.0, kHeadNeck = 8.6, kHeadTop = 9.5;

void BuildTower(MeshBuilder* m, int segments) {
  m->Disc(0.0, 2.0, segments, false);
  m->Frustum(0.0, 2.0, kBaseTop, 1.5, segments);
  m->Disc(kBaseTop, 1.5, segments, true);
  m->Frustum(kBaseTop, 1.0, kShaftTop, 0.8, segments);
  m->Disc(kShaftTop, 0.9, segments, false);
  m->Frustum(kShaftTop, 0.9, kHeadNeck, 1.5, segments);
  m->Frustum(kHeadNeck, 1.5, kHeadTop, 1.5, segments);
  m->Disc(kHeadTop, 1.5, segments, true);
}

// A blade along direction angle `theta` from the hub outwards: a slab that tapers and
// twists from root to tip, in `sections` steps.
void BuildBlade(MeshBuilder* m, double theta, int sections) {
  const Vec along = {std::cos(theta), 0, std::sin(theta)};
  const Vec side = {-std::sin(theta), 0, std::cos(theta)};
  const Vec up = {0, 1, 0};
  constexpr double kRoot = 0.4, kTip = 3.6, kHeight = 0.25, kThickness = 0.08;
  struct Section {
    Vec c[4];  // corners: leading top, trailing top, trailing bottom, leading bottom
  };
  std::vector<Section> ring;
  for (int k = 0; k <= sections; ++k) {
    const double f = static_cast<double>(k) / sections;
    const double radius = kRoot + (kTip - kRoot) * f;
    const double width = 0.55 - 0.3 * f;
    const double pitch = (25.0 - 15.0 * f) * kPi / 180.0;
    const Vec w = side * std::cos(pitch) + up * std::sin(pitch);
    const Vec t = up * std::cos(pitch) - side * std::sin(pitch);
    const Vec centre = along * radius + up * kHeight;
    const Vec hw = w * (width / 2), ht = t * (kThickness / 2);
    ring.push_back({{centre + hw + ht, centre - hw + ht, centre - hw - ht, centre + hw - ht}});
  }
  for (int k = 0; k < sections; ++k) {
    const Section& a = ring[static_cast<size_t>(k)];
    const Section& b = ring[static_cast<size_t>(k + 1)];
    for (int e = 0; e < 4; ++e) {
      const int f = (e + 1) % 4;
      m->Quad(a.c[f], a.c[e], b.c[e], b.c[f]);
    }
  }
  const Section& root = ring.front();
  const Section& tip = ring.back();
  m->Quad(root.c[0], root.c[1], root.c[2], root.c[3]);
  m->Quad(tip.c[3], tip.c[2], tip.c[1], tip.c[0]);
}

void BuildRotor(MeshBuilder* m, int segments, int sections, bool spinner) {
  m->Disc(0.0, 0.45, segments, false);
  m->Frustum(0.0, 0.45, 0.5, 0.45, segments);
  if (spinner)
    m->Cone(0.5, 0.45, 0.85, segments);
  else
    m->Disc(0.5, 0.45, segments, true);
  for (int blade = 0; blade < 3; ++blade) BuildBlade(m, 2 * kPi * blade / 3, sections);
}

std::string LevelFile(const std::string& folder, const char* name, int level) {
  std::string file = folder + "/" + name;
  if (level > 0) file += "_" + std::to_string(level);
  return file + ".gltf";
}

bool Write(const MeshBuilder& m, const kivQModelMesh& mesh, const kivQModelTagInfo* tags, int tagCount,
           const std::string& path) {
  if (!m.WindingsAgree()) {
    std::fprintf(stderr, "towermodels: %s: a triangle faces inwards\n", path.c_str());
    return false;
  }
  void* model = nullptr;
  if (kivQModel_CreateModel(&mesh, tags, tagCount, &model) < 0 || kivQModel_SaveModel(model, path.c_str()) < 0) {
    std::fprintf(stderr, "towermodels: cannot write %s\n", path.c_str());
    kivQModel_DestroyModel(&model);
    return false;
  }
  kivQModel_DestroyModel(&model);
  std::printf("%s\n", path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: towermodels <folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  const kivQModelTagInfo rotorTag = {"tag_rotor", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, static_cast<float>(kHeadTop), 0, 1}};
  const int towerSegments[3] = {32, 12, 6};
  const int hubSegments[3] = {24, 12, 6};
  const int bladeSections[3] = {4, 2, 1};
  bool ok = true;
  for (int level = 0; level < 3; ++level) {
    MeshBuilder tower;
    BuildTower(&tower, towerSegments[level]);
    ok = Write(tower, tower.Mesh(0.625f, 0.65625f, 0.71875f), &rotorTag, 1, LevelFile(folder, "tower", level)) && ok;
    MeshBuilder rotor;
    BuildRotor(&rotor, hubSegments[level], bladeSections[level], level == 0);
    ok = Write(rotor, rotor.Mesh(0.9375f, 0.4375f, 0.125f), nullptr, 0, LevelFile(folder, "tower_rotor", level)) && ok;
  }
  return ok ? 0 : 1;
}
