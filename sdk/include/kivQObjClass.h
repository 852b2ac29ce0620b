// Class objects and objects.
//
// A class object (kivObjClass) is a module that creates the objects of one kind and
// counts the objects that refer to it; an object (kivObj) holds one reference on its
// class object for its whole life. The engine calls both through their virtual tables;
// the slot order below is part of the interface.
#pragma once

#include "kivQModule.h"

class kivObj;

// Virtual table: the 20 operations of kivModuleClass (AddRef replaced), then
//   CreateObj, Identify, ParamChanged, PrintInfo, LoadData, SaveData, GetDataSize,
//   GetClassID, SetClassID.
class kivObjClass : public kivModuleClass {
 public:
  // The data size and the second class word are not given by the engine; they start at
  // 0 here so they never read as garbage.
  kivObjClass() : classWord1(0), dataSize(0), classWord2(0) {}
  kivObjClass(const kivObjClass&) = default;
  kivObjClass& operator=(const kivObjClass&) = default;
  ~kivObjClass() override {}

  // The first reference (from a count of exactly 0) announces the first object.
  void AddRef() override {
    if (refCount == 0) kivConsole_Print("\n  Creating object: '%s'", name);
    ++refCount;
  }

  // One object of this class, or null when its block cannot be taken.
  virtual kivObj* CreateObj();
  // Nonzero when the class answers to the text; the base class answers to nothing.
  virtual int Identify(const char* /*text*/) { return 0; }
  virtual void ParamChanged(kivParam* /*param*/) {}
  virtual void PrintInfo() {}
  virtual void LoadData(unsigned char* /*data*/) {}
  virtual void SaveData(unsigned char* /*data*/) {}
  virtual DWORD GetDataSize() { return dataSize; }
  virtual DWORD GetClassID() { return ID; }
  // 0 leaves the ID as it was.
  virtual void SetClassID(DWORD id) {
    if (id != 0) ID = id;
  }

  DWORD classWord1;
  DWORD dataSize;
  DWORD classWord2;
};

// Virtual table (the destructor takes the first two entries):
//   ~kivObj, GetName, GetClass, LoadData, SaveData, GetDataSize, LoadData_2,
//   SaveData_2, GetDataSize_2.
// The data operations take a byte cursor: the address of a pointer that an override
// reads or writes at and moves past its own bytes before calling its base's version.
class kivObj {
 public:
  KIV_TRACKED_OPERATORS

  // Takes a reference on the class object (through its virtual table, so a derived
  // class object's AddRef runs). `cls` must not be null and must outlive the object.
  explicit kivObj(kivObjClass* cls) : objClass(cls) { objClass->AddRef(); }
  // A copy takes no reference of its own, so only one of an object and its copies may
  // be destroyed.
  kivObj(const kivObj&) = default;
  kivObj& operator=(const kivObj&) = default;
  // Releasing the class object is the last step of destroying any derived object.
  virtual ~kivObj() { objClass->Release(); }

  virtual const char* GetName() { return objClass->GetName(); }
  virtual kivObjClass* GetClass() { return objClass; }
  virtual void LoadData(unsigned char** /*cursor*/) {}
  virtual void SaveData(unsigned char** /*cursor*/) {}
  virtual DWORD GetDataSize() { return 0; }
  virtual void LoadData_2(unsigned char** /*cursor*/) {}
  virtual void SaveData_2(unsigned char** /*cursor*/) {}
  virtual DWORD GetDataSize_2() { return 0; }

  kivObjClass* objClass;
};

inline kivObj* kivObjClass::CreateObj() { return KIV_NEW kivObj(this); }
