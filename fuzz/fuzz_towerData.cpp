// The tower data block read by LoadData: a block of GetDataSize bytes holding anything.
// The tower must take it and go on through a whole frame without fault, whatever floats
// its matrices, position, angles and scale then hold, and save the very same bytes again.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzzTower.h"
#include "rxModel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kivActTower* tower = static_cast<kivActTower*>(fuzz::TowerClass()->CreateObj());
  if (tower == nullptr) std::abort();
  const size_t blockSize = tower->GetDataSize();
  if (size < blockSize) return 0;

  std::vector<unsigned char> block(data, data + blockSize);
  unsigned char* cursor = block.data();
  tower->LoadData(&cursor);
  if (cursor != block.data() + blockSize) std::abort();

  std::vector<unsigned char> saved(blockSize);
  cursor = saved.data();
  tower->SaveData(&cursor);
  if (cursor != saved.data() + blockSize || std::memcmp(saved.data(), data, blockSize) != 0) std::abort();

  // A frame as the engine drives it, from a distance taken from the bytes after the block.
  float distance = 0.0f;
  if (size >= blockSize + sizeof distance) std::memcpy(&distance, data + blockSize, sizeof distance);
  kivQModel_ClearDraws();
  tower->SelectLOD(distance);
  const int level = tower->CurrentLOD();
  if (level < 0 || level > 2) std::abort();
  tower->Update();
  tower->RenderActor();
  MXVECTOR3 lo{}, hi{};
  tower->GetBox(lo, hi);
  DWORD first = 0, second = 0;
  tower->GetModelInfo(&first, &second, -1);
  return 0;
}
