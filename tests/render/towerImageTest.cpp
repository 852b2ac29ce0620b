// PNG files and contact sheets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TempDir.h"
#include "towerImage.h"

namespace {

using towerrender::Image;
using towerrender::Rgba;

class ImageFiles : public ::testing::Test {
 protected:
  std::string Path(const char* name) const { return temp_.File(name); }
  TempDir temp_;
};

TEST_F(ImageFiles, PngKeepsEveryPixelAndDropsAlpha) {
  Image image(7, 3, {10, 20, 30, 40});
  image.set(0, 0, {255, 0, 0, 0});
  image.set(6, 2, {0, 0, 255, 128});
  std::string error;
  ASSERT_TRUE(towerrender::WritePng(Path("a.png"), image, &error)) << error;
  Image back;
  ASSERT_TRUE(towerrender::ReadPng(Path("a.png"), &back, &error)) << error;
  ASSERT_EQ(back.width, 7);
  ASSERT_EQ(back.height, 3);
  EXPECT_EQ(back.at(0, 0), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(back.at(6, 2), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(back.at(3, 1), (Rgba{10, 20, 30, 255}));
}

TEST_F(ImageFiles, FailuresComeBackAsMessagesNamingTheFile) {
  std::string error;
  EXPECT_FALSE(towerrender::WritePng(Path("missing/dir/a.png"), Image(2, 2), &error));
  EXPECT_THAT(error, testing::HasSubstr("missing/dir/a.png"));

  EXPECT_FALSE(towerrender::WritePng(Path("empty.png"), Image(), &error));
  EXPECT_THAT(error, testing::HasSubstr("empty"));

  std::ofstream(Path("junk.png")) << "not a picture";
  Image ignored;
  EXPECT_FALSE(towerrender::ReadPng(Path("junk.png"), &ignored, &error));
  EXPECT_THAT(error, testing::HasSubstr("junk.png"));
}

TEST(ContactSheet, PlacesFramesInRowsWithGaps) {
  const Rgba bg{1, 2, 3, 255};
  const std::vector<Image> frames = {Image(4, 2, {100, 0, 0, 255}), Image(4, 2, {0, 100, 0, 255}),
                                     Image(2, 1, {0, 0, 100, 255})};
  const Image sheet = towerrender::ContactSheet(frames, 2, 1, bg);
  // Two columns of 4-wide cells and two rows of 2-high cells, 1 pixel apart and around.
  ASSERT_EQ(sheet.width, 2 * 4 + 3);
  ASSERT_EQ(sheet.height, 2 * 2 + 3);
  EXPECT_EQ(sheet.at(0, 0), bg);
  EXPECT_EQ(sheet.at(1, 1), frames[0].at(0, 0));
  EXPECT_EQ(sheet.at(4, 2), frames[0].at(3, 1));
  EXPECT_EQ(sheet.at(5, 1), bg) << "gap between the columns";
  EXPECT_EQ(sheet.at(6, 1), frames[1].at(0, 0));
  EXPECT_EQ(sheet.at(1, 4), frames[2].at(0, 0));
  EXPECT_EQ(sheet.at(3, 4), bg) << "the smaller frame leaves its cell's rest empty";
  EXPECT_EQ(sheet.at(6, 4), bg) << "no fourth frame";

  EXPECT_EQ(towerrender::ContactSheet({}, 3, 2, bg).width, 0);
  EXPECT_EQ(towerrender::ContactSheet(frames, 10, 0, bg).width, 4 + 4 + 4) << "columns beyond the frames are not kept";
}

TEST(ScaleDown, AveragesBlocksAndCutsPartialEdges) {
  Image image(5, 3, {0, 0, 0, 255});
  image.set(0, 0, {200, 100, 0, 255});
  image.set(1, 1, {200, 100, 0, 255});
  const Image half = towerrender::ScaleDown(image, 2);
  ASSERT_EQ(half.width, 2);
  ASSERT_EQ(half.height, 1);
  EXPECT_EQ(half.at(0, 0), (Rgba{100, 50, 0, 255}));
  EXPECT_EQ(half.at(1, 0), (Rgba{0, 0, 0, 255}));
  EXPECT_EQ(towerrender::ScaleDown(image, 1).width, 5);
}

}  // namespace
