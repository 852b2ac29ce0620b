// The host's save file: the state of every tower of a scene.
//
// Layout, all numbers 32-bit little-endian:
//   0   4 bytes  magic "KTWR"
//   4   version  (kSaveVersion)
//   8   tower count n
//   12  n block sizes, one per tower
//   ..  the n tower data blocks, back to back, as the towers' SaveData wrote them
// The reader is strict: a file is accepted only when every field is what the towers
// of this build expect and the file ends exactly after the last block.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace towerhost {

inline constexpr char kSaveMagic[4] = {'K', 'T', 'W', 'R'};
inline constexpr uint32_t kSaveVersion = 1;
// More towers than this in one file means the count field is garbage.
inline constexpr uint32_t kSaveMaxTowers = 1000000;

struct SaveFile {
  std::vector<std::vector<uint8_t>> blocks;  // one data block per tower, in scene order
};

// Serialises the blocks with the header above.
std::vector<uint8_t> EncodeSaveFile(const SaveFile& save);

// Checks and splits a file's bytes. `blockSize` is what GetDataSize of this build's towers
// reports. Returns false with a one-line reason in `error` when the file is refused; `out`
// is then left empty.
bool DecodeSaveFile(const std::vector<uint8_t>& bytes, uint32_t blockSize, SaveFile& out,
                    std::string& error);

// File wrappers: false with a reason when the file cannot be read or written. A failed
// write leaves the previous file intact.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string& error);

}  // namespace towerhost
