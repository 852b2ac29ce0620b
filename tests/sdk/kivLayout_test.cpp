// The engine reaches these classes by virtual-table slot and by field offset, so both
// orders are checked against the compiled classes (Itanium C++ ABI).
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "LayoutProbe.h"
#include "kivQObjClass.h"

namespace {

using M = kivModuleClass;

// The module's 20 operations; the destructor takes slots 0 and 1.
std::vector<Slot> ModuleSlots() {
  return {
      {"AddParam", SlotOf(&M::AddParam)},
      {"SortParams", SlotOf(&M::SortParams)},
      {"SetModule", SlotOf(&M::SetModule)},
      {"GetModule", SlotOf(&M::GetModule)},
      {"AddRef", SlotOf(&M::AddRef)},
      {"Release", SlotOf(&M::Release)},
      {"GetRefCount", SlotOf(&M::GetRefCount)},
      {"GetParam(name)", SlotOf(static_cast<kivParam* (M::*)(const char*)>(&M::GetParam))},
      {"GetParam(index)", SlotOf(static_cast<kivParam* (M::*)(int)>(&M::GetParam))},
      {"PrintParams", SlotOf(&M::PrintParams)},
      {"Create", SlotOf(&M::Create)},
      {"Setup", SlotOf(&M::Setup)},
      {"GetName", SlotOf(&M::GetName)},
      {"GetNext", SlotOf(&M::GetNext)},
      {"SetNext", SlotOf(&M::SetNext)},
      {"PrintComments", SlotOf(&M::PrintComments)},
      {"Save", SlotOf(&M::Save)},
      {"Backup", SlotOf(&M::Backup)},
      {"backup_file", SlotOf(&M::backup_file)},
  };
}

TEST(Layout, ModuleSlots) { ExpectSlotsInOrder(ModuleSlots(), 2); }

TEST(Layout, ObjectClassKeepsModuleSlotsAndAppendsItsOwn) {
  using C = kivObjClass;
  EXPECT_EQ(SlotOf(&C::AddRef), SlotOf(&M::AddRef)) << "the replaced AddRef keeps its slot";
  ExpectSlotsInOrder(
      {
          {"CreateObj", SlotOf(&C::CreateObj)},
          {"Identify", SlotOf(&C::Identify)},
          {"ParamChanged", SlotOf(&C::ParamChanged)},
          {"PrintInfo", SlotOf(&C::PrintInfo)},
          {"LoadData", SlotOf(&C::LoadData)},
          {"SaveData", SlotOf(&C::SaveData)},
          {"GetDataSize", SlotOf(&C::GetDataSize)},
          {"GetClassID", SlotOf(&C::GetClassID)},
          {"SetClassID", SlotOf(&C::SetClassID)},
      },
      21);
}

TEST(Layout, ObjectSlots) {
  using O = kivObj;
  ExpectSlotsInOrder(
      {
          {"GetName", SlotOf(&O::GetName)},
          {"GetClass", SlotOf(&O::GetClass)},
          {"LoadData", SlotOf(&O::LoadData)},
          {"SaveData", SlotOf(&O::SaveData)},
          {"GetDataSize", SlotOf(&O::GetDataSize)},
          {"LoadData_2", SlotOf(&O::LoadData_2)},
          {"SaveData_2", SlotOf(&O::SaveData_2)},
          {"GetDataSize_2", SlotOf(&O::GetDataSize_2)},
      },
      2);
}

TEST(Layout, ParameterDestructorIsItsFirstOperation) {
  // No other virtual operation: the destructor's two entries are the whole table.
  struct Probe : kivParam {
    using kivParam::kivParam;
    virtual int Next() { return 0; }
  };
  EXPECT_EQ(SlotOf(&Probe::Next), 2);
}

TEST(Layout, ModuleFields) {
  ExpectFieldsInOrder(
      {
          FieldOf("ID", &M::ID),
          FieldOf("name", &M::name),
          FieldOf("module", &M::moduleText),
          FieldOf("file", &M::file),
          FieldOf("next", &M::next),
          FieldOf("params", &M::params),
          FieldOf("param count", &M::paramCount),
          FieldOf("flags", &M::flags),
          FieldOf("reference count", &M::refCount),
      },
      sizeof(void*));
  EXPECT_EQ(sizeof(M::ID), 4u);
  EXPECT_EQ(sizeof(M::paramCount), 4u);
  EXPECT_EQ(sizeof(M::flags), 1u);
  EXPECT_EQ(sizeof(M::refCount), 4u);
}

TEST(Layout, ObjectClassFieldsFollowTheModuleFields) {
  const Field lastModuleField = FieldOf("reference count", &M::refCount);
  ExpectFieldsInOrder(
      {
          FieldOf("first class word", &kivObjClass::classWord1),
          FieldOf("data size", &kivObjClass::dataSize),
          FieldOf("second class word", &kivObjClass::classWord2),
      },
      lastModuleField.offset + static_cast<ptrdiff_t>(lastModuleField.size));
  EXPECT_EQ(sizeof(kivObjClass::classWord1) + sizeof(kivObjClass::dataSize) + sizeof(kivObjClass::classWord2), 12u);
}

TEST(Layout, ParameterAndObjectFields) {
  ExpectFieldsInOrder(
      {
          FieldOf("name", &kivParam::name),
          FieldOf("type", &kivParam::type),
          FieldOf("value", &kivParam::value),
          FieldOf("formatter", &kivParam::formatter),
      },
      sizeof(void*));
  EXPECT_EQ(sizeof(kivParam::type), 4u);
  ExpectFieldsInOrder({FieldOf("class", &kivObj::objClass)}, sizeof(void*));
}

TEST(Layout, ConsoleVariableValueIsTheSecondWord) {
  EXPECT_EQ(OffsetOf(&kivVariable::value), 4);
}

}  // namespace
