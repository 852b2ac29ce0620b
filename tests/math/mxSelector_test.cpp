// The routine selector, its processor and operating-system tests, the debugger messages
// and the first-call routines, driven through a fake platform layer.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <optional>
#include <set>
#include <cstdlib>
#include <string>

#include "3dnow/mx3DNow.h"
#include "mxFakePlatform.h"
#include "mxSSE.h"
#include "mxSelector.h"
#include "mxTestSupport.h"
#include "mxX87.h"

using namespace mxtest;

namespace {

constexpr const char* kDisabled = "MX: (INFO) CPU optimization disabled. Using x87 Instructions\r\n";
constexpr const char* kX87 = "MX: (INFO) Using x87 Instructions\r\n";
constexpr const char* kSSE = "MX: (INFO) Using SSE Instructions\r\n";
constexpr const char* kSSE2 = "MX: (INFO) Using SSE2 Instructions\r\n";
constexpr const char* k3DNow = "MX: (INFO) Using 3DNow Instructions\r\n";

class Selector : public ::testing::Test {
 protected:
  void SetUp() override {
    g_fake = &fake;
    fake.sse2Processor();
    mx::setPlatform(&fakePlatform());
    resetToLoadState();
  }
  void TearDown() override {
    resetToLoadState();
    mx::setPlatform(nullptr);
    g_fake = nullptr;
  }

  // Runs the selection and names the set in the multiply slot. The selector is called
  // directly, not through a first call, since the set it picks for a fake processor may be
  // one this processor cannot run (3DNow).
  std::string select() {
    mx::selectRoutines();
    const void* slot = mx::slotAddress(mx::kSlot_MXMatrixMultiply);
    if (slot == reinterpret_cast<void*>(&mx::x87::MXMatrixMultiply)) return "x87";
    if (slot == reinterpret_cast<void*>(&mx::sse::MXMatrixMultiply)) return "SSE";
    if (slot == reinterpret_cast<void*>(&mx::sse2::MXMatrixMultiply)) return "SSE2";
    if (slot == reinterpret_cast<void*>(&mx::amd3DNow::MXMatrixMultiply)) return "3DNow";
    return "other";
  }

  FakeState fake;
};

TEST_F(Selector, SettingsDecideWhetherOptimisationIsDisabled) {
  struct Case {
    const char* name;
    std::optional<uint32_t> cpuOpt, mxCpuOpt;  // nullopt: absent (or not a DWORD)
    bool disabled;
  };
  const Case cases[] = {
      {"both absent", {}, {}, false},
      {"DisableCPUOpt 1", 1, {}, true},
      {"DisableMXCPUOpt 1", {}, 1, true},
      {"DisableMXCPUOpt 0 overrides 1", 1, 0, false},
      {"DisableMXCPUOpt a string counts as absent", 1, {}, true},
      {"DisableCPUOpt 2", 2, {}, false},
      {"DisableMXCPUOpt 1 over 0", 0, 1, true},
      {"DisableMXCPUOpt 2 over 1", 1, 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetToLoadState();
    fake.lines.clear();
    fake.settings.clear();
    if (c.cpuOpt) fake.settings["DisableCPUOpt"] = *c.cpuOpt;
    if (c.mxCpuOpt) fake.settings["DisableMXCPUOpt"] = *c.mxCpuOpt;
    EXPECT_EQ(select(), c.disabled ? "x87" : "SSE2");
    ASSERT_EQ(fake.lines.size(), 1u);
    EXPECT_EQ(fake.lines[0], c.disabled ? kDisabled : kSSE2);
  }
}

TEST_F(Selector, OperatingSystemVersionGatesSSE) {
  struct Case {
    const char* name;
    bool versionOk;
    mx::OSVersion version;
    const char* set;
    const char* line;
  };
  const Case cases[] = {
      {"NT", true, {5, 1, 2600, mx::kPlatformNT}, "SSE2", kSSE2},
      {"95 (4.0)", true, {4, 0, 950, mx::kPlatformWindows}, "x87", kX87},
      {"98 build 1373", true, {4, 10, 1373, mx::kPlatformWindows}, "SSE2", kSSE2},
      {"98 build 1372", true, {4, 10, 1372, mx::kPlatformWindows}, "x87", kX87},
      {"98, build in the low 16 bits", true, {4, 10, 0x040A0000u | 1998, mx::kPlatformWindows}, "SSE2", kSSE2},
      {"98, high bits do not count", true, {4, 10, 0x00050000u | 100, mx::kPlatformWindows}, "x87", kX87},
      {"Me (4.90)", true, {4, 90, 3000, mx::kPlatformWindows}, "SSE2", kSSE2},
      {"major 5 on the 9x platform", true, {5, 0, 0, mx::kPlatformWindows}, "SSE2", kSSE2},
      {"major 3", true, {3, 95, 5000, mx::kPlatformWindows}, "x87", kX87},
      {"unknown platform id", true, {5, 0, 0, 3}, "x87", kX87},
      {"platform id 0", true, {5, 0, 0, 0}, "x87", kX87},
      {"version query fails", false, {}, "x87", kX87},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetToLoadState();
    fake.lines.clear();
    fake.versionOk = c.versionOk;
    fake.version = c.version;
    EXPECT_EQ(select(), c.set);
    ASSERT_EQ(fake.lines.size(), 1u);
    EXPECT_EQ(fake.lines[0], c.line);
  }
}

TEST_F(Selector, ProcessorAnswersChooseTheSet) {
  struct Case {
    const char* name;
    uint32_t platformId;
    bool querySSE, query3DNow, hasCpuid;
    uint32_t maxLeaf, edx1, maxExt, edxExt;
    const char* set;
    const char* line;
  };
  const uint32_t sse = 1u << 25, sse2 = 1u << 26, mmx = 1u << 23, now = 1u << 31;
  const Case cases[] = {
      {"NT: SSE2 from CPUID", mx::kPlatformNT, true, false, true, 1, sse | sse2, 0, 0, "SSE2", kSSE2},
      {"NT: SSE from the system query", mx::kPlatformNT, true, false, true, 1, 0, 0, 0, "SSE", kSSE},
      {"NT: SSE2 needs no system answer", mx::kPlatformNT, false, false, true, 1, sse | sse2, 0, 0, "SSE2", kSSE2},
      {"NT: no SSE2 bit, no SSE", mx::kPlatformNT, false, false, true, 1, sse, 0, 0, "x87", kX87},
      {"NT: highest leaf 0", mx::kPlatformNT, false, false, true, 0, sse | sse2, 0, 0, "x87", kX87},
      {"NT: no CPUID", mx::kPlatformNT, false, false, false, 1, sse | sse2, 0, 0, "x87", kX87},
      {"NT: 3DNow before SSE2", mx::kPlatformNT, true, true, true, 1, mmx | sse | sse2, 0x80000001u, now, "3DNow", k3DNow},
      {"98: SSE from CPUID", mx::kPlatformWindows, false, false, true, 1, sse, 0, 0, "SSE", kSSE},
      {"98: SSE2 from CPUID", mx::kPlatformWindows, false, false, true, 1, sse | sse2, 0, 0, "SSE2", kSSE2},
      {"98: 3DNow from extended CPUID", mx::kPlatformWindows, false, false, true, 1, sse2, 0x80000001u, now, "x87", k3DNow},
      {"98: extended leaves too few", mx::kPlatformWindows, false, false, true, 1, sse2, 0x80000000u, now, "SSE2", kSSE2},
      {"98: no CPUID", mx::kPlatformWindows, true, true, false, 1, sse | sse2, 0x80000001u, now, "x87", kX87},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetToLoadState();
    fake.lines.clear();
    fake.version = c.platformId == mx::kPlatformNT ? mx::OSVersion{5, 1, 2600, mx::kPlatformNT}
                                                   : mx::OSVersion{4, 10, 2222, mx::kPlatformWindows};
    fake.sse = c.querySSE;
    fake.amd3DNow = c.query3DNow;
    fake.hasCpuid = c.hasCpuid;
    fake.leaves = {{0, {c.maxLeaf, 0, 0, 0}}, {1, {0, 0, 0, c.edx1}}, {0x80000000u, {c.maxExt, 0, 0, 0}},
                   {0x80000001u, {0, 0, 0, c.edxExt}}};
    EXPECT_EQ(select(), c.set);
    ASSERT_EQ(fake.lines.size(), 1u);
    EXPECT_EQ(fake.lines[0], c.line);
  }
}

TEST_F(Selector, ThreeDNowGathering) {
  struct Case {
    const char* name;
    uint32_t maxLeaf, edx1, maxExt, edxExt;
    mx::ProcessorBits3DNow bits;
    mx::Installed3DNow installed;
  };
  const uint32_t mmx = 1u << 23, now = 1u << 31, nowExt = 1u << 30, mmxExt = 1u << 22;
  const Case cases[] = {
      {"everything", 1, mmx, 0x80000001u, now | nowExt | mmxExt, {true, true, true, true},
       mx::Installed3DNow::WithExtensions},
      {"3DNow without extensions", 1, mmx, 0x80000001u, now, {true, true, false, false}, mx::Installed3DNow::Base},
      {"extended 3DNow without extended MMX", 1, mmx, 0x80000001u, now | nowExt, {true, true, true, false},
       mx::Installed3DNow::Base},
      {"no MMX", 1, 0, 0x80000001u, now | nowExt | mmxExt, {false, true, true, true}, mx::Installed3DNow::None},
      {"no 3DNow bit", 1, mmx, 0x80000001u, nowExt | mmxExt, {true, false, true, true}, mx::Installed3DNow::None},
      {"highest extended leaf 0x80000000", 1, mmx, 0x80000000u, now, {true, false, false, false},
       mx::Installed3DNow::None},
      {"highest standard leaf 0", 0, mmx, 0x80000001u, now, {false, false, false, false}, mx::Installed3DNow::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake.leaves = {{0, {c.maxLeaf, 0, 0, 0}}, {1, {0, 0, 0, c.edx1}}, {0x80000000u, {c.maxExt, 0, 0, 0}},
                   {0x80000001u, {0, 0, 0, c.edxExt}}};
    const mx::ProcessorBits3DNow bits = mx::gather3DNowBits();
    EXPECT_EQ(bits.mmx, c.bits.mmx);
    EXPECT_EQ(bits.amd3DNow, c.bits.amd3DNow);
    EXPECT_EQ(bits.amd3DNowExt, c.bits.amd3DNowExt);
    EXPECT_EQ(bits.mmxExt, c.bits.mmxExt);
    EXPECT_EQ(mx::install3DNow(), c.installed);
    // The extension set replaces five routines of the 3DNow set, the inverse among them.
    const void* inverse = mx::slotAddress(mx::kSlot_MXMatrixInverse);
    if (c.installed == mx::Installed3DNow::Base) {
      EXPECT_EQ(inverse, reinterpret_cast<void*>(&mx::amd3DNow::MXMatrixInverse));
    } else if (c.installed == mx::Installed3DNow::WithExtensions) {
      EXPECT_EQ(inverse, reinterpret_cast<void*>(&mx::amd3DNowExt::MXMatrixInverse));
    }
  }
  fake.hasCpuid = false;
  const mx::ProcessorBits3DNow none = mx::gather3DNowBits();
  EXPECT_FALSE(none.mmx || none.amd3DNow || none.amd3DNowExt || none.mmxExt);
}

TEST_F(Selector, ThreeDNowWithoutMMXLeavesTheX87SetAfterTheMessage) {
  fake.amd3DNow = true;
  fake.leaves[1] = {0, 0, 0, (1u << 25) | (1u << 26)};
  fake.leaves[0x80000000u] = {0x80000001u, 0, 0, 0};
  fake.leaves[0x80000001u] = {0, 0, 0, 1u << 31};
  EXPECT_EQ(select(), "x87");
  ASSERT_EQ(fake.lines.size(), 1u);
  EXPECT_EQ(fake.lines[0], k3DNow);
  for (int slot = 0; slot < mx::kSlotCount; ++slot) EXPECT_FALSE(mx::holdsFirstCall(slot)) << slot;
}

TEST_F(Selector, OneSelectionAndOneMessageWhicheverOperationComesFirst) {
  const std::vector<std::pair<const char*, std::function<void()>>> firsts = {
      {"MXVec2Transform", [] { MXVECTOR4 o; MXVECTOR2 v{}; MXMATRIX m{}; MXVec2Transform(&o, &v, &m); }},
      {"MXMatrixDeterminant", [] { MXMATRIX m{}; MXMatrixDeterminant(&m); }},
      {"MXQuaternionToAxisAngle", [] { MXQUATERNION q{0, 0, 0, 1}; MXQuaternionToAxisAngle(&q, nullptr, nullptr); }},
      {"MXMatrixRotationYawPitchRoll", [] { MXMATRIX m; MXMatrixRotationYawPitchRoll(&m, 1, 2, 3); }},
      {"MXQuaternionSquadSetup", [] {
         MXQUATERNION q{0, 0, 0, 1}, a, b, c;
         MXQuaternionSquadSetup(&a, &b, &c, &q, &q, &q, &q);
       }},
      {"MXQuaternionExp", [] { MXQUATERNION q{}, o; MXQuaternionExp(&o, &q); }},
      {"null arguments", [] { MXVec3Normalize(nullptr, nullptr); }},
  };
  for (const auto& [name, call] : firsts) {
    SCOPED_TRACE(name);
    resetToLoadState();
    fake.lines.clear();
    call();
    ASSERT_EQ(fake.lines.size(), 1u);
    EXPECT_EQ(fake.lines[0], kSSE2);
    for (int slot = 0; slot < mx::kSlotCount; ++slot) ASSERT_FALSE(mx::holdsFirstCall(slot)) << slot;
    for (const auto& [other, again] : firsts) again();
    EXPECT_EQ(fake.lines.size(), 1u);
  }
}

TEST_F(Selector, SetsFillTheirSlotsAndLeaveTheOthersX87) {
  const std::set<int> sseSlots = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 13, 16, 17, 18, 19,
                                  20, 21, 22, 24, 25, 27, 28, 44, 47, 48, 49, 50, 51, 52, 53, 54};
  const std::set<int> sse2Slots = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 13, 16, 17, 18, 19,
                                   20, 21, 22, 24, 25, 27, 28, 30, 31, 47, 48, 49, 50, 51, 52, 53, 54};
  const std::set<int> sharedSlots = {0, 5, 8, 9, 17, 19, 20, 22, 47, 48, 49, 50, 51, 52, 53, 54};
  ASSERT_EQ(sseSlots.size(), 33u);
  ASSERT_EQ(sse2Slots.size(), 34u);
  std::array<void*, mx::kSlotCount> x87, sse, sse2;
  useSet(Set::X87);
  for (int s = 0; s < mx::kSlotCount; ++s) x87[s] = mx::slotAddress(s);
  useSet(Set::SSE);
  for (int s = 0; s < mx::kSlotCount; ++s) sse[s] = mx::slotAddress(s);
  useSet(Set::SSE2);
  for (int s = 0; s < mx::kSlotCount; ++s) sse2[s] = mx::slotAddress(s);
  for (int s = 0; s < mx::kSlotCount; ++s) {
    SCOPED_TRACE(s);
    EXPECT_EQ(sse[s] != x87[s], sseSlots.count(s) == 1);
    EXPECT_EQ(sse2[s] != x87[s], sse2Slots.count(s) == 1);
    if (sse2Slots.count(s) && sseSlots.count(s)) {
      EXPECT_EQ(sse2[s] == sse[s], sharedSlots.count(s) == 1);
    }
  }
}

// ---- first-call routines ----

TEST_F(Selector, FirstCallDuringAnotherThreadsSelectionUsesTheX87Routine) {
  // Another thread has started selecting (state selected) but has not reached this slot.
  mx::g_selected.store(true);
  MXMATRIX t, s, out;
  mx::x87::MXMatrixTranslation(&t, 1, 2, 3);
  mx::x87::MXMatrixScaling(&s, 2, 2, 2);
  EXPECT_EQ(MXMatrixMultiply(&out, &t, &s), &out);
  EXPECT_EQ(out.m[3][0], 2.0f);
  EXPECT_EQ(out.m[3][2], 6.0f);
  EXPECT_TRUE(mx::holdsFirstCall(mx::kSlot_MXMatrixMultiply));
  EXPECT_TRUE(fake.lines.empty());
  MXVECTOR3 v{3, 4, 0}, n;
  EXPECT_EQ(MXVec3Normalize(&n, &v), &n);
  EXPECT_FLOAT_EQ(n.x, 0.6f);
}

// ---- debugger messages ----

TEST_F(Selector, DebugThresholdFiltersByLevel) {
  struct Case {
    const char* name;
    std::optional<int32_t> profile;
    std::vector<uint32_t> passing, blocked;
  };
  const Case cases[] = {
      {"absent", {}, {0}, {1, 3}},
      {"0", 0, {0}, {1, 3}},
      {"3", 3, {0, 1, 3}, {4, 100}},
      {"negative", -5, {0, 3, 0x7FFFFFFF, 0xFFFFFFF0u}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mx::g_debugThreshold.store(mx::kThresholdUnread);
    fake.profileDebug = c.profile;
    fake.profileReads = 0;
    for (uint32_t level : c.passing) {
      fake.lines.clear();
      mx::debugMessage(level, "level %u", level);
      EXPECT_EQ(fake.lines.size(), 1u) << level;
    }
    for (uint32_t level : c.blocked) {
      fake.lines.clear();
      mx::debugMessage(level, "level %u", level);
      EXPECT_TRUE(fake.lines.empty()) << level;
    }
    EXPECT_EQ(fake.profileReads, 1) << "read once";
  }
}

TEST_F(Selector, ProfileValueMinusOneIsReadAgainAtEveryMessage) {
  fake.profileDebug = -1;
  for (int i = 0; i < 3; ++i) mx::debugMessage(5, "x");
  EXPECT_EQ(fake.profileReads, 3);
  EXPECT_EQ(fake.lines.size(), 3u);  // all bits set lets everything through
  fake.profileDebug = 0;
  mx::debugMessage(5, "x");
  mx::debugMessage(5, "x");
  EXPECT_EQ(fake.profileReads, 4);
  EXPECT_EQ(fake.lines.size(), 3u);
}

TEST_F(Selector, MessagesAreFormattedAndCut) {
  fake.profileDebug = 0;
  mx::debugMessage(0, "value %d and %s", 42, "text");
  ASSERT_EQ(fake.lines.size(), 1u);
  EXPECT_EQ(fake.lines[0], "MX: value 42 and text\r\n");
  const std::string longText(300, 'a');
  mx::debugMessage(0, "%s", longText.c_str());
  ASSERT_EQ(fake.lines.size(), 2u);
  EXPECT_EQ(fake.lines[1].size(), 255u);
  EXPECT_EQ(fake.lines[1], "MX: " + std::string(251, 'a'));
  const std::string fits(249, 'b');  // 4 + 249 + 2 = 255
  mx::debugMessage(0, "%s", fits.c_str());
  EXPECT_EQ(fake.lines[2], "MX: " + fits + "\r\n");
}

TEST_F(Selector, AlignmentWarningsAtLevelThreeNeverChangeTheResult) {
  useSet(Set::SSE2);
  alignas(16) unsigned char buffer[3 * sizeof(MXMATRIX) + 16];
  auto* aligned = reinterpret_cast<MXMATRIX*>(buffer);
  auto* misaligned = reinterpret_cast<MXMATRIX*>(buffer + sizeof(MXMATRIX) + 4);
  auto* out = reinterpret_cast<MXMATRIX*>(buffer + 2 * sizeof(MXMATRIX) + 16);
  mx::x87::MXMatrixRotationYawPitchRoll(aligned, 0.1f, 0.2f, 0.3f);
  std::memcpy(static_cast<void*>(misaligned), aligned, sizeof(MXMATRIX));
  const MXVECTOR2 v2{1, 2};
  const MXVECTOR3 v3{1, 2, 3};
  const MXVECTOR4 v4{1, 2, 3, 4};
  MXVECTOR2 o2;
  MXVECTOR3 o3, o3a;
  MXVECTOR4 o4, o4a;

  struct Case {
    const char* text;
    std::function<void(const MXMATRIX*)> call;
  };
  const std::vector<Case> cases = {
      {"Matrix should be 16-byte aligned for optimized MXVec2Transform", [&](const MXMATRIX* m) { MXVec2Transform(&o4, &v2, m); }},
      {"Matrix should be 16-byte aligned for optimized MXVec2TransformNormal", [&](const MXMATRIX* m) { MXVec2TransformNormal(&o2, &v2, m); }},
      {"Matrix should be 16-byte aligned for optimized MXVec3Transform", [&](const MXMATRIX* m) { MXVec3Transform(&o4, &v3, m); }},
      {"Matrix should be 16-byte aligned for optimized MXVec3TransformNormal", [&](const MXMATRIX* m) { MXVec3TransformNormal(&o3, &v3, m); }},
      {"Matrix should be 16-byte aligned for optimized MXVec4Transform", [&](const MXMATRIX* m) { MXVec4Transform(&o4, &v4, m); }},
      {"Matrices should be 16-byte aligned for optimized MXMatrixMultiply", [&](const MXMATRIX* m) { MXMatrixMultiply(out, m, aligned); }},
      {"Matrices should be 16-byte aligned for optimized MXMatrixMultiplyTranspose", [&](const MXMATRIX* m) { MXMatrixMultiplyTranspose(out, aligned, m); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    for (std::optional<int32_t> profile : {std::optional<int32_t>(3), std::optional<int32_t>()}) {
      mx::g_debugThreshold.store(mx::kThresholdUnread);
      fake.profileDebug = profile;
      fake.lines.clear();
      c.call(aligned);
      EXPECT_TRUE(fake.lines.empty());
      c.call(misaligned);
      c.call(misaligned);
      if (profile) {
        ASSERT_EQ(fake.lines.size(), 2u) << "every misaligned call";
        EXPECT_EQ(fake.lines[0], std::string("MX: ") + c.text + "\r\n");
      } else {
        EXPECT_TRUE(fake.lines.empty()) << "level 3 is above the default threshold";
      }
    }
  }
  // Same results either way, and no warning for the point transform.
  mx::g_debugThreshold.store(3);
  fake.lines.clear();
  MXVec3TransformCoord(&o3, &v3, aligned);
  MXVec3TransformCoord(&o3a, &v3, misaligned);
  EXPECT_TRUE(fake.lines.empty());
  EXPECT_EQ(std::memcmp(&o3, &o3a, sizeof o3), 0);
  MXVec4Transform(&o4, &v4, aligned);
  MXVec4Transform(&o4a, &v4, misaligned);
  EXPECT_EQ(std::memcmp(&o4, &o4a, sizeof o4), 0);
  MXMATRIX p1, p2;
  MXMatrixMultiply(&p1, aligned, aligned);
  MXMatrixMultiply(&p2, misaligned, misaligned);
  EXPECT_EQ(std::memcmp(&p1, &p2, sizeof p1), 0);
  // An unaligned output alone is enough for the multiply warning.
  fake.lines.clear();
  MXMatrixMultiply(misaligned, aligned, aligned);
  EXPECT_EQ(fake.lines.size(), 1u);
}

// ---- the Linux layer ----

TEST(LinuxLayer, SettingsCountOnlyAsWholeDwordNumbers) {
  const mx::Platform& linux = mx::linuxPlatform();
  struct Case {
    const char* text;  // null: unset
    bool present;
    uint32_t value;
  };
  const Case cases[] = {
      {nullptr, false, 0},      {"1", true, 1},        {"0", true, 0},
      {"2", true, 2},           {"007", true, 7},      {"4294967295", true, 4294967295u},
      {"4294967296", false, 0}, {"-1", false, 0},      {"yes", false, 0},
      {"1 ", false, 0},         {" 1", false, 0},      {"", false, 0},
      {"0x10", false, 0},       {"99999999999999999999", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(unset)");
    if (c.text)
      setenv("DisableMXCPUOpt", c.text, 1);
    else
      unsetenv("DisableMXCPUOpt");
    uint32_t v = 12345;
    EXPECT_EQ(linux.readSetting("DisableMXCPUOpt", &v), c.present);
    if (c.present) {
      EXPECT_EQ(v, c.value);
    }
  }
  unsetenv("DisableMXCPUOpt");
}

TEST(LinuxLayer, ProfileIntegerAndVersion) {
  const mx::Platform& linux = mx::linuxPlatform();
  unsetenv("MX_debug");
  EXPECT_EQ(linux.profileInt("MX", "debug", 0), 0);
  setenv("MX_debug", "3", 1);
  EXPECT_EQ(linux.profileInt("MX", "debug", 0), 3);
  setenv("MX_debug", "-1", 1);
  EXPECT_EQ(linux.profileInt("MX", "debug", 0), -1);
  setenv("MX_debug", "lots", 1);
  EXPECT_EQ(linux.profileInt("MX", "debug", 0), 0);
  unsetenv("MX_debug");
  mx::OSVersion v{};
  ASSERT_TRUE(linux.osVersion(&v));
  EXPECT_EQ(v.platformId, mx::kPlatformNT);
#if defined(__x86_64__)
  uint32_t r[4];
  ASSERT_TRUE(linux.cpuid(1, r));
  EXPECT_TRUE((r[3] >> 26) & 1) << "every x86-64 processor has SSE2";
  EXPECT_TRUE(linux.featurePresent(mx::kFeatureSSE));
#endif
}

// ---- the shipped library in a process of its own ----

std::string runProbe(const std::string& env, const std::string& args = "") {
  const std::string command = env + " '" MXPROBE_PATH "' " + args + " 2>&1";
  std::string output;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[512];
    while (size_t n = fread(buf, 1, sizeof buf, p)) output.append(buf, n);
    pclose(p);
  }
  return output;
}

TEST(ChildProcess, DisableMXCPUOptOneIsSeenInTheSink) {
  EXPECT_EQ(runProbe("env -u DisableCPUOpt DisableMXCPUOpt=1"),
            "sink: MX: (INFO) CPU optimization disabled. Using x87 Instructions\r\nresult 2 4 6\n");
  const std::string normal = runProbe("env -u DisableCPUOpt -u DisableMXCPUOpt");
  EXPECT_EQ(normal.rfind("sink: MX: (INFO) Using ", 0), 0u) << normal;
  EXPECT_NE(normal.find("result 2 4 6\n"), std::string::npos) << normal;
}

TEST(ChildProcess, WithoutASinkLinesGoWhereMXOutputSays) {
  EXPECT_EQ(runProbe("env -u MX_output DisableMXCPUOpt=1", "--no-sink"), "result 2 4 6\n");
  EXPECT_EQ(runProbe("env MX_output=stderr DisableMXCPUOpt=1", "--no-sink"),
            "MX: (INFO) CPU optimization disabled. Using x87 Instructions\r\nresult 2 4 6\n");
}

}  // namespace
