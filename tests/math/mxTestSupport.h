// Shared helpers of the math tests: installing a given routine set, a double-precision
// reference, random inputs and inputs placed against a guard page.
#pragma once

#include <cpuid.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "3dnow/mx3DNow.h"
#include "mxDebug.h"
#include "mxTable.h"
#include "mxmath.h"

// The multiply routines of the packed sets, to tell which set a slot holds.
namespace mx::sse {
MXMATRIX* MXMatrixMultiply(MXMATRIX*, const MXMATRIX*, const MXMATRIX*);
}
namespace mx::sse2 {
MXMATRIX* MXMatrixMultiply(MXMATRIX*, const MXMATRIX*, const MXMATRIX*);
}

namespace mxtest {

// Selected: whatever the selector really picks on this processor, with the real platform layer.
enum class Set { X87, SSE, SSE2, ThreeDNow, ThreeDNowExt, Selected };

inline std::string setName(Set s) {
  switch (s) {
    case Set::X87:
      return "x87";
    case Set::SSE:
      return "SSE";
    case Set::SSE2:
      return "SSE2";
    case Set::ThreeDNow:
      return "3DNow";
    case Set::ThreeDNowExt:
      return "3DNowExt";
    case Set::Selected:
      return "Selected";
  }
  return "?";
}

// The table as at load: first-call routines, not selected, threshold unread.
inline void resetToLoadState() {
  mx::installFirstCallRoutines();
  mx::g_selected.store(false);
  mx::g_debugThreshold.store(mx::kThresholdUnread);
}

// Installs one set as the selector would have, without running the selector; Selected runs
// the selector itself, as the first call of a process does.
inline void useSet(Set s) {
  if (s == Set::Selected) {
    resetToLoadState();
    mx::selectRoutines();
    return;
  }
  mx::g_selected.store(true);
  mx::installX87Set();
  if (s == Set::SSE) mx::installSSESet();
  if (s == Set::SSE2) mx::installSSE2Set();
  if (s == Set::ThreeDNow || s == Set::ThreeDNowExt) mx::install3DNowSet();
  if (s == Set::ThreeDNowExt) mx::install3DNowExtSet();
}

// The set the table holds now, told by its multiply and inverse routines.
inline Set installedSet() {
  const void* multiply = mx::slotAddress(mx::kSlot_MXMatrixMultiply);
  if (multiply == reinterpret_cast<void*>(&mx::sse::MXMatrixMultiply)) return Set::SSE;
  if (multiply == reinterpret_cast<void*>(&mx::sse2::MXMatrixMultiply)) return Set::SSE2;
  if (multiply == reinterpret_cast<void*>(&mx::amd3DNow::MXMatrixMultiply))
    return mx::slotAddress(mx::kSlot_MXMatrixInverse) == reinterpret_cast<void*>(&mx::amd3DNowExt::MXMatrixInverse)
               ? Set::ThreeDNowExt
               : Set::ThreeDNow;
  return Set::X87;
}

// The 3DNow sets run only where the processor has them (under the emulator on most
// machines); the extension set also needs the extended instructions.
inline bool processorRuns(Set s) {
  if (s != Set::ThreeDNow && s != Set::ThreeDNowExt) return true;
  unsigned a, b, c, d;
  if (!__get_cpuid(0x80000001u, &a, &b, &c, &d)) return false;
  const bool base = (d >> 31) & 1 && (d >> 23) & 1;
  return s == Set::ThreeDNow ? base : base && (d >> 30) & 1 && (d >> 22) & 1;
}

// ---- double-precision reference ----

struct DMat {
  double m[4][4];
};

inline DMat toD(const MXMATRIX& a) {
  DMat d;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) d.m[r][c] = a.m[r][c];
  return d;
}

inline DMat mul(const DMat& a, const DMat& b) {
  DMat p{};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      for (int k = 0; k < 4; ++k) p.m[r][c] += a.m[r][k] * b.m[k][c];
  return p;
}

inline DMat identityD() {
  DMat d{};
  for (int i = 0; i < 4; ++i) d.m[i][i] = 1;
  return d;
}

inline void rowTimes(const double v[4], const DMat& m, double out[4]) {
  for (int c = 0; c < 4; ++c) out[c] = v[0] * m.m[0][c] + v[1] * m.m[1][c] + v[2] * m.m[2][c] + v[3] * m.m[3][c];
}

// Gauss-Jordan with partial pivoting; false when singular.
inline bool invert(const DMat& a, DMat* inv, double* det) {
  double w[4][8];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 8; ++c) w[r][c] = c < 4 ? a.m[r][c] : (c - 4 == r ? 1.0 : 0.0);
  double d = 1;
  for (int col = 0; col < 4; ++col) {
    int piv = col;
    for (int r = col + 1; r < 4; ++r)
      if (std::fabs(w[r][col]) > std::fabs(w[piv][col])) piv = r;
    if (w[piv][col] == 0) {
      *det = 0;
      return false;
    }
    if (piv != col) {
      for (int c = 0; c < 8; ++c) std::swap(w[piv][c], w[col][c]);
      d = -d;
    }
    d *= w[col][col];
    const double k = 1.0 / w[col][col];
    for (int c = 0; c < 8; ++c) w[col][c] *= k;
    for (int r = 0; r < 4; ++r) {
      if (r == col) continue;
      const double f = w[r][col];
      for (int c = 0; c < 8; ++c) w[r][c] -= f * w[col][c];
    }
  }
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) inv->m[r][c] = w[r][c + 4];
  *det = d;
  return true;
}

inline DMat rotX(double a) {
  DMat d = identityD();
  d.m[1][1] = std::cos(a), d.m[1][2] = std::sin(a), d.m[2][1] = -std::sin(a), d.m[2][2] = std::cos(a);
  return d;
}
inline DMat rotY(double a) {
  DMat d = identityD();
  d.m[0][0] = std::cos(a), d.m[0][2] = -std::sin(a), d.m[2][0] = std::sin(a), d.m[2][2] = std::cos(a);
  return d;
}
inline DMat rotZ(double a) {
  DMat d = identityD();
  d.m[0][0] = std::cos(a), d.m[0][1] = std::sin(a), d.m[1][0] = -std::sin(a), d.m[1][1] = std::cos(a);
  return d;
}

// The rotation matrix of a unit quaternion (row vectors).
inline DMat quatMatrix(double x, double y, double z, double w) {
  DMat d = identityD();
  d.m[0][0] = 1 - 2 * y * y - 2 * z * z, d.m[0][1] = 2 * x * y + 2 * w * z, d.m[0][2] = 2 * x * z - 2 * w * y;
  d.m[1][0] = 2 * x * y - 2 * w * z, d.m[1][1] = 1 - 2 * x * x - 2 * z * z, d.m[1][2] = 2 * y * z + 2 * w * x;
  d.m[2][0] = 2 * x * z + 2 * w * y, d.m[2][1] = 2 * y * z - 2 * w * x, d.m[2][2] = 1 - 2 * x * x - 2 * y * y;
  return d;
}

// ---- random inputs ----

struct Rng {
  std::mt19937 gen{12345};
  float uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(gen); }
  float any() { return uniform(-2.0f, 2.0f); }
  MXMATRIX matrix() {
    MXMATRIX m;
    for (auto& row : m.m)
      for (auto& v : row) v = any();
    return m;
  }
  // Well away from singular: a random matrix plus 5 times the identity.
  MXMATRIX invertible() {
    MXMATRIX m = matrix();
    for (int i = 0; i < 4; ++i) m.m[i][i] += 5.0f;
    return m;
  }
  MXVECTOR2 v2() { return {any(), any()}; }
  MXVECTOR3 v3() { return {any(), any(), any()}; }
  MXVECTOR4 v4() { return {any(), any(), any(), any()}; }
  MXQUATERNION unitQuat() {
    double x = any(), y = any(), z = any(), w = any();
    const double n = std::sqrt(x * x + y * y + z * z + w * w);
    return {static_cast<float>(x / n), static_cast<float>(y / n), static_cast<float>(z / n), static_cast<float>(w / n)};
  }
};

// ---- inputs against a guard page ----

// Two pages, the second PROT_NONE: an object placed with at() ends at the first page's
// end, so any read or write past it faults.
class GuardPage {
 public:
  GuardPage() {
    page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    base_ = static_cast<char*>(mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    mprotect(base_ + page_, page_, PROT_NONE);
  }
  ~GuardPage() { munmap(base_, 2 * page_); }
  GuardPage(const GuardPage&) = delete;
  GuardPage& operator=(const GuardPage&) = delete;

  template <typename T>
  T* at(const T& value) {
    T* p = reinterpret_cast<T*>(base_ + page_ - sizeof(T));
    std::memcpy(static_cast<void*>(p), &value, sizeof(T));
    return p;
  }

 private:
  size_t page_ = 0;
  char* base_ = nullptr;
};

}  // namespace mxtest
