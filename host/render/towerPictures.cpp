#include "towerPictures.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace towerrender {
namespace {

constexpr int kMinSide = 16;
constexpr int kMaxSide = 8192;
// Contact-sheet cells are about this wide.
constexpr int kThumbnailWidth = 320;

bool ParseSide(const std::string& text, int* value) {
  if (text.empty() || text.size() > 5) return false;
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < kMinSide || v > kMaxSide) return false;
  *value = v;
  return true;
}

}  // namespace

bool ParseSize(const std::string& text, int* width, int* height, std::string* error) {
  const size_t x = text.find('x');
  int w = 0, h = 0;
  if (x == std::string::npos || !ParseSide(text.substr(0, x), &w) || !ParseSide(text.substr(x + 1), &h)) {
    *error = "a size is WIDTHxHEIGHT, each from " + std::to_string(kMinSide) + " to " + std::to_string(kMaxSide) +
             ", not '" + text + "'";
    return false;
  }
  *width = w;
  *height = h;
  return true;
}

std::unique_ptr<FramePictures> FramePictures::Create(const PictureOptions& options, MeshSource meshes,
                                                     std::string* error) {
  if (options.every < 1) {
    *error = "pictures need a frame interval of at least 1";
    return nullptr;
  }
  std::error_code ec;
  std::filesystem::create_directories(options.dir, ec);
  if (ec || !std::filesystem::is_directory(options.dir, ec)) {
    *error = "cannot create the picture folder " + options.dir + (ec ? ": " + ec.message() : "");
    return nullptr;
  }
  auto renderer = Renderer::Create(options.width, options.height, std::move(meshes), error);
  if (!renderer) return nullptr;
  return std::unique_ptr<FramePictures>(new FramePictures(options, std::move(renderer)));
}

FramePictures::FramePictures(PictureOptions options, std::unique_ptr<Renderer> renderer)
    : options_(std::move(options)), renderer_(std::move(renderer)) {}

void FramePictures::Frame(int frame, std::span<const kivQModelDraw> draws, const Camera& camera) {
  if (failed() || frame < 0 || frame % options_.every != 0) return;
  Image image;
  renderer_->Render(draws, camera, &image);
  char name[32];
  std::snprintf(name, sizeof name, "frame_%05d.png", frame);
  const std::string path = (std::filesystem::path(options_.dir) / name).string();
  if (!WritePng(path, image, &error_)) return;
  written_.push_back(path);
  if (thumbnails_.size() < kSheetFrames) {
    thumbnails_.push_back(ScaleDown(image, std::max(1, options_.width / kThumbnailWidth)));
  }
}

bool FramePictures::Finish() {
  if (thumbnails_.empty()) {
    if (!failed()) error_ = "no frame was written";
    return false;
  }
  const std::string path = (std::filesystem::path(options_.dir) / "contact_sheet.png").string();
  const Image sheet = ContactSheet(thumbnails_, 4, 4, {24, 24, 28, 255});
  std::string error;
  if (!WritePng(path, sheet, &error)) {
    if (!failed()) error_ = error;
    return false;
  }
  sheet_ = path;
  thumbnails_.clear();
  return true;
}

}  // namespace towerrender
