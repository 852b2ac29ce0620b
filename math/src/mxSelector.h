// The routine selector's processor and operating-system tests.
#pragma once

#include <cstdint>

namespace mx {

// Non-zero when the feature (code 6 SSE, 7 3DNow, 10 SSE2) may be used: the processor has
// it and the operating system saves its state.
bool featureUsable(uint32_t code);

// The processor bits the 3DNow installation looks at.
struct ProcessorBits3DNow {
  bool mmx;
  bool amd3DNow;
  bool amd3DNowExt;
  bool mmxExt;
};
ProcessorBits3DNow gather3DNowBits();

// What the 3DNow installation put in place.
enum class Installed3DNow { None, Base, WithExtensions };
Installed3DNow install3DNow();

}  // namespace mx
