// The host's chosen frames and contact sheet on disk.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TempDir.h"
#include "towerPictures.h"

namespace {

namespace fs = std::filesystem;
using towerrender::FramePictures;
using towerrender::PictureOptions;

TEST(PictureSize, AcceptsWidthByHeightWithinLimits) {
  struct Case {
    const char* text;
    bool ok;
    int w, h;
  };
  const Case cases[] = {{"640x360", true, 640, 360}, {"16x16", true, 16, 16},   {"8192x8192", true, 8192, 8192},
                        {"15x100", false, 0, 0},     {"100x8193", false, 0, 0}, {"640", false, 0, 0},
                        {"640x", false, 0, 0},       {"x360", false, 0, 0},     {"-640x360", false, 0, 0},
                        {"640X360", false, 0, 0},    {"64 0x360", false, 0, 0}, {"99999999999x1", false, 0, 0},
                        {"640x360x2", false, 0, 0}};
  for (const Case& c : cases) {
    int w = 0, h = 0;
    std::string error;
    EXPECT_EQ(towerrender::ParseSize(c.text, &w, &h, &error), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(w, c.w);
      EXPECT_EQ(h, c.h);
    } else {
      EXPECT_THAT(error, testing::HasSubstr(c.text));
    }
  }
}

class PictureFolder : public ::testing::Test {
 protected:
  PictureOptions Options(int every) const {
    PictureOptions o;
    o.dir = (dir_ / "pictures").string();
    o.every = every;
    o.width = 96;
    o.height = 54;
    return o;
  }
  TempDir temp_;
  const fs::path dir_ = temp_.Path();
};

TEST_F(PictureFolder, WritesEveryNthFrameAndASheetOfThem) {
  std::string error;
  auto pictures = FramePictures::Create(Options(3), nullptr, &error);
  ASSERT_NE(pictures, nullptr) << error;
  for (int f = 0; f < 8; ++f) pictures->Frame(f, {}, towerrender::Camera{});
  ASSERT_TRUE(pictures->Finish()) << pictures->error();
  EXPECT_FALSE(pictures->failed());
  const fs::path p = dir_ / "pictures";
  EXPECT_THAT(pictures->written(), testing::ElementsAre((p / "frame_00000.png").string(), (p / "frame_00003.png").string(),
                                                        (p / "frame_00006.png").string()));
  towerrender::Image image;
  ASSERT_TRUE(towerrender::ReadPng(pictures->written()[1], &image, &error)) << error;
  EXPECT_EQ(image.width, 96);
  EXPECT_EQ(image.height, 54);
  EXPECT_EQ(pictures->sheet(), (p / "contact_sheet.png").string());
  ASSERT_TRUE(towerrender::ReadPng(pictures->sheet(), &image, &error)) << error;
  EXPECT_EQ(image.width, 3 * 96 + 4 * 4) << "three frames side by side, 4 pixels apart";
  EXPECT_EQ(image.height, 54 + 2 * 4);
}

TEST_F(PictureFolder, FolderThatCannotBeMadeIsRefused) {
  fs::create_directories(dir_);
  std::ofstream(dir_ / "pictures") << "a file where the folder should be";
  std::string error;
  EXPECT_EQ(FramePictures::Create(Options(1), nullptr, &error), nullptr);
  EXPECT_THAT(error, testing::HasSubstr("picture folder"));
  EXPECT_EQ(FramePictures::Create(Options(0), nullptr, &error), nullptr);
  EXPECT_THAT(error, testing::HasSubstr("interval"));
}

TEST_F(PictureFolder, FailedWriteStopsThePicturesWithItsReason) {
  std::string error;
  auto pictures = FramePictures::Create(Options(1), nullptr, &error);
  ASSERT_NE(pictures, nullptr) << error;
  pictures->Frame(0, {}, towerrender::Camera{});
  fs::remove_all(dir_ / "pictures");
  pictures->Frame(1, {}, towerrender::Camera{});
  EXPECT_TRUE(pictures->failed());
  EXPECT_THAT(pictures->error(), testing::HasSubstr("frame_00001.png"));
  fs::create_directories(dir_ / "pictures");
  pictures->Frame(2, {}, towerrender::Camera{});
  EXPECT_EQ(pictures->written().size(), 1u) << "no frames after a failure";
  EXPECT_TRUE(pictures->Finish()) << "the sheet still shows what was written";
  EXPECT_TRUE(pictures->failed());
}

TEST_F(PictureFolder, NothingWrittenMeansNoSheet) {
  std::string error;
  auto pictures = FramePictures::Create(Options(5), nullptr, &error);
  ASSERT_NE(pictures, nullptr) << error;
  pictures->Frame(3, {}, towerrender::Camera{});
  EXPECT_FALSE(pictures->Finish());
  EXPECT_THAT(pictures->error(), testing::HasSubstr("no frame"));
  EXPECT_FALSE(fs::exists(dir_ / "pictures" / "contact_sheet.png"));
}

}  // namespace
