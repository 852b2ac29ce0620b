// The SDK description that the tower plug-in exports beside CreateObjClass.
//
// The engine calls a plug-in's classes through their virtual tables and reads their
// records at fixed offsets, so a module built against another layout of the shared
// classes would crash in a shifted slot. A host reads this description with
// dlsym("GetSdkInfo") before it calls CreateObjClass and refuses a module whose
// description differs from its own.
#pragma once

#include <cstdint>

extern "C" {

// Raised whenever a shared class changes its record or its virtual table.
#define KIV_SDK_VERSION 1u
#define KIV_SDK_MAGIC 0x4B53444Bu  // "KDSK" read as little-endian bytes

// kivSdkInfo_Current() in actTower.h fills it from the headers a unit is compiled with.
// Plain C record, every field 32 bits, so hosts and modules of any compiler agree on it.
struct kivSdkInfo {
  uint32_t magic;
  uint32_t version;
  uint32_t pointerSize;
  uint32_t sizeModuleClass;
  uint32_t sizeObjClass;
  uint32_t sizeObj;
  uint32_t sizeActorClass;
  uint32_t sizeActor;
  uint32_t sizeActTowerClass;
  uint32_t sizeActTower;
};

typedef const kivSdkInfo* (*kivGetSdkInfoFn)(void);

}  // extern "C"
