// Every operation of every routine set against a double-precision reference.
//
// Tolerances, |got - ref| <= rel * |ref| + abs, per operation and kind of set:
// - x87 routines accumulate in double and round once: half an ulp, rel 6e-8 (plus a
//   tiny abs for results that cancel to near 0).
// - Packed routines sum four single-precision products: about 4 ulps of the largest term;
//   with inputs in [-2, 2] (terms up to 4, sums up to 16) that is abs 4e-6.
// - Refined reciprocal and reciprocal square root (one Newton-Raphson step from a 12-bit
//   estimate): relative error below 3e-7 on top of the sums.
// - The x87 chord-table normalisation: relative 1.5e-6.
// - Polynomial sine and cosine of the packed sets: abs 3e-7 per value on |angle| <= 2pi.
// - The 3DNow sets sum in single precision as the packed sets do, and their reciprocal and
//   reciprocal square root estimates are refined by the processor's iteration steps to
//   about an ulp (the emulator computes the estimates exactly), so the packed tolerances
//   hold for them. Where only the x87 and 3DNow sets have a routine of their own (plane
//   from point and normal, 2-vector normalisation) the 3DNow routine gets the packed
//   tolerance too.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "mxTestSupport.h"
#include "mxX87.h"

using namespace mxtest;

namespace {

struct Tol {
  double rel, abs;
};

constexpr Tol kOneRounding{6e-8, 1e-12};
constexpr Tol kPackedSum{2.4e-7, 4e-6};

void expectNear(const float* got, const double* ref, int n, Tol t, const char* what) {
  for (int i = 0; i < n; ++i)
    EXPECT_LE(std::fabs(got[i] - ref[i]), t.rel * std::fabs(ref[i]) + t.abs)
        << what << " component " << i << ": got " << got[i] << ", want " << ref[i];
}

void expectMatrixNear(const MXMATRIX& got, const DMat& ref, Tol t, const char* what) {
  expectNear(&got.m[0][0], &ref.m[0][0], 16, t, what);
}

bool sameBits(const MXMATRIX& a, const MXMATRIX& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class MathSet : public ::testing::TestWithParam<Set> {
 protected:
  void SetUp() override {
    if (!processorRuns(GetParam())) GTEST_SKIP() << "this processor lacks the set's instructions";
    useSet(GetParam());
    set_ = installedSet();
  }
  bool packed() const { return set_ != Set::X87; }
  Tol pick(Tol x87, Tol packedTol) const { return packed() ? packedTol : x87; }
  // For the slots that the SSE and SSE2 sets leave to the x87 routine.
  bool amd3DNow() const { return set_ == Set::ThreeDNow || set_ == Set::ThreeDNowExt; }
  Tol pick3DNow(Tol x87, Tol amd) const { return amd3DNow() ? amd : x87; }
  Rng rng;
  Set set_ = Set::X87;
};

// ---- transforms ----

TEST_P(MathSet, VectorTransformsMatchReference) {
  const Tol t = pick(kOneRounding, kPackedSum);
  for (int i = 0; i < 200; ++i) {
    const MXMATRIX m = rng.matrix();
    const DMat d = toD(m);
    const MXVECTOR2 v2 = rng.v2();
    const MXVECTOR3 v3 = rng.v3();
    const MXVECTOR4 v4 = rng.v4();
    double ref[4];
    MXVECTOR4 o4;
    const double in2[4] = {v2.x, v2.y, 0, 1}, in3[4] = {v3.x, v3.y, v3.z, 1}, in4[4] = {v4.x, v4.y, v4.z, v4.w};
    rowTimes(in2, d, ref);
    ASSERT_EQ(MXVec2Transform(&o4, &v2, &m), &o4);
    expectNear(&o4.x, ref, 4, t, "MXVec2Transform");
    rowTimes(in3, d, ref);
    ASSERT_EQ(MXVec3Transform(&o4, &v3, &m), &o4);
    expectNear(&o4.x, ref, 4, t, "MXVec3Transform");
    rowTimes(in4, d, ref);
    ASSERT_EQ(MXVec4Transform(&o4, &v4, &m), &o4);
    expectNear(&o4.x, ref, 4, t, "MXVec4Transform");

    const double n2[4] = {v2.x, v2.y, 0, 0}, n3[4] = {v3.x, v3.y, v3.z, 0};
    MXVECTOR2 o2;
    MXVECTOR3 o3;
    rowTimes(n2, d, ref);
    ASSERT_EQ(MXVec2TransformNormal(&o2, &v2, &m), &o2);
    expectNear(&o2.x, ref, 2, t, "MXVec2TransformNormal");
    rowTimes(n3, d, ref);
    ASSERT_EQ(MXVec3TransformNormal(&o3, &v3, &m), &o3);
    expectNear(&o3.x, ref, 3, t, "MXVec3TransformNormal");

    const MXPLANE p = {v4.x, v4.y, v4.z, v4.w};
    MXPLANE op;
    rowTimes(in4, d, ref);
    ASSERT_EQ(MXPlaneTransform(&op, &p, &m), &op);
    expectNear(&op.a, ref, 4, kPackedSum, "MXPlaneTransform");
  }
}

// Coordinates divided by w': w' kept away from 0 so the quotient is well conditioned.
TEST_P(MathSet, CoordTransformsDivideByW) {
  const Tol t = pick({2e-7, 1e-10}, {1e-6, 2e-5});
  for (int i = 0; i < 200; ++i) {
    MXMATRIX m = rng.matrix();
    for (int r = 0; r < 3; ++r) m.m[r][3] = rng.uniform(-0.1f, 0.1f);
    m.m[3][3] = rng.uniform(1.5f, 3.0f);
    const DMat d = toD(m);
    const MXVECTOR3 v = rng.v3();
    const double in[4] = {v.x, v.y, v.z, 1};
    double h[4];
    rowTimes(in, d, h);
    const double ref[3] = {h[0] / h[3], h[1] / h[3], h[2] / h[3]};
    MXVECTOR3 o;
    ASSERT_EQ(MXVec3TransformCoord(&o, &v, &m), &o);
    expectNear(&o.x, ref, 3, t, "MXVec3TransformCoord");

    const MXVECTOR2 v2 = {v.x, v.y};
    const double in2[4] = {v.x, v.y, 0, 1};
    rowTimes(in2, d, h);
    const double ref2[2] = {h[0] / h[3], h[1] / h[3]};
    MXVECTOR2 o2;
    ASSERT_EQ(MXVec2TransformCoord(&o2, &v2, &m), &o2);
    expectNear(&o2.x, ref2, 2, t, "MXVec2TransformCoord");
  }
}

TEST_P(MathSet, TransformCoordEdgeCases) {
  MXMATRIX m;
  MXMatrixTranslation(&m, 1.5f, -2.0f, 0.25f);
  m.m[0][0] = 3.0f;
  const MXVECTOR3 v = {0.1f, 0.2f, 0.3f};
  MXVECTOR3 o;

  // Fourth column (0, 0, 0, 1): w' = 1. The x87 routine leaves out the division, so the
  // result is x' rounded once.
  MXVec3TransformCoord(&o, &v, &m);
  if (!packed()) {
    EXPECT_EQ(o.x, static_cast<float>(0.1f * 3.0 + 1.5));
    EXPECT_EQ(o.y, static_cast<float>(0.2f - 2.0));
    EXPECT_EQ(o.z, static_cast<float>(0.3 + 0.25f));
  } else {
    EXPECT_NEAR(o.x, 0.1f * 3.0 + 1.5, 1e-6);
  }

  // w' = 2 halves (x', y', z').
  MXMATRIX m2 = m;
  m2.m[3][3] = 2.0f;
  MXVec3TransformCoord(&o, &v, &m2);
  EXPECT_NEAR(o.x, (0.1 * 3.0 + 1.5) / 2, 2e-7);
  EXPECT_NEAR(o.y, (0.2 - 2.0) / 2, 2e-7);
  EXPECT_NEAR(o.z, (0.3 + 0.25) / 2, 2e-7);

  // out the same as v.
  MXVECTOR3 same = v;
  MXVECTOR3 separate;
  MXVec3TransformCoord(&separate, &v, &m2);
  EXPECT_EQ(MXVec3TransformCoord(&same, &same, &m2), &same);
  EXPECT_EQ(std::memcmp(&same, &separate, sizeof same), 0);

  // w' = 0: non-finite components, no failure.
  MXMATRIX m0 = m;
  m0.m[3][3] = 0.0f;
  EXPECT_EQ(MXVec3TransformCoord(&o, &v, &m0), &o);
  EXPECT_FALSE(std::isfinite(o.x));
  EXPECT_FALSE(std::isfinite(o.y));
  EXPECT_FALSE(std::isfinite(o.z));
}

// ---- matrices ----

TEST_P(MathSet, MatrixMultiplyWithEveryAliasing) {
  const Tol t = pick(kOneRounding, kPackedSum);
  for (int i = 0; i < 100; ++i) {
    const MXMATRIX a = rng.matrix(), b = rng.matrix();
    const DMat ab = mul(toD(a), toD(b)), aa = mul(toD(a), toD(a));
    MXMATRIX out;
    ASSERT_EQ(MXMatrixMultiply(&out, &a, &b), &out);
    expectMatrixNear(out, ab, t, "separate");
    MXMATRIX m1 = a;
    ASSERT_EQ(MXMatrixMultiply(&m1, &m1, &b), &m1);
    expectMatrixNear(m1, ab, t, "out = m1");
    MXMATRIX m2 = b;
    ASSERT_EQ(MXMatrixMultiply(&m2, &a, &m2), &m2);
    expectMatrixNear(m2, ab, t, "out = m2");
    MXMATRIX both = a;
    ASSERT_EQ(MXMatrixMultiply(&both, &both, &both), &both);
    expectMatrixNear(both, aa, t, "out = m1 = m2");

    DMat abT;
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) abT.m[r][c] = ab.m[c][r];
    MXMATRIX tr = b;
    ASSERT_EQ(MXMatrixMultiplyTranspose(&tr, &a, &tr), &tr);
    expectMatrixNear(tr, abT, t, "MXMatrixMultiplyTranspose");
  }
  MXMATRIX id, m = rng.matrix(), out;
  MXMatrixScaling(&id, 1, 1, 1);
  MXMatrixMultiply(&out, &id, &m);
  EXPECT_TRUE(sameBits(out, m)) << "identity times M";
}

TEST_P(MathSet, ProductOrderIsFirstThenSecond) {
  MXMATRIX t, s, ts, st;
  MXMatrixTranslation(&t, 1, 2, 3);
  MXMatrixScaling(&s, 2, 2, 2);
  MXMatrixMultiply(&ts, &t, &s);
  MXMatrixMultiply(&st, &s, &t);
  const MXVECTOR3 origin = {0, 0, 0};
  MXVECTOR3 o;
  MXVec3TransformCoord(&o, &origin, &ts);
  EXPECT_NEAR(o.x, 2, 1e-6);
  EXPECT_NEAR(o.y, 4, 1e-6);
  EXPECT_NEAR(o.z, 6, 1e-6);
  MXVec3TransformCoord(&o, &origin, &st);
  EXPECT_NEAR(o.x, 1, 1e-6);
  EXPECT_NEAR(o.y, 2, 1e-6);
  EXPECT_NEAR(o.z, 3, 1e-6);
}

TEST_P(MathSet, TranslationAndScalingCopyTheirArgumentsBitForBit) {
  const float odd[3] = {-0.0f, std::bit_cast<float>(0x7FC01234u), std::numeric_limits<float>::denorm_min()};
  MXMATRIX m;
  std::memset(&m, 0xAB, sizeof m);
  ASSERT_EQ(MXMatrixTranslation(&m, odd[0], odd[1], odd[2]), &m);
  EXPECT_EQ(std::memcmp(&m.m[3][0], odd, sizeof odd), 0);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      if (r != 3 || c == 3) {
        EXPECT_EQ(m.m[r][c], r == c ? 1.0f : 0.0f) << r << c;
      }
  std::memset(&m, 0xAB, sizeof m);
  ASSERT_EQ(MXMatrixScaling(&m, odd[0], odd[1], odd[2]), &m);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(std::bit_cast<uint32_t>(m.m[i][i]), std::bit_cast<uint32_t>(odd[i]));
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      if (r != c) {
        EXPECT_EQ(std::bit_cast<uint32_t>(m.m[r][c]), 0u) << r << c;
      }
  EXPECT_EQ(m.m[3][3], 1.0f);
}

TEST_P(MathSet, DeterminantAndInverse) {
  const Tol detTol = pick({6e-8, 1e-9}, {1e-6, 1e-3});
  const Tol invTol = pick({1.5e-7, 1e-9}, {2e-6, 2e-6});
  for (int i = 0; i < 100; ++i) {
    const MXMATRIX m = rng.invertible();
    DMat inv;
    double det;
    ASSERT_TRUE(invert(toD(m), &inv, &det));
    const double refDet[1] = {det};
    const float gotDet = MXMatrixDeterminant(&m);
    expectNear(&gotDet, refDet, 1, detTol, "MXMatrixDeterminant");
    MXMATRIX out = m;
    float outDet = 0;
    ASSERT_EQ(MXMatrixInverse(&out, &outDet, &out), &out);
    expectNear(&outDet, refDet, 1, detTol, "determinant output");
    expectMatrixNear(out, inv, invTol, "MXMatrixInverse");
    ASSERT_EQ(MXMatrixInverse(&out, nullptr, &m), &out);
  }
  // Singular: two equal rows of small whole numbers, so every routine's determinant is 0.
  MXMATRIX s;
  for (auto& row : s.m)
    for (auto& v : row) v = std::round(rng.uniform(-9, 9));
  for (int c = 0; c < 4; ++c) s.m[2][c] = s.m[1][c];
  MXMATRIX out;
  std::memset(&out, 0x5A, sizeof out);
  const MXMATRIX before = out;
  float det = 1;
  EXPECT_EQ(MXMatrixInverse(&out, &det, &s), nullptr);
  EXPECT_EQ(det, 0.0f) << "the determinant is written even when there is no inverse";
  MXMATRIX zero{};
  EXPECT_EQ(MXMatrixInverse(&out, nullptr, &zero), nullptr);
  EXPECT_TRUE(sameBits(out, before));
  EXPECT_EQ(MXMatrixDeterminant(&zero), 0.0f);
}

TEST_P(MathSet, TransposeAndRotationMatrices) {
  MXMATRIX m = rng.matrix(), t;
  MXMatrixTranspose(&t, &m);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(t.m[r][c], m.m[c][r]);
  MXMATRIX self = m;
  MXMatrixTranspose(&self, &self);
  EXPECT_TRUE(sameBits(self, t));

  const Tol trig = pick(kOneRounding, {0, 3e-7});
  for (float a : {0.0f, 0.5f, -1.2f, 3.14159265f, 6.0f, -6.2f}) {
    MXMATRIX r;
    ASSERT_EQ(MXMatrixRotationX(&r, a), &r);
    expectMatrixNear(r, rotX(a), trig, "MXMatrixRotationX");
    ASSERT_EQ(MXMatrixRotationY(&r, a), &r);
    expectMatrixNear(r, rotY(a), trig, "MXMatrixRotationY");
    ASSERT_EQ(MXMatrixRotationZ(&r, a), &r);
    expectMatrixNear(r, rotZ(a), trig, "MXMatrixRotationZ");
  }
}

TEST_P(MathSet, YawPitchRollIsRollThenPitchThenYaw) {
  const Tol t = pick({2e-7, 1e-7}, {0, 1.5e-6});
  MXMATRIX m;
  MXMatrixRotationYawPitchRoll(&m, 0, 0, 0);
  expectMatrixNear(m, identityD(), t, "zero angles");
  for (float a : {0.3f, -1.0f, 2.5f}) {
    MXMatrixRotationYawPitchRoll(&m, a, 0, 0);
    expectMatrixNear(m, rotY(a), t, "yaw alone");
    MXMatrixRotationYawPitchRoll(&m, 0, a, 0);
    expectMatrixNear(m, rotX(a), t, "pitch alone");
    MXMatrixRotationYawPitchRoll(&m, 0, 0, a);
    expectMatrixNear(m, rotZ(a), t, "roll alone");
  }
  for (int i = 0; i < 100; ++i) {
    const float y = rng.uniform(-3.2f, 3.2f), p = rng.uniform(-3.2f, 3.2f), r = rng.uniform(-3.2f, 3.2f);
    ASSERT_EQ(MXMatrixRotationYawPitchRoll(&m, y, p, r), &m);
    expectMatrixNear(m, mul(mul(rotZ(r), rotX(p)), rotY(y)), t, "Z(roll) X(pitch) Y(yaw)");
  }
  MXMatrixRotationYawPitchRoll(&m, 1.57079633f, 0, 0);
  const MXVECTOR3 x = {1, 0, 0};
  MXVECTOR3 o;
  MXVec3TransformCoord(&o, &x, &m);
  EXPECT_NEAR(o.x, 0, 1e-6);
  EXPECT_NEAR(o.y, 0, 1e-6);
  EXPECT_NEAR(o.z, -1, 1e-6);
}

TEST_P(MathSet, RotationAxisAndQuaternionMatrices) {
  const Tol t = pick({3e-6, 3e-6}, {3e-6, 3e-6});  // the axis goes through the normalisation
  for (int i = 0; i < 100; ++i) {
    const MXQUATERNION q = rng.unitQuat();
    MXMATRIX m;
    ASSERT_EQ(MXMatrixRotationQuaternion(&m, &q), &m);
    expectMatrixNear(m, quatMatrix(q.x, q.y, q.z, q.w), pick({1.5e-7, 1e-7}, {1.5e-7, 1e-7}), "MXMatrixRotationQuaternion");

    const MXVECTOR3 axis = rng.v3();
    const float angle = rng.uniform(-3, 3);
    const double n = std::sqrt(double(axis.x) * axis.x + double(axis.y) * axis.y + double(axis.z) * axis.z);
    const double s = std::sin(angle / 2.0), c = std::cos(angle / 2.0);
    ASSERT_EQ(MXMatrixRotationAxis(&m, &axis, angle), &m);
    expectMatrixNear(m, quatMatrix(axis.x / n * s, axis.y / n * s, axis.z / n * s, c), t, "MXMatrixRotationAxis");
    MXQUATERNION qa;
    ASSERT_EQ(MXQuaternionRotationAxis(&qa, &axis, angle), &qa);
    const double ref[4] = {axis.x / n * s, axis.y / n * s, axis.z / n * s, c};
    expectNear(&qa.x, ref, 4, t, "MXQuaternionRotationAxis");
  }
}

TEST_P(MathSet, ShadowAndReflect) {
  const MXPLANE ground = {0, 2, 0, -2};  // y = 1, not normalised
  MXMATRIX r;
  ASSERT_EQ(MXMatrixReflect(&r, &ground), &r);
  const MXVECTOR3 p = {0.5f, 3, -1};
  MXVECTOR3 o;
  MXVec3TransformCoord(&o, &p, &r);
  EXPECT_NEAR(o.x, 0.5, 2e-6);
  EXPECT_NEAR(o.y, -1, 2e-6);
  EXPECT_NEAR(o.z, -1, 2e-6);
  MXMATRIX twice;
  MXMatrixMultiply(&twice, &r, &r);
  expectMatrixNear(twice, identityD(), {0, 5e-6}, "reflect twice");

  const MXVECTOR4 light = {1, 5, 2, 1};  // a point light
  MXMATRIX s;
  ASSERT_EQ(MXMatrixShadow(&s, &light, &ground), &s);
  for (int i = 0; i < 20; ++i) {
    const MXVECTOR3 v = rng.v3();
    MXVec3TransformCoord(&o, &v, &s);
    EXPECT_NEAR(o.y, 1, 1e-4) << "shadow lies on the plane";
    // On the line from the light through the point.
    const double t = (1.0 - light.y) / (v.y - light.y);
    EXPECT_NEAR(o.x, light.x + t * (v.x - light.x), 1e-4);
    EXPECT_NEAR(o.z, light.z + t * (v.z - light.z), 1e-4);
  }
}

TEST_P(MathSet, ComposedTransformations) {
  const Tol t{0, 2e-5};
  for (int i = 0; i < 50; ++i) {
    const MXVECTOR3 sc = rng.v3(), s = {rng.uniform(0.5f, 2), rng.uniform(0.5f, 2), rng.uniform(0.5f, 2)};
    const MXVECTOR3 rc = rng.v3(), tr = rng.v3();
    const MXQUATERNION sr = rng.unitQuat(), rot = rng.unitQuat();
    auto translate = [](const MXVECTOR3& v, double k) {
      DMat d = identityD();
      d.m[3][0] = k * v.x, d.m[3][1] = k * v.y, d.m[3][2] = k * v.z;
      return d;
    };
    DMat sm = identityD();
    sm.m[0][0] = s.x, sm.m[1][1] = s.y, sm.m[2][2] = s.z;
    const DMat srm = quatMatrix(sr.x, sr.y, sr.z, sr.w);
    DMat srT;
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) srT.m[r][c] = srm.m[c][r];
    const DMat rm = quatMatrix(rot.x, rot.y, rot.z, rot.w);
    DMat ref = mul(mul(mul(mul(translate(sc, -1), srT), sm), srm), translate(sc, 1));
    ref = mul(mul(mul(mul(ref, translate(rc, -1)), rm), translate(rc, 1)), translate(tr, 1));
    MXMATRIX m;
    ASSERT_EQ(MXMatrixTransformation(&m, &sc, &sr, &s, &rc, &rot, &tr), &m);
    expectMatrixNear(m, ref, t, "MXMatrixTransformation");

    DMat us = identityD();
    us.m[0][0] = us.m[1][1] = us.m[2][2] = s.x;
    const DMat aref = mul(mul(mul(mul(us, translate(rc, -1)), rm), translate(rc, 1)), translate(tr, 1));
    ASSERT_EQ(MXMatrixAffineTransformation(&m, s.x, &rc, &rot, &tr), &m);
    expectMatrixNear(m, aref, t, "MXMatrixAffineTransformation");
  }
  MXMATRIX m;
  ASSERT_EQ(MXMatrixTransformation(&m, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), &m);
  expectMatrixNear(m, identityD(), {0, 0}, "no parts: identity");
  ASSERT_EQ(MXMatrixAffineTransformation(&m, 2, nullptr, nullptr, nullptr), &m);
  DMat two = identityD();
  two.m[0][0] = two.m[1][1] = two.m[2][2] = 2;
  expectMatrixNear(m, two, {0, 0}, "scaling only");
}

// ---- normalisation ----

TEST_P(MathSet, Normalisation) {
  const Tol t3 = pick({1.5e-6, 1e-12}, {3e-7, 1e-12});
  const Tol t4 = pick({1.2e-7, 1e-12}, {3e-7, 1e-12});
  for (int i = 0; i < 500; ++i) {
    const float scale = std::ldexp(1.0f, static_cast<int>(rng.uniform(-20, 20)));
    MXVECTOR3 v = rng.v3();
    v = {v.x * scale, v.y * scale, v.z * scale};
    const double n = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    const double ref[4] = {v.x / n, v.y / n, v.z / n};
    MXVECTOR3 o;
    ASSERT_EQ(MXVec3Normalize(&o, &v), &o);
    expectNear(&o.x, ref, 3, t3, "MXVec3Normalize");

    const MXVECTOR4 w = rng.v4();
    const double n4 = std::sqrt(double(w.x) * w.x + double(w.y) * w.y + double(w.z) * w.z + double(w.w) * w.w);
    const double ref4[4] = {w.x / n4, w.y / n4, w.z / n4, w.w / n4};
    MXVECTOR4 o4;
    ASSERT_EQ(MXVec4Normalize(&o4, &w), &o4);
    expectNear(&o4.x, ref4, 4, t4, "MXVec4Normalize");
    const MXQUATERNION q = {w.x, w.y, w.z, w.w};
    MXQUATERNION oq;
    ASSERT_EQ(MXQuaternionNormalize(&oq, &q), &oq);
    expectNear(&oq.x, ref4, 4, t4, "MXQuaternionNormalize");

    const MXVECTOR2 u = {w.x, w.y};
    const double n2 = std::sqrt(double(u.x) * u.x + double(u.y) * u.y);
    const double ref2[2] = {u.x / n2, u.y / n2};
    MXVECTOR2 o2;
    ASSERT_EQ(MXVec2Normalize(&o2, &u), &o2);
    expectNear(&o2.x, ref2, 2, pick3DNow(kOneRounding, {3e-7, 1e-12}), "MXVec2Normalize");
  }
}

TEST_P(MathSet, NormalisationEdgeCases) {
  MXVECTOR3 o3 = {9, 9, 9};
  const MXVECTOR3 zero3 = {0, 0, 0};
  MXVec3Normalize(&o3, &zero3);
  EXPECT_EQ(o3.x, 0.0f);
  EXPECT_EQ(o3.y, 0.0f);
  EXPECT_EQ(o3.z, 0.0f);

  MXVECTOR4 o4 = {9, 9, 9, 9};
  const MXVECTOR4 tiny = {1e-20f, 0, 0, 0};  // squared length below 2^-126
  MXVec4Normalize(&o4, &tiny);
  EXPECT_EQ(o4.x, 0.0f);
  EXPECT_EQ(o4.w, 0.0f);

  MXVECTOR2 o2 = {9, 9};
  const MXVECTOR2 zero2 = {0, 0};
  MXVec2Normalize(&o2, &zero2);
  EXPECT_EQ(o2.x, 0.0f);

  if (!packed()) {
    // Near unit length the x87 routines copy the input.
    const MXVECTOR3 near3 = {0.6f, 0.8f, 0.002f};  // squared length 1.000004
    MXVec3Normalize(&o3, &near3);
    EXPECT_EQ(std::memcmp(&o3, &near3, sizeof o3), 0);
    const MXVECTOR4 near4 = {1.0f, 1e-4f, 0, 0};  // squared length 1 + 1e-8
    MXVec4Normalize(&o4, &near4);
    EXPECT_EQ(std::memcmp(&o4, &near4, sizeof o4), 0);
  }

  MXVECTOR3 self = {3, 4, 12};
  MXVec3Normalize(&self, &self);
  EXPECT_NEAR(self.x, 3.0 / 13, 1e-6);
  EXPECT_NEAR(self.z, 12.0 / 13, 1e-6);
}

// ---- planes ----

TEST_P(MathSet, Planes) {
  for (int i = 0; i < 100; ++i) {
    const MXVECTOR3 a = rng.v3(), b = rng.v3(), c = rng.v3();
    MXPLANE p;
    ASSERT_EQ(MXPlaneFromPoints(&p, &a, &b, &c), &p);
    const double len = std::sqrt(double(p.a) * p.a + double(p.b) * p.b + double(p.c) * p.c);
    EXPECT_NEAR(len, 1, 3e-6);
    for (const MXVECTOR3& v : {a, b, c}) EXPECT_NEAR(p.a * v.x + p.b * v.y + p.c * v.z + p.d, 0, 2e-5);

    const MXVECTOR3 n = rng.v3();
    MXPLANE pn;
    ASSERT_EQ(MXPlaneFromPointNormal(&pn, &a, &n), &pn);
    const double ref[4] = {n.x, n.y, n.z, -(double(a.x) * n.x + double(a.y) * n.y + double(a.z) * n.z)};
    expectNear(&pn.a, ref, 4, pick3DNow(kOneRounding, kPackedSum), "MXPlaneFromPointNormal");

    MXPLANE un = {n.x, n.y, n.z, rng.any()};
    const double l = std::sqrt(double(un.a) * un.a + double(un.b) * un.b + double(un.c) * un.c);
    const double refn[4] = {un.a / l, un.b / l, un.c / l, un.d / l};
    ASSERT_EQ(MXPlaneNormalize(&un, &un), &un);
    expectNear(&un.a, refn, 4, pick({1.2e-7, 1e-12}, {3e-7, 1e-9}), "MXPlaneNormalize");

    // The line through a and b meets the plane through c with normal n.
    MXPLANE q;
    MXPlaneFromPointNormal(&q, &c, &n);
    MXVECTOR3 x;
    ASSERT_EQ(MXPlaneIntersectLine(&x, &q, &a, &b), &x);
    const double da = q.a * a.x + q.b * a.y + q.c * a.z + q.d, db = q.a * b.x + q.b * b.y + q.c * b.z + q.d;
    if (std::fabs(da - db) > 0.1) {
      const double t = da / (da - db);
      const double refx[3] = {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), a.z + t * (b.z - a.z)};
      expectNear(&x.x, refx, 3, {1e-5, 1e-4}, "MXPlaneIntersectLine");
    }
  }
  const MXPLANE ground = {0, 1, 0, 0};
  const MXVECTOR3 a = {0, 1, 0}, b = {5, 1, 3};  // parallel to the plane
  MXVECTOR3 x = {7, 7, 7};
  EXPECT_EQ(MXPlaneIntersectLine(&x, &ground, &a, &b), nullptr);
  EXPECT_EQ(x.x, 7.0f);
}

TEST_P(MathSet, ProjectAndUnprojectAreInverse) {
  MXMATRIX world, view, proj;
  MXMatrixRotationYawPitchRoll(&world, 0.3f, 0.2f, 0.1f);
  MXMatrixTranslation(&view, 0, 0, 5);
  MXMatrixScaling(&proj, 1, 1, 1);
  proj.m[2][3] = 1.0f;  // w' = z: a perspective divide
  proj.m[3][3] = 0.0f;
  proj.m[3][2] = -0.5f;
  const MXVIEWPORT vp = {10, 20, 640, 480, 0.0f, 1.0f};
  for (int i = 0; i < 50; ++i) {
    const MXVECTOR3 v = rng.v3();
    MXVECTOR3 s, back;
    ASSERT_EQ(MXVec3Project(&s, &v, &vp, &proj, &view, &world), &s);
    const DMat m = mul(mul(toD(world), toD(view)), toD(proj));
    const double in[4] = {v.x, v.y, v.z, 1};
    double h[4];
    rowTimes(in, m, h);
    const double ref[3] = {10 + (1 + h[0] / h[3]) * 320, 20 + (1 - h[1] / h[3]) * 240, h[2] / h[3]};
    expectNear(&s.x, ref, 3, {2e-6, 2e-4}, "MXVec3Project");
    ASSERT_EQ(MXVec3Unproject(&back, &s, &vp, &proj, &view, &world), &back);
    const double orig[3] = {v.x, v.y, v.z};
    expectNear(&back.x, orig, 3, {0, 2e-4}, "MXVec3Unproject");
  }
  MXMATRIX zero{};
  MXVECTOR3 o;
  const MXVECTOR3 v = {1, 2, 3};
  EXPECT_EQ(MXVec3Unproject(&o, &v, &vp, &zero, &view, &world), nullptr);
}

// ---- 4-vector cross product and splines ----

TEST_P(MathSet, Vec4CrossIsOrthogonalAndMatchesCofactors) {
  for (int i = 0; i < 100; ++i) {
    const MXVECTOR4 a = rng.v4(), b = rng.v4(), c = rng.v4();
    MXVECTOR4 o;
    ASSERT_EQ(MXVec4Cross(&o, &a, &b, &c), &o);
    // Component i is the determinant with the unit vector e_i as the fourth row.
    double ref[4];
    for (int k = 0; k < 4; ++k) {
      DMat d{};
      const float* rows[3] = {&a.x, &b.x, &c.x};
      for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 4; ++col) d.m[r][col] = rows[r][col];
      d.m[3][k] = 1;
      DMat unused;
      double det;
      invert(d, &unused, &det);
      ref[k] = -det;
    }
    expectNear(&o.x, ref, 4, {0, 3e-5}, "MXVec4Cross");
  }
  const MXVECTOR4 x = {1, 0, 0, 0}, y = {0, 1, 0, 0}, z = {0, 0, 1, 0};
  MXVECTOR4 o;
  MXVec4Cross(&o, &x, &y, &z);
  EXPECT_EQ(o.x, 0.0f);
  EXPECT_EQ(o.w, -1.0f);
}

template <typename V, int N>
void checkSplines(Rng& rng, V* (*hermite)(V*, const V*, const V*, const V*, const V*, float),
                  V* (*catmull)(V*, const V*, const V*, const V*, const V*, float),
                  V* (*bary)(V*, const V*, const V*, const V*, float, float)) {
  auto rand = [&] {
    V v;
    float* f = reinterpret_cast<float*>(&v);
    for (int i = 0; i < N; ++i) f[i] = rng.any();
    return v;
  };
  for (int i = 0; i < 100; ++i) {
    const V a = rand(), b = rand(), c = rand(), d = rand();
    const float s = rng.uniform(-0.5f, 1.5f), g = rng.uniform(-0.5f, 1.5f);
    const float *fa = reinterpret_cast<const float*>(&a), *fb = reinterpret_cast<const float*>(&b),
                *fc = reinterpret_cast<const float*>(&c), *fd = reinterpret_cast<const float*>(&d);
    const double s1 = s, s2 = s1 * s1, s3 = s2 * s1;
    double rh[N], rc[N], rb[N];
    for (int k = 0; k < N; ++k) {
      rh[k] = (2 * s3 - 3 * s2 + 1) * fa[k] + (s3 - 2 * s2 + s1) * fb[k] + (-2 * s3 + 3 * s2) * fc[k] + (s3 - s2) * fd[k];
      rc[k] = 0.5 * ((-s3 + 2 * s2 - s1) * fa[k] + (3 * s3 - 5 * s2 + 2) * fb[k] + (-3 * s3 + 4 * s2 + s1) * fc[k] +
                     (s3 - s2) * fd[k]);
      rb[k] = fa[k] + s1 * (fb[k] - double(fa[k])) + g * (fc[k] - double(fa[k]));
    }
    V o;
    ASSERT_EQ(hermite(&o, &a, &b, &c, &d, s), &o);
    expectNear(reinterpret_cast<float*>(&o), rh, N, {0, 1e-5}, "Hermite");
    ASSERT_EQ(catmull(&o, &a, &b, &c, &d, s), &o);
    expectNear(reinterpret_cast<float*>(&o), rc, N, {0, 1e-5}, "CatmullRom");
    ASSERT_EQ(bary(&o, &a, &b, &c, s, g), &o);
    expectNear(reinterpret_cast<float*>(&o), rb, N, {0, 4e-6}, "BaryCentric");
    V self = a;
    bary(&self, &self, &b, &c, s, g);
    expectNear(reinterpret_cast<float*>(&self), rb, N, {0, 4e-6}, "BaryCentric, out = v1");
  }
}

TEST_P(MathSet, Splines) {
  checkSplines<MXVECTOR2, 2>(rng, MXVec2Hermite, MXVec2CatmullRom, MXVec2BaryCentric);
  checkSplines<MXVECTOR3, 3>(rng, MXVec3Hermite, MXVec3CatmullRom, MXVec3BaryCentric);
  checkSplines<MXVECTOR4, 4>(rng, MXVec4Hermite, MXVec4CatmullRom, MXVec4BaryCentric);
}

// ---- quaternions ----

DMat matrixOf(const MXQUATERNION& q) { return quatMatrix(q.x, q.y, q.z, q.w); }

TEST_P(MathSet, QuaternionProductRotationAndInverse) {
  for (int i = 0; i < 100; ++i) {
    const MXQUATERNION a = rng.unitQuat(), b = rng.unitQuat();
    MXQUATERNION p;
    ASSERT_EQ(MXQuaternionMultiply(&p, &a, &b), &p);
    MXMATRIX mp;
    MXMatrixRotationQuaternion(&mp, &p);
    expectMatrixNear(mp, mul(matrixOf(a), matrixOf(b)), {0, 2e-6}, "a followed by b");
    MXQUATERNION self = a;
    MXQuaternionMultiply(&self, &self, &b);
    EXPECT_EQ(std::memcmp(&self, &p, sizeof p), 0);

    // From the matrix back to the quaternion (up to sign).
    MXQUATERNION back;
    MXMATRIX ma;
    MXMatrixRotationQuaternion(&ma, &a);
    ASSERT_EQ(MXQuaternionRotationMatrix(&back, &ma), &back);
    const double sign = (double(back.x) * a.x + double(back.y) * a.y + double(back.z) * a.z + double(back.w) * a.w) < 0 ? -1 : 1;
    const double ref[4] = {sign * a.x, sign * a.y, sign * a.z, sign * a.w};
    expectNear(&back.x, ref, 4, {0, 2e-6}, "MXQuaternionRotationMatrix");

    const MXQUATERNION g = {a.x * 3, a.y * 3, a.z * 3, a.w * 3};
    MXQUATERNION inv;
    ASSERT_EQ(MXQuaternionInverse(&inv, &g), &inv);
    const double n2 = double(g.x) * g.x + double(g.y) * g.y + double(g.z) * g.z + double(g.w) * g.w;
    const double refInv[4] = {-g.x / n2, -g.y / n2, -g.z / n2, g.w / n2};
    expectNear(&inv.x, refInv, 4, pick({1.2e-7, 1e-12}, {3e-7, 1e-9}), "MXQuaternionInverse");
  }
  const MXQUATERNION tiny = {1e-20f, 0, 0, 1e-20f};
  MXQUATERNION inv = {9, 9, 9, 9};
  MXQuaternionInverse(&inv, &tiny);
  EXPECT_EQ(inv.x, 0.0f);
  EXPECT_EQ(inv.w, 0.0f);
}

TEST_P(MathSet, QuaternionYawPitchRollMatchesFormula) {
  const Tol t = pick(kOneRounding, {0, 4e-7});
  for (int i = 0; i < 200; ++i) {
    const float y = rng.uniform(-6.3f, 6.3f), p = rng.uniform(-6.3f, 6.3f), r = rng.uniform(-6.3f, 6.3f);
    const double cy = std::cos(y * 0.5), sy = std::sin(y * 0.5), cp = std::cos(p * 0.5), sp = std::sin(p * 0.5);
    const double cr = std::cos(r * 0.5), sr = std::sin(r * 0.5);
    const double ref[4] = {cr * cy * sp + sr * sy * cp, cr * sy * cp - sr * cy * sp, sr * cy * cp - cr * sy * sp,
                           cr * cy * cp + sr * sy * sp};
    MXQUATERNION q;
    ASSERT_EQ(MXQuaternionRotationYawPitchRoll(&q, y, p, r), &q);
    expectNear(&q.x, ref, 4, t, "MXQuaternionRotationYawPitchRoll");
  }
}

TEST_P(MathSet, QuaternionInterpolation) {
  for (int i = 0; i < 50; ++i) {
    const MXQUATERNION a = rng.unitQuat(), b = rng.unitQuat();
    MXQUATERNION o;
    ASSERT_EQ(MXQuaternionSlerp(&o, &a, &b, 0), &o);
    const double ra[4] = {a.x, a.y, a.z, a.w};
    expectNear(&o.x, ra, 4, {0, 1e-6}, "slerp at 0");
    // The shorter arc: the end is b or -b, whichever is nearer a.
    const double sign = (double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z + double(a.w) * b.w) < 0 ? -1 : 1;
    const double rb[4] = {sign * b.x, sign * b.y, sign * b.z, sign * b.w};
    MXQuaternionSlerp(&o, &a, &b, 1);
    expectNear(&o.x, rb, 4, {0, 1e-6}, "slerp at 1");
    MXQuaternionSlerp(&o, &a, &b, 0.5f);
    // The midpoint is the normalised sum.
    double mid[4] = {a.x + rb[0], a.y + rb[1], a.z + rb[2], a.w + rb[3]};
    const double n = std::sqrt(mid[0] * mid[0] + mid[1] * mid[1] + mid[2] * mid[2] + mid[3] * mid[3]);
    for (double& m : mid) m /= n;
    expectNear(&o.x, mid, 4, {0, 2e-6}, "slerp at 0.5");

    const MXQUATERNION c = rng.unitQuat();
    MXQUATERNION bc;
    ASSERT_EQ(MXQuaternionBaryCentric(&bc, &a, &b, &c, 0, 0), &bc);
    EXPECT_EQ(std::memcmp(&bc, &a, sizeof a), 0) << "f + g = 0 copies q1";
    MXQUATERNION s1, s2, want;
    MXQuaternionSlerp(&s1, &a, &b, 0.7f);
    MXQuaternionSlerp(&s2, &a, &c, 0.7f);
    MXQuaternionSlerp(&want, &s1, &s2, 0.3f / 0.7f);
    MXQuaternionBaryCentric(&bc, &a, &b, &c, 0.4f, 0.3f);
    const double rw[4] = {want.x, want.y, want.z, want.w};
    expectNear(&bc.x, rw, 4, {0, 1e-6}, "MXQuaternionBaryCentric");

    MXQUATERNION sq;
    ASSERT_EQ(MXQuaternionSquad(&sq, &a, &b, &c, &a, 0), &sq);
    expectNear(&sq.x, ra, 4, {0, 1e-6}, "squad at 0");
  }
}

TEST_P(MathSet, QuaternionLogExpAndAxisAngle) {
  for (int i = 0; i < 100; ++i) {
    const MXQUATERNION q = rng.unitQuat();
    MXQUATERNION l, e;
    ASSERT_EQ(MXQuaternionLn(&l, &q), &l);
    EXPECT_EQ(l.w, 0.0f);
    ASSERT_EQ(MXQuaternionExp(&e, &l), &e);
    const double rq[4] = {q.x, q.y, q.z, q.w};
    expectNear(&e.x, rq, 4, {0, 2e-6}, "exp(ln q)");

    MXVECTOR3 axis;
    float angle;
    MXQuaternionToAxisAngle(&q, &axis, &angle);
    EXPECT_NEAR(angle, 2 * std::acos(q.w), 2e-6);
    const double ra[3] = {q.x, q.y, q.z};
    expectNear(&axis.x, ra, 3, {0, 1e-6}, "axis");
  }
  const MXQUATERNION tiny = {1e-30f, 0, 0, 0};
  MXVECTOR3 axis = {9, 9, 9};
  float angle = 9;
  MXQuaternionToAxisAngle(&tiny, &axis, &angle);
  EXPECT_EQ(axis.x, 1.0f);
  EXPECT_EQ(axis.y, 0.0f);
  EXPECT_EQ(angle, 0.0f);
  const MXQUATERNION q = {0, 0, 0, 1};
  MXQuaternionToAxisAngle(&q, nullptr, &angle);
  MXQuaternionToAxisAngle(&q, &axis, nullptr);
}

TEST_P(MathSet, SquadSetupOnOneGreatCircle) {
  // Keys equally spaced about one axis: the control points are the inner keys.
  MXQUATERNION k[4];
  const MXVECTOR3 axis = {0, 0, 1};
  for (int i = 0; i < 4; ++i) MXQuaternionRotationAxis(&k[i], &axis, 0.4f * i);
  MXQUATERNION a, b, c;
  MXQuaternionSquadSetup(&a, &b, &c, &k[0], &k[1], &k[2], &k[3]);
  const double r1[4] = {k[1].x, k[1].y, k[1].z, k[1].w}, r2[4] = {k[2].x, k[2].y, k[2].z, k[2].w};
  expectNear(&a.x, r1, 4, {0, 2e-6}, "A");
  expectNear(&b.x, r2, 4, {0, 2e-6}, "B");
  expectNear(&c.x, r2, 4, {0, 0}, "C");
  // A neighbour on the far side of the sphere is taken as its opposite.
  const MXQUATERNION flipped = {-k[2].x, -k[2].y, -k[2].z, -k[2].w};
  MXQuaternionSquadSetup(&a, &b, &c, &k[0], &k[1], &flipped, &k[3]);
  expectNear(&c.x, r2, 4, {0, 0}, "C from the opposite key");
}

// ---- null pointers ----

TEST_P(MathSet, NullPointersGiveNullAndWriteNothing) {
  MXMATRIX m, out;
  MXMatrixScaling(&m, 2, 3, 4);
  std::memset(&out, 0x77, sizeof out);
  const MXMATRIX before = out;
  MXVECTOR2 v2 = {1, 2}, o2 = {5, 5};
  MXVECTOR3 v3 = {1, 2, 3}, o3 = {5, 5, 5};
  MXVECTOR4 v4 = {1, 2, 3, 4}, o4 = {5, 5, 5, 5};
  MXQUATERNION q = {0, 0, 0, 1}, oq = {5, 5, 5, 5};
  MXPLANE p = {0, 1, 0, 0}, opl = {5, 5, 5, 5};
  MXVIEWPORT vp = {0, 0, 100, 100, 0, 1};
  float f = 0;
  const std::vector<std::pair<const char*, const void*>> calls = {
      {"Vec2Transform", MXVec2Transform(&o4, nullptr, &m)},
      {"Vec2Transform m", MXVec2Transform(&o4, &v2, nullptr)},
      {"Vec2Transform out", MXVec2Transform(nullptr, &v2, &m)},
      {"Vec3Transform", MXVec3Transform(&o4, nullptr, &m)},
      {"Vec3Transform m", MXVec3Transform(&o4, &v3, nullptr)},
      {"Vec4Transform", MXVec4Transform(&o4, &v4, nullptr)},
      {"MatrixMultiply m1", MXMatrixMultiply(&out, nullptr, &m)},
      {"MatrixMultiply m2", MXMatrixMultiply(&out, &m, nullptr)},
      {"MatrixMultiply out", MXMatrixMultiply(nullptr, &m, &m)},
      {"MatrixMultiplyTranspose", MXMatrixMultiplyTranspose(&out, &m, nullptr)},
      {"Vec2TransformNormal", MXVec2TransformNormal(&o2, &v2, nullptr)},
      {"Vec3TransformNormal", MXVec3TransformNormal(&o3, nullptr, &m)},
      {"Vec3Normalize", MXVec3Normalize(&o3, nullptr)},
      {"Vec3Normalize out", MXVec3Normalize(nullptr, &v3)},
      {"Vec4Normalize", MXVec4Normalize(&o4, nullptr)},
      {"Vec2TransformCoord", MXVec2TransformCoord(&o2, &v2, nullptr)},
      {"Vec3TransformCoord v", MXVec3TransformCoord(&o3, nullptr, &m)},
      {"Vec3TransformCoord m", MXVec3TransformCoord(&o3, &v3, nullptr)},
      {"Vec3TransformCoord out", MXVec3TransformCoord(nullptr, &v3, &m)},
      {"PlaneFromPointNormal", MXPlaneFromPointNormal(&opl, &v3, nullptr)},
      {"PlaneFromPoints", MXPlaneFromPoints(&opl, &v3, &v3, nullptr)},
      {"Vec3Project", MXVec3Project(&o3, &v3, nullptr, &m, &m, &m)},
      {"Vec3Unproject", MXVec3Unproject(&o3, &v3, &vp, &m, nullptr, &m)},
      {"Vec4Cross", MXVec4Cross(&o4, &v4, nullptr, &v4)},
      {"Vec2Hermite", MXVec2Hermite(&o2, &v2, &v2, &v2, nullptr, 0.5f)},
      {"MatrixInverse", MXMatrixInverse(&out, &f, nullptr)},
      {"MatrixInverse out", MXMatrixInverse(nullptr, &f, &m)},
      {"QuaternionMultiply", MXQuaternionMultiply(&oq, nullptr, &q)},
      {"QuaternionNormalize", MXQuaternionNormalize(&oq, nullptr)},
      {"PlaneNormalize", MXPlaneNormalize(&opl, nullptr)},
      {"PlaneIntersectLine", MXPlaneIntersectLine(&o3, &p, nullptr, &v3)},
      {"QuaternionRotationMatrix", MXQuaternionRotationMatrix(&oq, nullptr)},
      {"QuaternionRotationYawPitchRoll", MXQuaternionRotationYawPitchRoll(nullptr, 1, 2, 3)},
      {"MatrixTranslation", MXMatrixTranslation(nullptr, 1, 2, 3)},
      {"MatrixShadow", MXMatrixShadow(&out, nullptr, &p)},
      {"MatrixReflect", MXMatrixReflect(&out, nullptr)},
      {"QuaternionRotationAxis", MXQuaternionRotationAxis(&oq, nullptr, 1)},
      {"MatrixRotationX", MXMatrixRotationX(nullptr, 1)},
      {"MatrixRotationY", MXMatrixRotationY(nullptr, 1)},
      {"MatrixRotationZ", MXMatrixRotationZ(nullptr, 1)},
      {"MatrixScaling", MXMatrixScaling(nullptr, 1, 2, 3)},
      {"PlaneTransform", MXPlaneTransform(&opl, &p, nullptr)},
      {"QuaternionSlerp", MXQuaternionSlerp(&oq, &q, nullptr, 0.5f)},
      {"QuaternionBaryCentric", MXQuaternionBaryCentric(&oq, &q, &q, nullptr, 0.1f, 0.2f)},
      {"MatrixTranspose", MXMatrixTranspose(&out, nullptr)},
      {"MatrixRotationQuaternion", MXMatrixRotationQuaternion(&out, nullptr)},
      {"MatrixTransformation", MXMatrixTransformation(nullptr, &v3, &q, &v3, &v3, &q, &v3)},
      {"MatrixRotationYawPitchRoll", MXMatrixRotationYawPitchRoll(nullptr, 1, 2, 3)},
      {"MatrixAffineTransformation", MXMatrixAffineTransformation(nullptr, 1, &v3, &q, &v3)},
      {"MatrixRotationAxis", MXMatrixRotationAxis(&out, nullptr, 1)},
      {"QuaternionSquad", MXQuaternionSquad(&oq, &q, &q, nullptr, &q, 0.5f)},
      {"QuaternionInverse", MXQuaternionInverse(&oq, nullptr)},
      {"Vec2Normalize", MXVec2Normalize(&o2, nullptr)},
      {"Vec2CatmullRom", MXVec2CatmullRom(&o2, &v2, nullptr, &v2, &v2, 0.5f)},
      {"Vec2BaryCentric", MXVec2BaryCentric(&o2, &v2, &v2, nullptr, 0.1f, 0.2f)},
      {"Vec3Hermite", MXVec3Hermite(&o3, nullptr, &v3, &v3, &v3, 0.5f)},
      {"Vec3CatmullRom", MXVec3CatmullRom(&o3, &v3, &v3, &v3, nullptr, 0.5f)},
      {"Vec3BaryCentric", MXVec3BaryCentric(nullptr, &v3, &v3, &v3, 0.1f, 0.2f)},
      {"Vec4Hermite", MXVec4Hermite(&o4, &v4, nullptr, &v4, &v4, 0.5f)},
      {"Vec4CatmullRom", MXVec4CatmullRom(&o4, nullptr, &v4, &v4, &v4, 0.5f)},
      {"Vec4BaryCentric", MXVec4BaryCentric(&o4, &v4, nullptr, &v4, 0.1f, 0.2f)},
      {"QuaternionLn", MXQuaternionLn(&oq, nullptr)},
      {"QuaternionExp", MXQuaternionExp(nullptr, &q)},
  };
  for (const auto& [name, result] : calls) EXPECT_EQ(result, nullptr) << name;
  EXPECT_EQ(MXMatrixDeterminant(nullptr), 0.0f);
  MXQuaternionToAxisAngle(nullptr, &o3, &f);
  MXQUATERNION qa = {5, 5, 5, 5}, qb = qa, qc = qa;
  MXQuaternionSquadSetup(&qa, &qb, &qc, &q, &q, nullptr, &q);
  MXQuaternionSquadSetup(nullptr, &qb, &qc, &q, &q, &q, &q);
  EXPECT_EQ(qb.x, 5.0f);
  EXPECT_TRUE(sameBits(out, before));
  EXPECT_EQ(o2.x, 5.0f);
  EXPECT_EQ(o3.x, 5.0f);
  EXPECT_EQ(o4.x, 5.0f);
  EXPECT_EQ(oq.x, 5.0f);
  EXPECT_EQ(opl.a, 5.0f);
  EXPECT_EQ(f, 0.0f);
}

// ---- reads and writes stay within each object ----

TEST_P(MathSet, ObjectsEndingAtAGuardPageAreNotOverrun) {
  GuardPage pv, pm, po, pv2, pv3;
  MXMATRIX mm;
  MXMatrixRotationYawPitchRoll(&mm, 0.1f, 0.2f, 0.3f);
  const MXMATRIX* m = pm.at(mm);
  const MXVECTOR3* v3 = pv.at(MXVECTOR3{1, 2, 3});
  const MXVECTOR3* w3 = pv2.at(MXVECTOR3{-1, 0.5f, 2});
  const MXVECTOR3* u3 = pv3.at(MXVECTOR3{0.3f, -2, 1});
  MXVECTOR3* o3 = po.at(MXVECTOR3{});
  EXPECT_NE(MXVec3Transform(po.at(MXVECTOR4{}), v3, m), nullptr);
  EXPECT_NE(MXVec3TransformNormal(o3, v3, m), nullptr);
  EXPECT_NE(MXVec3TransformCoord(o3, v3, m), nullptr);
  EXPECT_NE(MXVec3Normalize(o3, v3), nullptr);
  EXPECT_NE(MXPlaneFromPoints(po.at(MXPLANE{}), v3, w3, u3), nullptr);
  EXPECT_NE(MXPlaneIntersectLine(o3, pv.at(MXPLANE{0, 1, 0, 0}), w3, u3), nullptr);
  EXPECT_NE(MXVec3Hermite(o3, v3, w3, u3, v3, 0.5f), nullptr);
  EXPECT_NE(MXVec3CatmullRom(o3, v3, w3, u3, v3, 0.5f), nullptr);
  EXPECT_NE(MXVec3BaryCentric(o3, v3, w3, u3, 0.2f, 0.3f), nullptr);

  const MXVECTOR2* v2 = pv.at(MXVECTOR2{1, 2});
  const MXVECTOR2* w2 = pv2.at(MXVECTOR2{3, -1});
  MXVECTOR2* o2 = po.at(MXVECTOR2{});
  EXPECT_NE(MXVec2Transform(pv3.at(MXVECTOR4{}), v2, m), nullptr);
  EXPECT_NE(MXVec2TransformNormal(o2, v2, m), nullptr);
  EXPECT_NE(MXVec2TransformCoord(o2, v2, m), nullptr);
  EXPECT_NE(MXVec2Normalize(o2, v2), nullptr);
  EXPECT_NE(MXVec2Hermite(o2, v2, w2, v2, w2, 0.5f), nullptr);
  EXPECT_NE(MXVec2CatmullRom(o2, v2, w2, v2, w2, 0.5f), nullptr);
  EXPECT_NE(MXVec2BaryCentric(o2, v2, w2, v2, 0.2f, 0.3f), nullptr);

  MXMATRIX* om = po.at(MXMATRIX{});
  EXPECT_NE(MXMatrixMultiply(om, m, m), nullptr);
  EXPECT_NE(MXMatrixMultiplyTranspose(om, m, m), nullptr);
  EXPECT_NE(MXMatrixInverse(om, pv.at(0.0f), m), nullptr);
  EXPECT_NE(MXMatrixDeterminant(m), 0.0f);
  EXPECT_NE(MXQuaternionRotationMatrix(po.at(MXQUATERNION{}), m), nullptr);
  EXPECT_NE(MXMatrixRotationYawPitchRoll(om, 1, 2, 3), nullptr);
  EXPECT_NE(MXMatrixTranslation(om, 1, 2, 3), nullptr);
  EXPECT_NE(MXMatrixScaling(om, 1, 2, 3), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Sets, MathSet, ::testing::Values(Set::X87, Set::SSE, Set::SSE2),
                         [](const ::testing::TestParamInfo<Set>& info) { return setName(info.param); });
// Run under the emulator with a 3DNow processor (tests/cpu-matrix); skipped elsewhere.
INSTANTIATE_TEST_SUITE_P(ThreeDNowSets, MathSet, ::testing::Values(Set::ThreeDNow, Set::ThreeDNowExt),
                         [](const ::testing::TestParamInfo<Set>& info) { return setName(info.param); });
// The set the selector really picks here; tests/cpu-matrix runs it on emulated processors.
INSTANTIATE_TEST_SUITE_P(Selected, MathSet, ::testing::Values(Set::Selected),
                         [](const ::testing::TestParamInfo<Set>& info) { return setName(info.param); });

// ---- the x87 chord table ----

TEST(ChordTable, FirstChordAndErrorBound) {
  EXPECT_FLOAT_EQ(mx::x87::kChords[0].slope, -1.4100952f);
  EXPECT_FLOAT_EQ(mx::x87::kChords[0].intercept, 2.1192613f);
  double worst = 0;
  for (int e = -60; e <= 60; ++e)
    for (int i = 0; i < 4096; ++i) {
      const float sq = std::ldexp(1.0f + i / 4096.0f, e);
      const double err = std::fabs(mx::x87::chordRsqrt(sq) * std::sqrt(double(sq)) - 1.0);
      worst = std::max(worst, err);
    }
  EXPECT_LE(worst, 1.5e-6);
  EXPECT_GT(worst, 1e-6) << "the chords are not tighter than their width allows";
}

TEST(NearEqual, TakesTheDifferenceWithoutRounding) {
  using mx::x87::nearEqual;
  EXPECT_TRUE(nearEqual(1.0f, 1.0f));
  EXPECT_TRUE(nearEqual(1.0f + 0x1p-23f, 1.0f));
  EXPECT_FALSE(nearEqual(1.0f + 0x1p-22f, 1.0f));
  EXPECT_TRUE(nearEqual(1.0f - 0x1p-24f, 1.0f));
  EXPECT_TRUE(nearEqual(0x1p-24f, 0.0f));
  EXPECT_FALSE(nearEqual(std::nanf(""), 1.0f));
}

}  // namespace
