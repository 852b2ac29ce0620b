#include "saveFile.h"

#include <gtest/gtest.h>

#include <cstring>

namespace towerhost {
namespace {

constexpr uint32_t kBlock = 8;

SaveFile TwoTowers() {
  SaveFile save;
  save.blocks = {{1, 2, 3, 4, 5, 6, 7, 8}, {9, 10, 11, 12, 13, 14, 15, 16}};
  return save;
}

void PutU32At(std::vector<uint8_t>& bytes, size_t offset, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST(SaveFile, HeaderLayoutIsMagicVersionCountSizesThenBlocks) {
  const std::vector<uint8_t> bytes = EncodeSaveFile(TwoTowers());
  ASSERT_EQ(bytes.size(), 12u + 2 * 4 + 2 * kBlock);
  EXPECT_EQ(std::memcmp(bytes.data(), "KTWR", 4), 0);
  EXPECT_EQ(bytes[4], kSaveVersion);
  EXPECT_EQ(bytes[8], 2);
  EXPECT_EQ(bytes[12], kBlock);
  EXPECT_EQ(bytes[16], kBlock);
  EXPECT_EQ(bytes[20], 1);
  EXPECT_EQ(bytes[28], 9);
}

TEST(SaveFile, RoundTripKeepsEveryBlockInOrder) {
  SaveFile out;
  std::string error;
  ASSERT_TRUE(DecodeSaveFile(EncodeSaveFile(TwoTowers()), kBlock, out, error)) << error;
  EXPECT_EQ(out.blocks, TwoTowers().blocks);
}

TEST(SaveFile, EmptySceneRoundTrips) {
  SaveFile out;
  std::string error;
  ASSERT_TRUE(DecodeSaveFile(EncodeSaveFile(SaveFile{}), kBlock, out, error)) << error;
  EXPECT_TRUE(out.blocks.empty());
}

// Each corruption must be refused with a reason that names what is wrong.
TEST(SaveFile, RefusesCorruptFiles) {
  const std::vector<uint8_t> good = EncodeSaveFile(TwoTowers());
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    uint32_t blockSize;
    const char* reason;
  };
  auto with = [&](auto change) {
    std::vector<uint8_t> b = good;
    change(b);
    return b;
  };
  const Case cases[] = {
      {"empty file", {}, kBlock, "truncated header"},
      {"header cut short", std::vector<uint8_t>(good.begin(), good.begin() + 11), kBlock, "truncated header"},
      {"other magic", with([](auto& b) { b[0] = 'X'; }), kBlock, "magic"},
      {"other version", with([](auto& b) { PutU32At(b, 4, 2); }), kBlock, "version 2"},
      {"size table cut short", std::vector<uint8_t>(good.begin(), good.begin() + 14), kBlock, "size table"},
      {"block size differs from the towers'", good, kBlock + 4, "block 0 has size 8"},
      {"second block size altered", with([](auto& b) { PutU32At(b, 16, 7); }), kBlock, "block 1 has size 7"},
      {"last block cut short", std::vector<uint8_t>(good.begin(), good.end() - 1), kBlock, "truncated"},
      {"trailing bytes", with([](auto& b) { b.push_back(0); }), kBlock, "after the last block"},
      {"absurd tower count", with([](auto& b) { PutU32At(b, 8, 0xFFFFFFFFu); }), kBlock, "exceeds"},
      {"count larger than the file", with([](auto& b) { PutU32At(b, 8, 3); }), kBlock, "block 2 has size"},
  };
  for (const Case& c : cases) {
    SaveFile out;
    out.blocks = {{42}};
    std::string error;
    EXPECT_FALSE(DecodeSaveFile(c.bytes, c.blockSize, out, error)) << c.name;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
    EXPECT_TRUE(out.blocks.empty()) << c.name;
  }
}

TEST(SaveFile, FilesRoundTripAndMissingFileIsAnError) {
  const std::string path = testing::TempDir() + "saveFileTest.sav";
  std::string error;
  const std::vector<uint8_t> bytes = EncodeSaveFile(TwoTowers());
  ASSERT_TRUE(WriteFileBytes(path, bytes, error)) << error;
  std::vector<uint8_t> back;
  ASSERT_TRUE(ReadFileBytes(path, back, error)) << error;
  EXPECT_EQ(back, bytes);
  EXPECT_FALSE(ReadFileBytes(path + ".missing", back, error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);
  EXPECT_FALSE(WriteFileBytes("/nonexistent-dir/x.sav", bytes, error));
}

}  // namespace
}  // namespace towerhost
