// The host's pictures: chosen frames of a run written as PNG files, and a contact sheet
// of them at the end.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "towerRender.h"

namespace towerrender {

struct PictureOptions {
  std::string dir;  // where the files go; created when missing
  int every = 30;   // every Nth frame, starting with frame 0
  int width = 640;
  int height = 360;
};

// "WxH", each side a whole number from 16 to 8192. False with a reason otherwise.
bool ParseSize(const std::string& text, int* width, int* height, std::string* error);

class FramePictures {
 public:
  // Makes the folder and the renderer. Null with a reason when either cannot be had.
  static std::unique_ptr<FramePictures> Create(const PictureOptions& options, MeshSource meshes,
                                               std::string* error);

  // Renders and writes the frame when it is one of the chosen ones. After a failed write
  // the pictures stop (failed() is true, error() says why) and later frames are ignored.
  void Frame(int frame, std::span<const kivQModelDraw> draws, const Camera& camera);
  // Writes the contact sheet of the frames written; false when nothing could be written.
  bool Finish();

  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }
  const std::vector<std::string>& written() const { return written_; }
  const std::string& sheet() const { return sheet_; }
  const Renderer& renderer() const { return *renderer_; }

  // Frames the contact sheet shows at most: the first ones written.
  static constexpr size_t kSheetFrames = 16;

 private:
  FramePictures(PictureOptions options, std::unique_ptr<Renderer> renderer);

  PictureOptions options_;
  std::unique_ptr<Renderer> renderer_;
  std::vector<Image> thumbnails_;
  std::vector<std::string> written_;
  std::string sheet_;
  std::string error_;
};

}  // namespace towerrender
