// towerhost --png run as a program: pictures written, and the scene going on without them
// when no GL context can be had.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "towerImage.h"

namespace fs = std::filesystem;

namespace {

class TowerhostPictures : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(testing::TempDir()) /
           ("towerhost-png-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs towerhost with `env` before it on the shell line; returns the exit status and
  // fills *output with standard output and error.
  int Run(const std::string& args, std::string* output, const std::string& env = {}) {
    const fs::path out = dir_ / "output.txt";
    const std::string command = env + " " + TOWERHOST_RUNNER + " '" + TOWERHOST_PROGRAM + "' --out '" + (dir_ / "out").string() + "' " +
                                args + " > '" + out.string() + "' 2>&1 < /dev/null";
    const int raw = std::system(command.c_str());
    std::stringstream text;
    text << std::ifstream(out).rdbuf();
    *output = text.str();
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  }
  std::string Pictures() const { return (dir_ / "pictures").string(); }

  fs::path dir_;
};

TEST_F(TowerhostPictures, WritesTheChosenFramesAndSaysWhere) {
  std::string output;
  ASSERT_EQ(Run("--towers 2 --frames 20 --png '" + Pictures() + "' --png-every 6 --size 160x90", &output), 0)
      << output;
  EXPECT_THAT(output, testing::HasSubstr("pictures: 4 frames written to " + Pictures()));
  EXPECT_THAT(output, testing::HasSubstr("contact sheet " + Pictures() + "/contact_sheet.png"));
  for (const char* name : {"frame_00000.png", "frame_00006.png", "frame_00012.png", "frame_00018.png"}) {
    towerrender::Image image;
    std::string error;
    ASSERT_TRUE(towerrender::ReadPng(Pictures() + "/" + name, &image, &error)) << error;
    EXPECT_EQ(image.width, 160);
    EXPECT_EQ(image.height, 90);
  }
  EXPECT_FALSE(fs::exists(Pictures() + "/frame_00003.png"));
  EXPECT_TRUE(fs::exists(Pictures() + "/contact_sheet.png"));
}

TEST_F(TowerhostPictures, WithoutAGlContextTheSceneRunsOnAndTheRunFails) {
  std::string output;
  const int status = Run("--towers 2 --frames 10 --png '" + Pictures() + "'", &output,
                         "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/egl_vendor.json");
  EXPECT_EQ(status, 1) << output;
  EXPECT_THAT(output, testing::HasSubstr("--png: no pictures, the scene runs without them"));
  EXPECT_THAT(output, testing::HasSubstr("surfaceless"));
  EXPECT_THAT(output, testing::HasSubstr("saved 2 towers")) << "the scene ran to its end";
  EXPECT_FALSE(fs::exists(Pictures() + "/frame_00000.png"));
}

TEST_F(TowerhostPictures, RefusesMalformedPictureOptions) {
  struct Case {
    const char* args;
    const char* message;
  };
  for (const Case& c : {Case{"--png", "--png needs a value"}, Case{"--png-every 0", "--png-every needs"},
                        Case{"--size 640by360", "--size: a size is WIDTHxHEIGHT"},
                        Case{"--size 8x8", "--size: a size is WIDTHxHEIGHT"}}) {
    std::string output;
    EXPECT_EQ(Run(c.args, &output), 2) << c.args;
    EXPECT_THAT(output, testing::HasSubstr(c.message)) << c.args;
  }
}

}  // namespace
