// Animation event container and animator record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "TempDir.h"
#include "actActor.h"
#include "rxMemLeak.h"

// The animator's range test is private; this is the door its friends use.
struct kivQAnimatorAccess {
  static int Valid(kivQAnimator& a, int value) { return a.Valid(value); }
};

namespace {

kivMemLeakStats Stats() {
  kivMemLeakStats s;
  kivMemLeak_GetStats(&s);
  return s;
}

TEST(EventContainer, DestroyingReleasesItsBlockOnceOrNothing) {
  const kivMemLeakStats start = Stats();
  { kivEventCnt empty; }
  EXPECT_EQ(Stats().frees, start.frees) << "no block, no release";

  auto* events = KIV_NEW kivEventCnt;
  ASSERT_NE(events, nullptr);
  EXPECT_EQ(events->m_nEvents, 0);
  EXPECT_EQ(events->m_pEvents, nullptr);
  events->SetEvents(1.0f, "step");
  events->SetEvents(2.5f, "land");
  ASSERT_EQ(events->m_nEvents, 2);
  const void* block = events->m_pEvents;
  EXPECT_EQ(kivMemLeak_FindBlock(block, nullptr, nullptr), 1) << "the block is tracked";
  delete events;
  const kivMemLeakStats end = Stats();
  EXPECT_EQ(end.live, start.live);
  EXPECT_EQ(end.unknownFrees, start.unknownFrees);
}

TEST(EventContainer, SetEventsAppendsAndIgnoresEmptyNames) {
  kivEventCnt events;
  events.SetEvents(3.0f, nullptr);
  events.SetEvents(3.0f, "");
  EXPECT_EQ(events.m_nEvents, 0);
  events.SetEvents(4.0f, "a_name_that_is_longer_than_the_field_holds");
  ASSERT_EQ(events.m_nEvents, 1);
  EXPECT_EQ(events.m_pEvents[0].time, 4.0f);
  EXPECT_EQ(std::strlen(events.m_pEvents[0].name), sizeof(kivEvent::name) - 1);
}

TEST(EventContainer, SaveAndLoadRoundTripThroughATextFile) {
  TempDir dir;
  kivEventCnt events;
  events.SetEvents(0.5f, "step_left");
  events.SetEvents(12.25f, "step_right");
  ASSERT_EQ(events.Save(dir.File("walk.events").c_str()), 1);
  EXPECT_EQ(ReadFile(dir.File("walk.events")), "0.5 step_left\n12.25 step_right\n");

  kivEventCnt loaded;
  loaded.SetEvents(9.0f, "old");
  ASSERT_EQ(loaded.Load(dir.File("walk.events").c_str()), 1);
  ASSERT_EQ(loaded.m_nEvents, 2);
  EXPECT_EQ(loaded.m_pEvents[1].time, 12.25f);
  EXPECT_STREQ(loaded.m_pEvents[1].name, "step_right");
}

TEST(EventContainer, FailedLoadKeepsTheEvents) {
  TempDir dir;
  WriteFile(dir.File("bad.events"), "1.0 ok\nnot-a-number x\n");
  kivEventCnt events;
  events.SetEvents(1.0f, "kept");
  EXPECT_EQ(events.Load(dir.File("bad.events").c_str()), 0);
  EXPECT_EQ(events.Load(dir.File("missing.events").c_str()), 0);
  EXPECT_EQ(events.Load(nullptr), 0);
  EXPECT_EQ(events.Save(dir.File("no/such/folder").c_str()), 0);
  ASSERT_EQ(events.m_nEvents, 1);
  EXPECT_STREQ(events.m_pEvents[0].name, "kept");
}

TEST(EventContainer, CopiesShareTheBlock) {
  kivEventCnt events;
  events.SetEvents(1.0f, "shared");
  alignas(kivEventCnt) unsigned char storage[sizeof(kivEventCnt)];
  auto* copy = ::new (storage) kivEventCnt(events);  // never destroyed: the source owns the block
  EXPECT_EQ(copy->m_pEvents, events.m_pEvents);
  EXPECT_EQ(copy->m_nEvents, 1);
}

TEST(Animator, ValidIsTheHalfOpenRange) {
  const struct {
    int start, length, value, expected;
  } cases[] = {
      {10, 5, 10, 1},  {10, 5, 14, 1}, {10, 5, 15, 0}, {10, 5, 9, 0}, {10, 0, 10, 0},
      {10, -3, 9, 0},  {-5, 3, -5, 1}, {-5, 3, -3, 1}, {-5, 3, -2, 0},
      // start + length beyond 32 bits still means "everything from start on"
      {std::numeric_limits<int>::max() - 1, 10, std::numeric_limits<int>::max(), 1},
      {std::numeric_limits<int>::min(), -1, std::numeric_limits<int>::min(), 0},
  };
  for (const auto& c : cases) {
    kivQAnimator a;
    a.m_nRangeStart = c.start;
    a.m_nRangeLength = c.length;
    EXPECT_EQ(kivQAnimatorAccess::Valid(a, c.value), c.expected) << c.start << "+" << c.length << " @" << c.value;
  }
}

TEST(Animator, PlayingIsAnyValueButZero) {
  const struct {
    float value;
    int expected;
  } cases[] = {{0.0f, 0},
               {-0.0f, 0},
               {1.0f, 1},
               {-1.0f, 1},
               {std::numeric_limits<float>::denorm_min(), 1},
               {std::numeric_limits<float>::infinity(), 1},
               {std::numeric_limits<float>::quiet_NaN(), 1}};
  for (const auto& c : cases) {
    kivQAnimator a;
    a.m_fPlaying = c.value;
    EXPECT_EQ(a.GetPlaying(), c.expected) << c.value;
  }
}

void Callback(char* const, void*) {}

TEST(Animator, AccessorsAndWholeRecordAssignment) {
  kivQAnimator a;
  kivEventCnt events;
  int user;
  a.m_dwFlags = 0x80000001u;
  a.m_fFactor = 0.25f;
  a.SetSpeed(2.0f);
  a.SetEventCallback(&Callback, &user);
  a.SetEvents(&events);
  std::memset(a.m_engineState1, 0xA1, sizeof a.m_engineState1);
  std::memset(a.m_engineState2, 0xB2, sizeof a.m_engineState2);
  EXPECT_EQ(a.GetFlags(), 0x80000001u);
  EXPECT_EQ(a.Factor(), 0.25f);

  kivQAnimator b;
  b = a;
  EXPECT_EQ(std::memcmp(&b, &a, sizeof a), 0) << "every byte, the engine's state included";
  EXPECT_EQ(b.m_fSpeed, 2.0f);
  EXPECT_EQ(b.m_pfnEventCallback, &Callback);
  EXPECT_EQ(b.m_pCallbackUser, &user);
  EXPECT_EQ(b.m_pEvents, &events);
}

}  // namespace
