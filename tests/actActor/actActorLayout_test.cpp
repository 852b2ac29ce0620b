// The engine calls actor classes and actors by virtual-table slot and reads their
// records by offset; derived classes (the tower) put their own fields right after.
#include <gtest/gtest.h>

#include "LayoutProbe.h"
#include "actActor.h"

namespace {

using C = kivActorClass;
using A = kivActor;

TEST(ActorLayout, ActorClassKeepsObjectClassSlots) {
  EXPECT_EQ(SlotOf(&C::AddRef), SlotOf(&kivModuleClass::AddRef));
  EXPECT_EQ(SlotOf(&C::Release), SlotOf(&kivModuleClass::Release));
  EXPECT_EQ(SlotOf(&C::Create), SlotOf(&kivModuleClass::Create));
  EXPECT_EQ(SlotOf(&C::CreateObj), SlotOf(&kivObjClass::CreateObj));
  EXPECT_EQ(SlotOf(&C::Identify), SlotOf(&kivObjClass::Identify));
  EXPECT_EQ(SlotOf(&kivObjClass::SetClassID), 29) << "the object class's last slot";
}

TEST(ActorLayout, ActorClassSlotsIncludingGroupRows) {
  ExpectSlotsInOrder(
      {
          {"PlaySound", SlotOf(&C::PlaySound)},
          {"Check (group A)", SlotOf(&C::Check)},
          {"Resample", SlotOf(&C::Resample)},
          {"Optimize (group A)", SlotOf(&C::Optimize)},
          {"EnumParts", SlotOf(&C::EnumParts)},
          {"EnumAnims (group B)", SlotOf(&C::EnumAnims)},
          {"EnumSounds", SlotOf(&C::EnumSounds)},
          {"LoadEffects", SlotOf(&C::LoadEffects)},
          {"GetPivotHeight", SlotOf(&C::GetPivotHeight)},
          {"SetFrameEvents (group B)", SlotOf(&C::SetFrameEvents)},
          {"GetHeadLOD", SlotOf(&C::GetHeadLOD)},
          {"ReloadEvents", SlotOf(&C::ReloadEvents)},
      },
      30);
}

TEST(ActorLayout, ActorKeepsObjectSlots) {
  EXPECT_EQ(SlotOf(&A::LoadData), SlotOf(&kivObj::LoadData));
  EXPECT_EQ(SlotOf(&A::SaveData), SlotOf(&kivObj::SaveData));
  EXPECT_EQ(SlotOf(&A::GetDataSize), SlotOf(&kivObj::GetDataSize));
  EXPECT_EQ(SlotOf(&kivObj::GetDataSize_2), 9) << "the object's last slot";
}

TEST(ActorLayout, ActorSlotsIncludingGroupRows) {
  ExpectSlotsInOrder(
      {
          {"SetTimer", SlotOf(&A::SetTimer)},
          {"ActorClass", SlotOf(&A::ActorClass)},
          {"GetNumSkins", SlotOf(&A::GetNumSkins)},
          {"SetSkin", SlotOf(&A::SetSkin)},
          {"GetSkin", SlotOf(&A::GetSkin)},
          {"SetSize", SlotOf(&A::SetSize)},
          {"GetSize", SlotOf(&A::GetSize)},
          {"SetColor", SlotOf(&A::SetColor)},
          {"GetColor", SlotOf(&A::GetColor)},
          {"SelectLOD", SlotOf(&A::SelectLOD)},
          {"SelectLODIndirect", SlotOf(&A::SelectLODIndirect)},
          {"GetModelInfo", SlotOf(&A::GetModelInfo)},
          {"PlayFootstepSound", SlotOf(&A::PlayFootstepSound)},
          {"AttachModel (group D)", SlotOf(&A::AttachModel)},
          {"GetBodyAnim (group E)", SlotOf(&A::GetBodyAnim)},
          {"GetBodyPlaying (group E)", SlotOf(&A::GetBodyPlaying)},
          {"SetBodyAnimSpeed (group F)", SlotOf(&A::SetBodyAnimSpeed)},
          {"SetBodyAnim (group D)", SlotOf(&A::SetBodyAnim)},
          {"SetBodyAnimEventCallback (group D)", SlotOf(&A::SetBodyAnimEventCallback)},
          {"GetNumJoints", SlotOf(&A::GetNumJoints)},
          {"SetPosition", SlotOf(&A::SetPosition)},
          {"GetPosition", SlotOf(&A::GetPosition)},
          {"GetJoint", SlotOf(&A::GetJoint)},
          {"SetJoint", SlotOf(&A::SetJoint)},
          {"Update", SlotOf(&A::Update)},
          {"RenderActor", SlotOf(&A::RenderActor)},
          {"GetBodyFrame", SlotOf(&A::GetBodyFrame)},
          {"SetBodyFrame (group F)", SlotOf(&A::SetBodyFrame)},
          {"GetAnimation (group G)", SlotOf(&A::GetAnimation)},
          {"Clone", SlotOf(&A::Clone)},
          {"CreateGibs", SlotOf(&A::CreateGibs)},
          {"TakeGun (group E)", SlotOf(&A::TakeGun)},
          {"TakeGun2 (group E)", SlotOf(&A::TakeGun2)},
          {"GetBodyFrameType (group G)", SlotOf(&A::GetBodyFrameType)},
          {"PlaySound", SlotOf(&A::PlaySound)},
          {"Gesture", SlotOf(&A::Gesture)},
          {"GetTagMatrix", SlotOf(&A::GetTagMatrix)},
          {"GetBox", SlotOf(&A::GetBox)},
          {"Transform", SlotOf(&A::Transform)},
          {"Save", SlotOf(&A::Save)},
          {"GetLocalMatrix", SlotOf(&A::GetLocalMatrix)},
          {"GetSoundType", SlotOf(&A::GetSoundType)},
      },
      10);
}

TEST(ActorLayout, EventContainerSlots) {
  ExpectSlotsInOrder(
      {
          {"Save", SlotOf(&kivEventCnt::Save)},
          {"Load", SlotOf(&kivEventCnt::Load)},
          {"SetEvents", SlotOf(&kivEventCnt::SetEvents)},
      },
      2);
}

// The fields are protected: the probes reach them as a derived class does.
struct ActorClassProbe : kivActorClass {
  static std::vector<Field> Fields() {
    return {
        FieldOf("text 0", &ActorClassProbe::m_szText0),
        FieldOf("text 1", &ActorClassProbe::m_szText1),
        FieldOf("text 2", &ActorClassProbe::m_szText2),
        FieldOf("text 3", &ActorClassProbe::m_szText3),
        FieldOf("short text", &ActorClassProbe::m_szShortText),
        FieldOf("text 5", &ActorClassProbe::m_szText5),
        FieldOf("head LOD", &ActorClassProbe::m_pHeadLOD),
        FieldOf("sound count", &ActorClassProbe::m_nSounds),
        FieldOf("sound names", &ActorClassProbe::m_ppszSounds),
        FieldOf("actor word", &ActorClassProbe::m_dwActorWord),
        FieldOf("actor int", &ActorClassProbe::m_nActorInt),
        FieldOf("actor byte", &ActorClassProbe::m_bActorByte),
        FieldOf("actor float", &ActorClassProbe::m_fActorFloat),
        FieldOf("actor words", &ActorClassProbe::m_dwActorWords),
    };
  }
};

struct ActorProbe : kivActor {
  static std::vector<Field> Fields() {
    return {
        FieldOf("timer", &ActorProbe::m_nTimer),
        FieldOf("position", &ActorProbe::m_vPosition),
        FieldOf("joint table", &ActorProbe::m_pJoints),
        FieldOf("local matrix", &ActorProbe::m_mLocal),
        FieldOf("skin", &ActorProbe::m_nSkin),
        FieldOf("scale", &ActorProbe::m_fScale),
        FieldOf("matrix dirty", &ActorProbe::m_bMatrixDirty),
        FieldOf("colour", &ActorProbe::m_dwColor),
    };
  }
};

// Nothing hides after the last field: a derived class's fields follow it directly.
template <class T>
void ExpectEndsAfter(const Field& last) {
  const size_t end = static_cast<size_t>(last.offset) + last.size;
  EXPECT_EQ(sizeof(T), (end + alignof(T) - 1) / alignof(T) * alignof(T)) << "after " << last.name;
}

TEST(ActorLayout, ActorClassFieldsFollowTheObjectClass) {
  const Field objectEnd = FieldOf("second class word", &kivObjClass::classWord2);
  const std::vector<Field> fields = ActorClassProbe::Fields();
  ExpectFieldsInOrder(fields, objectEnd.offset + static_cast<ptrdiff_t>(objectEnd.size));
  ExpectEndsAfter<kivActorClass>(fields.back());
  const size_t expectedSizes[] = {64, 64, 64, 64, 16, 64, sizeof(void*), 4, sizeof(void*), 4, 4, 1, 4, 16};
  for (size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(fields[i].size, expectedSizes[i]) << fields[i].name;
}

TEST(ActorLayout, ActorFieldsFollowTheObject) {
  const Field objectEnd = FieldOf("class", &kivObj::objClass);
  const std::vector<Field> fields = ActorProbe::Fields();
  ExpectFieldsInOrder(fields, objectEnd.offset + static_cast<ptrdiff_t>(objectEnd.size));
  ExpectEndsAfter<kivActor>(fields.back());
  EXPECT_EQ(fields[1].size, 12u);
  EXPECT_EQ(fields[3].size, 64u);
}

TEST(ActorLayout, AnimationRecords) {
  ExpectFieldsInOrder({FieldOf("event count", &kivEventCnt::m_nEvents), FieldOf("event block", &kivEventCnt::m_pEvents)},
                      sizeof(void*));
  const std::vector<Field> animator = {
      FieldOf("range start", &kivQAnimator::m_nRangeStart),
      FieldOf("range length", &kivQAnimator::m_nRangeLength),
      FieldOf("playing", &kivQAnimator::m_fPlaying),
      FieldOf("engine state 1", &kivQAnimator::m_engineState1),
      FieldOf("factor", &kivQAnimator::m_fFactor),
      FieldOf("speed", &kivQAnimator::m_fSpeed),
      FieldOf("engine state 2", &kivQAnimator::m_engineState2),
      FieldOf("flags", &kivQAnimator::m_dwFlags),
      FieldOf("event list", &kivQAnimator::m_pEvents),
      FieldOf("event callback", &kivQAnimator::m_pfnEventCallback),
      FieldOf("callback user data", &kivQAnimator::m_pCallbackUser),
  };
  ExpectFieldsInOrder(animator, 0);
  ExpectEndsAfter<kivQAnimator>(animator.back());
  EXPECT_EQ(animator[3].size, 8u);
  EXPECT_EQ(animator[6].size, 32u);
  EXPECT_FALSE(std::is_polymorphic_v<kivQAnimator>);
}

}  // namespace
