// The host's save-file reader on any bytes. A refused file leaves nothing behind and says
// why; an accepted one holds blocks of the towers' size and encodes back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "actActor.h"
#include "mxmath.h"
#include "saveFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A tower's data block: its rotor matrix, then the actor base's block.
  constexpr uint32_t kBlockSize = sizeof(MXMATRIX) + kivActor_DataSize;
  const std::vector<uint8_t> bytes(data, data + size);
  towerhost::SaveFile save;
  std::string error;
  if (!towerhost::DecodeSaveFile(bytes, kBlockSize, save, error)) {
    if (!save.blocks.empty() || error.empty()) std::abort();
    return 0;
  }
  for (const auto& block : save.blocks)
    if (block.size() != kBlockSize) std::abort();
  if (towerhost::EncodeSaveFile(save) != bytes) std::abort();
  return 0;
}
