#include "saveFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "kivFileOut.h"

namespace towerhost {
namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

std::vector<uint8_t> EncodeSaveFile(const SaveFile& save) {
  std::vector<uint8_t> out(kSaveMagic, kSaveMagic + 4);
  PutU32(out, kSaveVersion);
  PutU32(out, static_cast<uint32_t>(save.blocks.size()));
  for (const auto& block : save.blocks) PutU32(out, static_cast<uint32_t>(block.size()));
  for (const auto& block : save.blocks) out.insert(out.end(), block.begin(), block.end());
  return out;
}

bool DecodeSaveFile(const std::vector<uint8_t>& bytes, uint32_t blockSize, SaveFile& out,
                    std::string& error) {
  out.blocks.clear();
  const uint64_t size = bytes.size();
  if (size < 12) {
    error = "truncated header (" + std::to_string(size) + " bytes)";
    return false;
  }
  if (std::memcmp(bytes.data(), kSaveMagic, 4) != 0) {
    error = "not a tower save file (wrong magic word)";
    return false;
  }
  const uint32_t version = GetU32(bytes.data() + 4);
  if (version != kSaveVersion) {
    error = "unsupported format version " + std::to_string(version) + " (expected " +
            std::to_string(kSaveVersion) + ")";
    return false;
  }
  const uint32_t count = GetU32(bytes.data() + 8);
  if (count > kSaveMaxTowers) {
    error = "tower count " + std::to_string(count) + " exceeds " + std::to_string(kSaveMaxTowers);
    return false;
  }
  const uint64_t headerSize = 12 + 4ull * count;
  if (size < headerSize) {
    error = "truncated block size table (" + std::to_string(count) + " towers announced)";
    return false;
  }
  uint64_t expected = headerSize;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t got = GetU32(bytes.data() + 12 + 4ull * i);
    if (got != blockSize) {
      error = "block " + std::to_string(i) + " has size " + std::to_string(got) +
              ", a tower's data is " + std::to_string(blockSize) + " bytes";
      return false;
    }
    expected += got;
  }
  if (size < expected) {
    error = "truncated: " + std::to_string(size) + " bytes, the header announces " +
            std::to_string(expected);
    return false;
  }
  if (size > expected) {
    error = std::to_string(size - expected) + " bytes after the last block";
    return false;
  }
  out.blocks.reserve(count);
  const uint8_t* p = bytes.data() + headerSize;
  for (uint32_t i = 0; i < count; ++i, p += blockSize) out.blocks.emplace_back(p, p + blockSize);
  return true;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  bytes.clear();
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    error = "cannot read " + path;
    return false;
  }
  return true;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string& error) {
  // Through the platform's crash-safe output, so a failed write leaves the previous file
  // as it was instead of a truncated one.
  kivFileOut* out = kivFileOut_Open(path.c_str());
  if (!out) {
    error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  if (!kivFileOut_Write(out, bytes.data(), bytes.size())) {
    kivFileOut_Abort(out);
    error = "cannot write " + path;
    return false;
  }
  if (!kivFileOut_Close(out)) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace towerhost
