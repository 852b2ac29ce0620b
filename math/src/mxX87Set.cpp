// The x87 set: the near-equal test, the chord table of MXVec3Normalize and the
// installation of all 57 routines.
#include <bit>
#include <utility>
#include <cstdint>

#include "mxTable.h"
#include "mxX87.h"

namespace mx::x87 {

bool nearEqual(float a, float b) {
  const double d = static_cast<double>(a) - static_cast<double>(b);
  return d >= -0x1p-23 && d <= 0x1p-23;
}

namespace {

constexpr double sqrtNewton(double x) {
  double r = x < 1 ? 1.0 : x;
  for (int i = 0; i < 64; ++i) r = 0.5 * (r + x / r);
  return r;
}

constexpr double rsqrt(double m) { return 1.0 / sqrtNewton(m); }

// Chord i joins the single-precision values of 1/sqrt(m) at the two ends of its interval:
// [0.5, 1) in steps of 1/512, then [1, 2) in steps of 1/256.
constexpr Chord chord(int i) {
  const double width = i < 256 ? 1.0 / 512 : 1.0 / 256;
  const double lo = i < 256 ? 0.5 + i * width : 1.0 + (i - 256) * width;
  const double hi = lo + width;
  const double atLo = static_cast<float>(rsqrt(lo)), atHi = static_cast<float>(rsqrt(hi));
  const float slope = static_cast<float>((atHi - atLo) / width);
  return {slope, static_cast<float>(atLo - slope * lo)};
}

template <int... I>
constexpr auto makeChords(std::integer_sequence<int, I...>) {
  return std::array<Chord, sizeof...(I)>{chord(I)...};
}

}  // namespace

constexpr std::array<Chord, 512> kChords = makeChords(std::make_integer_sequence<int, 512>{});

double chordRsqrt(float squaredLength) {
  const uint32_t b = std::bit_cast<uint32_t>(squaredLength);
  const Chord& c = kChords[(b >> 15) & 0x1FF];
  const float m = std::bit_cast<float>((b & 0x00FFFFFFu) | 0x3F000000u);
  const float scale = std::bit_cast<float>(((0xBEFFFFFFu - b) >> 1) & 0xFF800000u);
  return (static_cast<double>(c.slope) * m + c.intercept) * scale;
}

}  // namespace mx::x87

namespace mx {

void installX87Set() {
#define MX_OP(slot, name, ret, params, args) install<slot>(&x87::name);
#include "mxOps.def"
#undef MX_OP
}

}  // namespace mx
