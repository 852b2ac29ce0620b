#include "scene.h"

#include <cmath>
#include <algorithm>
#include <cstdio>

#include "actTower.h"

namespace towerhost {
namespace {

// The path runs this far before the first and beyond the last tower, farther than the
// far level begins at the default LOD_range, and passes the row at this offset.
constexpr float kPathLead = 160.0f;
constexpr float kPathHeight = 12.0f;
constexpr float kPathSide = 20.0f;

float Distance(const MXVECTOR3& a, const MXVECTOR3& b) {
  const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

}  // namespace

FrameCamera CameraOnPath(int towerCount, int frame, int frames) {
  const float start = -kPathLead;
  const float end = static_cast<float>(towerCount > 0 ? towerCount - 1 : 0) * kTowerSpacing + kPathLead;
  float t = 0.0f;
  if (frames > 1) {
    const int period = 2 * (frames - 1);
    int f = frame % period;
    if (f < 0) f += period;
    if (f >= frames) f = period - f;
    t = static_cast<float>(f) / static_cast<float>(frames - 1);
  }
  FrameCamera camera;
  camera.eye = {start + (end - start) * t, kPathHeight, kPathSide};
  // Look ahead and down at the row, so the towers about to be passed fill the view; past the
  // last tower, look back at it rather than at empty ground.
  const float lastTower = end - kPathLead;
  camera.target = {std::min(camera.eye.x + 40.0f, lastTower), 0.0f, 0.0f};
  camera.up = {0.0f, 1.0f, 0.0f};
  return camera;
}

Scene::Scene(kivActorClass* towerClass, int pathTowers, int pathFrames)
    : class_(towerClass), pathTowers_(pathTowers), pathFrames_(pathFrames) {}

Scene::~Scene() { RemoveAll(); }

int Scene::Spawn(const MXVECTOR3& position) {
  kivObj* obj = class_->CreateObj();
  if (!obj) return -1;
  Tower tower{};
  tower.id = nextId_++;
  tower.actor = static_cast<kivActor*>(obj);
  tower.position = position;
  tower.yaw = static_cast<float>((tower.id * 15) % 360);
  tower.rotorSpeed = 6.0f + 3.0f * static_cast<float>(tower.id % 8);
  tower.rotorAngle = 0.0f;
  MXVECTOR3 pos = position;
  tower.actor->SetPosition(&pos);
  MXVECTOR3 angles{tower.yaw, 0.0f, 0.0f};
  tower.actor->SetJoint(0, &angles);
  MXVECTOR3 rotor{0.0f, 0.0f, 0.0f};
  tower.actor->SetJoint(1, &rotor);
  towers_.push_back(tower);
  return tower.id;
}

int Scene::SpawnInRow() {
  float x = 0.0f;
  for (const auto& t : towers_) x = std::max(x, t.position.x + kTowerSpacing);
  return Spawn({x, 0.0f, 0.0f});
}

bool Scene::Remove(int id) {
  for (auto it = towers_.begin(); it != towers_.end(); ++it) {
    if (it->id == id) {
      delete it->actor;
      towers_.erase(it);
      return true;
    }
  }
  return false;
}

void Scene::RemoveAll() {
  for (auto& t : towers_) delete t.actor;
  towers_.clear();
}

void Scene::Step() {
  kivQModel_ClearDraws();
  const FrameCamera camera = Camera();
  for (auto& t : towers_) {
    t.rotorAngle = std::fmod(t.rotorAngle + t.rotorSpeed, 360.0f);
    MXVECTOR3 pos = t.position;
    t.actor->SetPosition(&pos);
    MXVECTOR3 angles{t.yaw, 0.0f, 0.0f};
    t.actor->SetJoint(0, &angles);
    MXVECTOR3 rotor{t.rotorAngle, 0.0f, 0.0f};
    t.actor->SetJoint(1, &rotor);
    t.actor->SelectLOD(Distance(camera.eye, t.position));
    t.levelsSeen |= 1u << static_cast<kivActTower*>(t.actor)->CurrentLOD();
    t.actor->Update();
    const size_t before = kivQModel_GetDrawCount();
    t.actor->RenderActor();
    t.draws = kivQModel_GetDrawCount() - before;
  }
  if (observer_) observer_({frame_, camera, kivQModel_GetDraws(), kivQModel_GetDrawCount()});
  ++frame_;
}

std::vector<std::vector<uint8_t>> Scene::SaveBlocks() const {
  std::vector<std::vector<uint8_t>> blocks;
  blocks.reserve(towers_.size());
  for (const auto& t : towers_) {
    std::vector<uint8_t> block(t.actor->GetDataSize());
    unsigned char* cursor = block.data();
    t.actor->SaveData(&cursor);
    blocks.push_back(std::move(block));
  }
  return blocks;
}

uint32_t Scene::BlockSize() {
  if (!towers_.empty()) return towers_.front().actor->GetDataSize();
  kivObj* probe = class_->CreateObj();
  if (!probe) return 0;
  const uint32_t size = static_cast<kivActor*>(probe)->GetDataSize();
  delete probe;
  return size;
}

bool Scene::ReplaceFromBlocks(const std::vector<std::vector<uint8_t>>& blocks,
                              std::string& error) {
  RemoveAll();
  for (const auto& block : blocks) {
    const int id = Spawn({0.0f, 0.0f, 0.0f});
    if (id < 0) {
      RemoveAll();
      error = "the tower class could not create a tower";
      return false;
    }
    Tower& t = towers_.back();
    std::vector<uint8_t> copy = block;
    unsigned char* cursor = copy.data();
    t.actor->LoadData(&cursor);
    t.actor->GetPosition(&t.position);
    MXVECTOR3 angles{};
    t.actor->GetJoint(0, &angles);
    t.yaw = angles.x;
    t.actor->GetJoint(1, &angles);
    t.rotorAngle = angles.x;
  }
  return true;
}

std::string Scene::Table() const {
  std::string text;
  char line[256];
  std::snprintf(line, sizeof line, "%5s %5s  %-26s %-26s %11s %6s %5s\n", "tower", "level",
                "box min", "box max", "models", "rotor", "draws");
  text += line;
  for (const auto& t : towers_) {
    MXVECTOR3 lo{}, hi{};
    t.actor->GetBox(lo, hi);
    DWORD first = 0, second = 0;
    t.actor->GetModelInfo(&first, &second, -1);
    const int level = static_cast<const kivActTower*>(t.actor)->CurrentLOD();
    char minText[64], maxText[64], models[32];
    std::snprintf(minText, sizeof minText, "(%7.2f %7.2f %7.2f)", lo.x, lo.y, lo.z);
    std::snprintf(maxText, sizeof maxText, "(%7.2f %7.2f %7.2f)", hi.x, hi.y, hi.z);
    std::snprintf(models, sizeof models, "%u/%u", static_cast<unsigned>(first),
                  static_cast<unsigned>(second));
    std::snprintf(line, sizeof line, "%5d %5d  %-26s %-26s %11s %6.1f %5zu\n", t.id, level,
                  minText, maxText, models, t.rotorAngle, t.draws);
    text += line;
  }
  return text;
}

}  // namespace towerhost
