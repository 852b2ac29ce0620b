#include <gtest/gtest.h>

#include <string>

#include "AllocFailureSweep.h"
#include "ConsoleCapture.h"
#include "kivQObjClass.h"

namespace {

TEST(ObjClass, FirstReferencePrintsTheCreationMessage) {
  ConsoleCapture console;
  kivObjClass cls;
  cls.Setup("tower", "", "", nullptr);
  kivObj* a = cls.CreateObj();
  kivObj* b = cls.CreateObj();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(console.Normal(), "\n  Creating object: 'tower'");
  EXPECT_EQ(cls.GetRefCount(), 2);
  delete a;
  delete b;
  EXPECT_EQ(cls.GetRefCount(), 0);
  kivObj* c = cls.CreateObj();
  EXPECT_EQ(console.Normal(), "\n  Creating object: 'tower'\n  Creating object: 'tower'");
  delete c;
}

TEST(ObjClass, CreatedObjectIsTrackedAtItsCreatingStatement) {
  ConsoleCapture console;
  kivObjClass cls;
  kivObj* object = cls.CreateObj();
  const char* file = nullptr;
  ASSERT_TRUE(kivMemLeak_FindBlock(object, &file, nullptr));
  EXPECT_TRUE(std::string(file).ends_with("kivQObjClass.h")) << file;
  delete object;
}

TEST(ObjClass, FailedCreateObjLeavesTheCountAndPrintsNothing) {
  ConsoleCapture console;
  kivObjClass cls;
  SweepAllocFailures([&](const SweepRun&) {
    kivObj* object = cls.CreateObj();
    EXPECT_EQ(cls.GetRefCount(), object != nullptr ? 1 : 0);
    delete object;
  });
  cls.Release();  // below zero
  cls.AddRef();   // back to zero: no message
  console.Clear();
  kivGlobalMem_FailNth(1, 0);
  EXPECT_EQ(cls.CreateObj(), nullptr);
  kivGlobalMem_NoFaults();
  EXPECT_EQ(cls.GetRefCount(), 0);
  EXPECT_EQ(console.Normal(), "");
}

TEST(ObjClass, AddRefFromBelowZeroPrintsNothing) {
  ConsoleCapture console;
  kivObjClass cls;
  cls.Release();
  cls.Release();
  cls.AddRef();
  cls.AddRef();
  EXPECT_EQ(cls.GetRefCount(), 0);
  EXPECT_EQ(console.Normal(), "");
  cls.AddRef();
  EXPECT_EQ(console.Normal(), "\n  Creating object: ''");
}

TEST(ObjClass, ClassIdAndDefaults) {
  kivObjClass cls;
  EXPECT_EQ(cls.GetClassID(), 1u);
  cls.SetClassID(0);
  EXPECT_EQ(cls.GetClassID(), 1u);
  cls.SetClassID(7);
  EXPECT_EQ(cls.GetClassID(), 7u);
  EXPECT_EQ(cls.classWord1, 0u);
  EXPECT_EQ(cls.GetDataSize(), 0u);
  for (const char* text : {"", "actor", "kivObjClass"}) EXPECT_EQ(cls.Identify(text), 0) << text;
  EXPECT_EQ(cls.Create(), S_OK);
}

TEST(ObjClass, CopyCopiesEveryField) {
  kivObjClass cls;
  cls.Setup("name", "file", "mod", nullptr);
  cls.classWord1 = 11;
  cls.dataSize = 22;
  cls.classWord2 = 33;
  cls.AddRef();
  kivObjClass copy(cls);
  EXPECT_STREQ(copy.GetName(), "name");
  EXPECT_EQ(copy.classWord1, 11u);
  EXPECT_EQ(copy.GetDataSize(), 22u);
  EXPECT_EQ(copy.classWord2, 33u);
  EXPECT_EQ(copy.GetRefCount(), 1);
}

TEST(Obj, NameAndClassComeFromTheClassObject) {
  ConsoleCapture console;
  kivObjClass cls;
  cls.Setup("rotor", "", "", nullptr);
  kivObj* object = cls.CreateObj();
  EXPECT_EQ(object->GetName(), cls.GetName()) << "the class object's own text";
  EXPECT_EQ(object->GetClass(), &cls);
  delete object;
}

TEST(Obj, DefaultDataOperationsLeaveTheCursor) {
  ConsoleCapture console;
  kivObjClass cls;
  kivObj object(&cls);
  unsigned char data[4] = {};
  unsigned char* cursor = data;
  object.SaveData(&cursor);
  object.LoadData(&cursor);
  object.SaveData_2(&cursor);
  object.LoadData_2(&cursor);
  EXPECT_EQ(cursor, data);
  EXPECT_EQ(object.GetDataSize(), 0u);
  EXPECT_EQ(object.GetDataSize_2(), 0u);
}

TEST(Obj, ConstructionGoesThroughTheDerivedAddRefAndDestructionReleasesLast) {
  struct Counting : kivObjClass {
    void AddRef() override {
      ++adds;
      kivObjClass::AddRef();
    }
    void Release() override {
      ++releases;
      kivObjClass::Release();
    }
    int adds = 0, releases = 0;
  } cls;
  struct Derived : kivObj {
    explicit Derived(kivObjClass* c, int* releasesSeen) : kivObj(c), seen(releasesSeen) {}
    ~Derived() override { *seen = static_cast<Counting*>(GetClass())->releases; }
    int* seen;
  };
  ConsoleCapture console;
  int releasesWhenDerivedDied = -1;
  kivObj* object = KIV_NEW Derived(&cls, &releasesWhenDerivedDied);
  EXPECT_EQ(cls.adds, 1);
  delete object;
  EXPECT_EQ(releasesWhenDerivedDied, 0);
  EXPECT_EQ(cls.releases, 1);
}

TEST(Obj, CopyTakesNoReference) {
  ConsoleCapture console;
  kivObjClass cls;
  kivObj* object = cls.CreateObj();
  kivObj copy(*object);
  EXPECT_EQ(copy.GetClass(), &cls);
  EXPECT_EQ(cls.GetRefCount(), 1);
  delete object;
  copy.objClass->AddRef();  // the copy's destruction releases one reference of its own
}

}  // namespace

namespace {

int32_t sweepValue = 5;

// A whole class object's life: set up, parameters, creation, an object, the listing and
// the settings file, with every allocation failing in turn.
TEST(ObjClass, WholeLifeSurvivesEveryAllocationFailure) {
  ConsoleCapture console;
  SweepAllocFailures([](const SweepRun&) {
    kivObjClass* cls = KIV_NEW kivObjClass;
    if (cls == nullptr) return;
    cls->Setup("swept", "", "mod", nullptr);
    for (const char* name : {"a", "b", "c"}) cls->AddParam(KIV_NEW kivParam(name, PARAM_INT, &sweepValue));
    EXPECT_EQ(cls->Create(), S_OK);
    kivObj* object = cls->CreateObj();
    EXPECT_EQ(cls->GetRefCount(), object != nullptr ? 1 : 0);
    cls->PrintParams();
    delete object;
    EXPECT_EQ(cls->GetRefCount(), 0);
    delete cls;
  });
}

}  // namespace
