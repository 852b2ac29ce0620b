// Actor class and actor members: the defaults defined with the classes and the
// behaviour of the actor library.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "AllocFailureSweep.h"
#include "ConsoleCapture.h"
#include "actActor.h"

namespace {

// Reaches the protected fields as a derived class (the tower) does.
struct ActorClassProbe : kivActorClass {
  void SetSounds(const char* const* names, int count) {
    m_ppszSounds = names;
    m_nSounds = count;
  }
  void SetHeadLOD(void* handle) { m_pHeadLOD = handle; }
  int32_t& SoundCount() { return m_nSounds; }
};

struct ActorProbe : kivActor {
  using kivActor::kivActor;
  MXVECTOR3 Position() const { return m_vPosition; }
  MXVECTOR3* Joints() const { return m_pJoints; }
  const MXMATRIX& Local() const { return m_mLocal; }
  int Skin() const { return m_nSkin; }
  float Scale() const { return m_fScale; }
  int32_t& Dirty() { return m_bMatrixDirty; }
};

bool Same(const MXVECTOR3& a, const MXVECTOR3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

class ActorClassTest : public ::testing::Test {
 protected:
  void SetUp() override { cls.Setup("tower", "tower.cfg", "actor", nullptr); }
  ActorProbe* NewActor() { return KIV_NEW ActorProbe(&cls); }
  ActorClassProbe cls;
};

TEST_F(ActorClassTest, IdentifyAnswersToActorInAnyCase) {
  const struct {
    const char* name;
    int expected;
  } cases[] = {{"actor", 1}, {"ACTOR", 1}, {"AcToR", 1}, {"actors", 0}, {"acto", 0}, {"", 0}, {"acttower", 0}, {nullptr, 0}};
  for (const auto& c : cases) EXPECT_EQ(cls.Identify(c.name), c.expected) << (c.name ? c.name : "(null)");
}

TEST_F(ActorClassTest, EnumSoundsCallsOncePerNameAndRereadsTheCount) {
  struct Seen {
    std::vector<std::string> names;
    ActorClassProbe* cls;
    int cutTo = -1;
  } seen{{}, &cls};
  auto record = [](const char* name, void* user) {
    auto* s = static_cast<Seen*>(user);
    s->names.push_back(name);
    if (s->cutTo >= 0) s->cls->SoundCount() = s->cutTo;
  };
  cls.EnumSounds(record, &seen);
  EXPECT_TRUE(seen.names.empty()) << "no sounds, no calls";

  static const char* const tower[] = {"laser_fire.wav"};
  cls.SetSounds(tower, 1);
  cls.EnumSounds(record, &seen);
  EXPECT_EQ(seen.names, std::vector<std::string>{"laser_fire.wav"});

  static const char* const three[] = {"a.wav", "b.wav", "c.wav"};
  cls.SetSounds(three, 3);
  seen.names.clear();
  seen.cutTo = 2;  // the first callback shortens the list
  cls.EnumSounds(record, &seen);
  EXPECT_EQ(seen.names, (std::vector<std::string>{"a.wav", "b.wav"}));
}

TEST_F(ActorClassTest, HeadLodIgnoresTheLevel) {
  static int marker;
  cls.SetHeadLOD(&marker);
  for (int level : {-5, -1, 0, 2, 99}) EXPECT_EQ(cls.GetHeadLOD(level), &marker) << level;
}

TEST_F(ActorClassTest, ReferenceCountingChangesByOneAndAnnouncesTheFirstObject) {
  ConsoleCapture console;
  EXPECT_EQ(cls.Create(), S_OK);
  cls.AddRef();
  EXPECT_EQ(cls.GetRefCount(), 1);
  cls.AddRef();
  EXPECT_EQ(cls.GetRefCount(), 2);
  cls.Release();
  EXPECT_EQ(cls.GetRefCount(), 1);
  cls.Release();
  EXPECT_EQ(cls.GetRefCount(), 0);
  EXPECT_EQ(console.Normal(), "\n  Creating object: 'tower'");
}

TEST_F(ActorClassTest, CreateObjMakesAnActorHoldingOneReference) {
  kivObj* obj = cls.CreateObj();
  ASSERT_NE(obj, nullptr);
  EXPECT_EQ(obj->GetClass(), &cls);
  EXPECT_STREQ(obj->GetName(), "tower");
  EXPECT_EQ(cls.GetRefCount(), 1);
  EXPECT_EQ(obj->GetDataSize(), kivActor_DataSize);
  delete obj;
  EXPECT_EQ(cls.GetRefCount(), 0);
}

TEST_F(ActorClassTest, CreateObjSurvivesEveryAllocationFailure) {
  SweepAllocFailures([&](const SweepRun&) {
    ConsoleCapture console;
    kivObj* obj = cls.CreateObj();
    if (obj == nullptr) {
      EXPECT_EQ(cls.GetRefCount(), 0);
      EXPECT_EQ(console.Normal(), "") << "no reference, no message";
      return;
    }
    auto* actor = static_cast<kivActor*>(obj);
    MXVECTOR3 angles = {1, 2, 3};
    actor->SetJoint(1, &angles);  // harmless even without a table of its own
    delete obj;
    EXPECT_EQ(cls.GetRefCount(), 0);
  });
}

TEST_F(ActorClassTest, ActorWithoutAJointBlockReadsZeroAngles) {
  kivGlobalMem_FailNth(2, 0);  // the actor's block succeeds, its joint table fails
  ActorProbe* actor = NewActor();
  kivGlobalMem_NoFaults();
  ASSERT_NE(actor, nullptr);
  ASSERT_NE(actor->Joints(), nullptr);
  EXPECT_EQ(actor->GetNumJoints(), 0);
  const MXVECTOR3 angles = {10, 20, 30};
  actor->SetJoint(0, &angles);
  EXPECT_TRUE(Same(actor->Joints()[0], {0, 0, 0}));
  EXPECT_TRUE(Same(actor->Joints()[1], {0, 0, 0}));
  delete actor;
}

TEST_F(ActorClassTest, NewActorStartsDirtyAtTheOriginUnscaled) {
  ActorProbe* actor = NewActor();
  EXPECT_TRUE(Same(actor->Position(), {0, 0, 0}));
  ASSERT_EQ(actor->GetNumJoints(), kivActor_NumJoints);
  for (int i = 0; i < kivActor_NumJoints; ++i) EXPECT_TRUE(Same(actor->Joints()[i], {0, 0, 0})) << i;
  const MXMATRIX identity = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
  EXPECT_EQ(std::memcmp(&actor->Local(), &identity, sizeof identity), 0);
  EXPECT_EQ(actor->GetLocalMatrix(), &actor->Local());
  EXPECT_EQ(actor->Skin(), 0);
  EXPECT_EQ(actor->Scale(), 1.0f);
  EXPECT_EQ(actor->GetSize(), 1.0f);
  EXPECT_NE(actor->Dirty(), 0);
  EXPECT_EQ(actor->GetColor(), 0xFFFFFFFFu);
  EXPECT_EQ(actor->ActorClass(), &cls);
  delete actor;
}

TEST_F(ActorClassTest, PlacementSettersRaiseTheDirtyFlag) {
  ActorProbe* actor = NewActor();
  const MXVECTOR3 position = {1, 2, 3}, body = {90, 0, 0}, rotor = {0, 45, 0};

  actor->Dirty() = 0;
  actor->SetPosition(&position);
  EXPECT_NE(actor->Dirty(), 0);
  MXVECTOR3 out = {};
  actor->GetPosition(&out);
  EXPECT_TRUE(Same(out, position));

  for (int entry : {0, 1}) {
    actor->Dirty() = 0;
    actor->SetJoint(entry, entry == 0 ? &body : &rotor);
    EXPECT_NE(actor->Dirty(), 0) << entry;
  }
  EXPECT_TRUE(Same(actor->Joints()[0], body));
  EXPECT_TRUE(Same(actor->Joints()[1], rotor));
  actor->GetJoint(1, &out);
  EXPECT_TRUE(Same(out, rotor));

  // Out of range or null: nothing changes, nothing is written.
  actor->Dirty() = 0;
  for (int entry : {-1, kivActor_NumJoints, 1000}) {
    actor->SetJoint(entry, &position);
    MXVECTOR3 untouched = {7, 7, 7};
    actor->GetJoint(entry, &untouched);
    EXPECT_TRUE(Same(untouched, {7, 7, 7})) << entry;
  }
  actor->SetJoint(0, nullptr);
  actor->SetPosition(nullptr);
  actor->GetPosition(nullptr);
  EXPECT_EQ(actor->Dirty(), 0);
  EXPECT_TRUE(Same(actor->Joints()[0], body));
  delete actor;
}

TEST_F(ActorClassTest, DefaultsDefinedWithTheActor) {
  ActorProbe* actor = NewActor();
  DWORD first = 11, second = 22;
  actor->GetModelInfo(&first, &second, 0);
  EXPECT_EQ(first, 11u);
  EXPECT_EQ(second, 22u);
  MXMATRIX m;
  std::memset(&m, 0x5A, sizeof m);
  const MXMATRIX before = m;
  EXPECT_EQ(actor->GetTagMatrix(0, "tag_rotor", &m), 0);
  EXPECT_EQ(std::memcmp(&m, &before, sizeof m), 0);
  actor->SetSkin(-42);
  EXPECT_EQ(actor->GetSkin(), -42);
  EXPECT_EQ(actor->GetNumSkins(), 1);
  EXPECT_EQ(actor->GetSoundType("anything"), -1);
  EXPECT_EQ(actor->Clone(), nullptr);
  EXPECT_EQ(actor->GetAnimation(0, 0), nullptr);
  EXPECT_EQ(actor->GetBodyFrame(0), 0.0f);
  EXPECT_EQ(actor->CreateGibs(), 0);
  EXPECT_EQ(actor->PlayFootstepSound(0, 1), 0);
  delete actor;
}

TEST_F(ActorClassTest, SizeIsTheScaleAndMustBePositiveAndFinite) {
  ActorProbe* actor = NewActor();
  actor->SetSize(2.5f);
  EXPECT_EQ(actor->Scale(), 2.5f);
  for (float bad : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    actor->SetSize(bad);
    EXPECT_EQ(actor->GetSize(), 2.5f) << bad;
  }
  delete actor;
}

TEST_F(ActorClassTest, SoundsPlayByIndexOfTheClassList) {
  static const char* const tower[] = {"laser_fire.wav"};
  cls.SetSounds(tower, 1);
  ActorProbe* actor = NewActor();
  ConsoleCapture console;
  actor->PlaySound(0, 3);
  actor->PlaySound(1, 0);
  actor->PlaySound(-1, 0);
  cls.PlaySound(0, nullptr);
  EXPECT_EQ(console.Normal(), "\nPlaySound: 'laser_fire.wav'");
  delete actor;
}

TEST_F(ActorClassTest, CopiedActorSharesTheJointTable) {
  ActorProbe* actor = NewActor();
  // The copy must never be destroyed: it holds no class reference of its own.
  alignas(ActorProbe) unsigned char storage[sizeof(ActorProbe)];
  auto* copy = ::new (storage) ActorProbe(*actor);
  EXPECT_EQ(cls.GetRefCount(), 1);
  const MXVECTOR3 angles = {5, 6, 7};
  copy->SetJoint(1, &angles);
  MXVECTOR3 seen = {};
  actor->GetJoint(1, &seen);
  EXPECT_TRUE(Same(seen, angles));
  delete actor;
}

// --- Saved state -----------------------------------------------------------------------------

float FloatAt(const std::vector<unsigned char>& b, size_t offset) {
  const uint32_t v = uint32_t(b[offset]) | uint32_t(b[offset + 1]) << 8 | uint32_t(b[offset + 2]) << 16 |
                     uint32_t(b[offset + 3]) << 24;
  float f;
  std::memcpy(&f, &v, sizeof f);
  return f;
}

uint32_t WordAt(const std::vector<unsigned char>& b, size_t offset) {
  return uint32_t(b[offset]) | uint32_t(b[offset + 1]) << 8 | uint32_t(b[offset + 2]) << 16 |
         uint32_t(b[offset + 3]) << 24;
}

TEST_F(ActorClassTest, SavedStateHasTheDocumentedLittleEndianLayout) {
  ActorProbe* actor = NewActor();
  const MXVECTOR3 position = {1.5f, -2, 3}, body = {90, 0, -45}, rotor = {0, 270, 0};
  actor->SetPosition(&position);
  actor->SetJoint(0, &body);
  actor->SetJoint(1, &rotor);
  actor->SetSkin(3);
  actor->SetSize(2.0f);
  actor->SetColor(0x11223344u);
  actor->SetTimer(-7);

  std::vector<unsigned char> block(actor->GetDataSize() + 4, 0xEE);
  unsigned char* cursor = block.data();
  actor->SaveData(&cursor);
  ASSERT_EQ(cursor, block.data() + kivActor_DataSize);
  EXPECT_EQ(block[kivActor_DataSize], 0xEE) << "nothing beyond the block";
  const float expectedFloats[] = {1.5f, -2, 3, 90, 0, -45, 0, 270, 0};
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(FloatAt(block, 4 * i), expectedFloats[i]) << "float " << i;
  EXPECT_EQ(WordAt(block, 36), 3u);
  EXPECT_EQ(FloatAt(block, 40), 2.0f);
  EXPECT_EQ(WordAt(block, 44), 0x11223344u);
  EXPECT_EQ(WordAt(block, 48), static_cast<uint32_t>(-7));

  ActorProbe* other = NewActor();
  other->Dirty() = 0;
  unsigned char* reader = block.data();
  other->LoadData(&reader);
  EXPECT_EQ(reader, block.data() + kivActor_DataSize);
  EXPECT_NE(other->Dirty(), 0);
  EXPECT_TRUE(Same(other->Position(), position));
  EXPECT_TRUE(Same(other->Joints()[0], body));
  EXPECT_TRUE(Same(other->Joints()[1], rotor));
  EXPECT_EQ(other->GetSkin(), 3);
  EXPECT_EQ(other->GetSize(), 2.0f);
  EXPECT_EQ(other->GetColor(), 0x11223344u);

  std::vector<unsigned char> again(kivActor_DataSize);
  unsigned char* writer = again.data();
  other->SaveData(&writer);
  EXPECT_TRUE(std::equal(again.begin(), again.end(), block.begin())) << "the loaded actor saves the same block";
  delete other;
  delete actor;
}

TEST_F(ActorClassTest, NullCursorsReadAndWriteNothing) {
  ActorProbe* actor = NewActor();
  actor->Dirty() = 0;
  unsigned char* none = nullptr;
  actor->SaveData(nullptr);
  actor->LoadData(nullptr);
  actor->SaveData(&none);
  actor->LoadData(&none);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(actor->Dirty(), 0);
  delete actor;
}

}  // namespace
