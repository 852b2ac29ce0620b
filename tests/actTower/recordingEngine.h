// A model and shader library that records every call instead of drawing.
//
// The test program defines the model and shader functions itself, so they take the place
// of the reference libraries for the plug-in's code and for the actor library alike. A
// model handle is a RecordedModel naming the file it was loaded from.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "mxmath.h"
#include "rxModel.h"

struct RecordedModel {
  std::string name;  // file name without folder and extension, e.g. "tower_1"
  DWORD vertices;
  DWORD triangles;
};

struct EngineCall {
  std::string function;  // "LoadModel", "DestroyModel", "AttachModel", "FindTag", ...
  std::string model;     // RecordedModel::name of the handle, "(null)" for NULL
  std::string detail;    // tag name, attached child, saved path
  int number = 0;        // tag index or skin
  MXMATRIX matrix{};     // pushed or tag matrix
};

class RecordingEngine {
 public:
  static RecordingEngine& Get();
  void Reset();

  // Calls of one function, in order.
  std::vector<EngineCall> Calls(const std::string& function) const;
  // The functions called, in order, skipping those in `ignore`.
  std::vector<std::string> Sequence(const std::set<std::string>& ignore = {}) const;

  std::vector<EngineCall> calls;
  std::set<std::string> failingLoads;  // model names whose LoadModel fails
  MXVECTOR3 boxMin{1, 2, 3};           // what GetInstBoxI reports for every model
  MXVECTOR3 boxMax{4, 5, 6};
  int liveModels = 0;
  int pushDepth = 0;
};

std::string ModelName(void* handle);
