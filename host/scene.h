// The host's scene: tower instances of one class object, a camera path through them, and
// the frame loop that drives the towers the way the engine does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mxmath.h"
#include "rxModel.h"

class kivActorClass;
class kivActor;

namespace towerhost {

// The camera of one frame, in world coordinates (y up).
struct FrameCamera {
  MXVECTOR3 eye;
  MXVECTOR3 target;
  MXVECTOR3 up;
};

// What a frame leaves behind once every tower has been rendered: the camera it was seen
// from and the model library's draw list of that frame (valid until the next frame starts).
struct FrameView {
  int frame;
  FrameCamera camera;
  const kivQModelDraw* draws;
  size_t drawCount;
};
using FrameObserver = std::function<void(const FrameView&)>;

// Default layout: tower i stands at (i * kTowerSpacing, 0, 0).
inline constexpr float kTowerSpacing = 25.0f;

// The camera flies along the row of towers, beside it, from well before the first tower to
// well beyond the last one, so every tower passes from the far level to the near one and
// back. `frame` runs over [0, frames); past the end the path is flown back (ping-pong).
FrameCamera CameraOnPath(int towerCount, int frame, int frames);

struct Tower {
  int id;
  kivActor* actor;
  MXVECTOR3 position;
  float yaw;         // degrees, entry 0 of the joint-angle table
  float rotorSpeed;  // degrees per frame
  float rotorAngle;  // degrees, entry 1 of the joint-angle table
  size_t draws;      // draw-list entries of its last rendering
  unsigned levelsSeen;  // bit i: drawn at level i in some frame
};

class Scene {
 public:
  // `pathTowers` and `pathFrames` shape the camera path (see CameraOnPath).
  Scene(kivActorClass* towerClass, int pathTowers, int pathFrames);
  ~Scene();
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  // Creates a tower; the yaw and rotor speed follow from its id. Returns the id, or -1
  // when the class object cannot create an instance.
  int Spawn(const MXVECTOR3& position);
  // Spawns at the next free place of the default row.
  int SpawnInRow();
  bool Remove(int id);
  void RemoveAll();

  // Runs one frame: place, SelectLOD by camera distance, Update, RenderActor for every
  // tower, then hands the frame's view to the observer.
  void Step();

  void SetObserver(FrameObserver observer) { observer_ = std::move(observer); }

  // The state of every tower as data blocks, in scene order.
  std::vector<std::vector<uint8_t>> SaveBlocks() const;
  // The data size of this class's towers; creates a probe tower when the scene is empty.
  // Returns 0 when no tower can be created.
  uint32_t BlockSize();
  // Replaces every tower by new ones loaded from the blocks (each of BlockSize() bytes).
  // Returns false, with the scene empty, when a tower cannot be created.
  bool ReplaceFromBlocks(const std::vector<std::vector<uint8_t>>& blocks, std::string& error);

  // Compact table: level, box, model counts, rotor angle, draws of each tower.
  std::string Table() const;

  const std::vector<Tower>& Towers() const { return towers_; }
  int Frame() const { return frame_; }
  FrameCamera Camera() const { return CameraOnPath(pathTowers_, frame_, pathFrames_); }

 private:
  kivActorClass* class_;
  int pathTowers_;
  int pathFrames_;
  int frame_ = 0;
  int nextId_ = 0;
  std::vector<Tower> towers_;
  FrameObserver observer_;
};

}  // namespace towerhost
