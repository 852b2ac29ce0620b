// The four-lane constants of the SSE and SSE2 sets (see mxPacked.h for why they live here).
#include "mxPacked.h"

namespace mx::packed {

namespace {
constexpr Const4 splat4(float v) { return {{v, v, v, v}}; }
}  // namespace

const Const4 kHalf = splat4(0.5f), kOne = splat4(1.0f), kThree = splat4(3.0f), kSignBit = splat4(-0.0f);

const Const4 kTwoOverPi = splat4(0.636619772f);
const Const4 kHalfPi1 = splat4(1.5703125f);
const Const4 kHalfPi2 = splat4(4.837512969970703125e-4f);
const Const4 kHalfPi3 = splat4(7.549789954891882e-8f);
const Const4 kSin7 = splat4(-1.9515295891e-4f);
const Const4 kSin5 = splat4(8.3321608736e-3f);
const Const4 kSin3 = splat4(-1.6666654611e-1f);
const Const4 kCos8 = splat4(2.443315711809948e-5f);
const Const4 kCos6 = splat4(-1.388731625493765e-3f);
const Const4 kCos4 = splat4(4.166664568298827e-2f);

const Const4 kRoundMagic = splat4(12582912.0f);
const Const4 kQuarter = splat4(0.25f);
const Const4 kThreeEighths = splat4(0.375f);
const Const4 kFour = splat4(4.0f);
const Const4 kTwo = splat4(2.0f);

}  // namespace mx::packed
