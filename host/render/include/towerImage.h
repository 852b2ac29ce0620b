// RGBA pictures in memory, their PNG files and contact sheets.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace towerrender {

struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Rgba&) const = default;
};

// Eight-bit RGBA pixels, row after row, top row first.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;

  Image() = default;
  Image(int w, int h, Rgba fill = {});
  Rgba at(int x, int y) const;
  void set(int x, int y, Rgba c);
};

// Writes the picture as an 8-bit RGB PNG (alpha dropped). False with a message on failure.
bool WritePng(const std::string& path, const Image& image, std::string* error);
// Reads an 8-bit RGB or RGBA PNG back (as RGBA); for checks of written files.
bool ReadPng(const std::string& path, Image* image, std::string* error);

// Averages factor x factor blocks; edges that do not fill a block are cut off.
Image ScaleDown(const Image& image, int factor);

// Places the frames left to right in rows of `columns`, `gap` pixels apart and around,
// on the background colour. Frames may differ in size; each cell is as large as the
// largest frame.
Image ContactSheet(std::span<const Image> frames, int columns, int gap, Rgba background);

}  // namespace towerrender
