#include "towerImage.h"

#include <png.h>

#include <algorithm>
#include <cstring>

namespace towerrender {

Image::Image(int w, int h, Rgba fill) : width(w), height(h) {
  rgba.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  for (size_t i = 0; i < rgba.size(); i += 4) {
    rgba[i] = fill.r;
    rgba[i + 1] = fill.g;
    rgba[i + 2] = fill.b;
    rgba[i + 3] = fill.a;
  }
}

Rgba Image::at(int x, int y) const {
  const uint8_t* p = &rgba[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4];
  return {p[0], p[1], p[2], p[3]};
}

void Image::set(int x, int y, Rgba c) {
  uint8_t* p = &rgba[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4];
  p[0] = c.r;
  p[1] = c.g;
  p[2] = c.b;
  p[3] = c.a;
}

bool WritePng(const std::string& path, const Image& image, std::string* error) {
  if (image.width <= 0 || image.height <= 0 ||
      image.rgba.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4) {
    if (error) *error = "cannot write '" + path + "': the picture is empty or malformed";
    return false;
  }
  std::vector<uint8_t> rgb(static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3);
  for (size_t src = 0, dst = 0; src < image.rgba.size(); src += 4, dst += 3) {
    std::memcpy(&rgb[dst], &image.rgba[src], 3);
  }
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGB;
  if (!png_image_write_to_file(&png, path.c_str(), 0, rgb.data(), 0, nullptr)) {
    if (error) *error = "cannot write '" + path + "': " + png.message;
    png_image_free(&png);
    return false;
  }
  return true;
}

bool ReadPng(const std::string& path, Image* image, std::string* error) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    if (error) *error = "cannot read '" + path + "': " + png.message;
    png_image_free(&png);
    return false;
  }
  png.format = PNG_FORMAT_RGBA;
  Image result(static_cast<int>(png.width), static_cast<int>(png.height));
  if (!png_image_finish_read(&png, nullptr, result.rgba.data(), 0, nullptr)) {
    if (error) *error = "cannot read '" + path + "': " + png.message;
    png_image_free(&png);
    return false;
  }
  *image = std::move(result);
  return true;
}

Image ScaleDown(const Image& image, int factor) {
  if (factor <= 1) return image;
  Image out(image.width / factor, image.height / factor);
  const int area = factor * factor;
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      int sum[4] = {0, 0, 0, 0};
      for (int dy = 0; dy < factor; ++dy) {
        for (int dx = 0; dx < factor; ++dx) {
          const Rgba c = image.at(x * factor + dx, y * factor + dy);
          sum[0] += c.r;
          sum[1] += c.g;
          sum[2] += c.b;
          sum[3] += c.a;
        }
      }
      out.set(x, y, {static_cast<uint8_t>((sum[0] + area / 2) / area), static_cast<uint8_t>((sum[1] + area / 2) / area),
                     static_cast<uint8_t>((sum[2] + area / 2) / area), static_cast<uint8_t>((sum[3] + area / 2) / area)});
    }
  }
  return out;
}

Image ContactSheet(std::span<const Image> frames, int columns, int gap, Rgba background) {
  if (frames.empty()) return {};
  columns = std::clamp(columns, 1, static_cast<int>(frames.size()));
  gap = std::max(gap, 0);
  int cellW = 0, cellH = 0;
  for (const Image& f : frames) {
    cellW = std::max(cellW, f.width);
    cellH = std::max(cellH, f.height);
  }
  const int rows = (static_cast<int>(frames.size()) + columns - 1) / columns;
  Image sheet(columns * cellW + (columns + 1) * gap, rows * cellH + (rows + 1) * gap, background);
  for (size_t i = 0; i < frames.size(); ++i) {
    const Image& f = frames[i];
    const int x0 = gap + static_cast<int>(i % static_cast<size_t>(columns)) * (cellW + gap);
    const int y0 = gap + static_cast<int>(i / static_cast<size_t>(columns)) * (cellH + gap);
    for (int y = 0; y < f.height; ++y) {
      std::memcpy(&sheet.rgba[(static_cast<size_t>(y0 + y) * static_cast<size_t>(sheet.width) + static_cast<size_t>(x0)) * 4],
                  &f.rgba[static_cast<size_t>(y) * static_cast<size_t>(f.width) * 4], static_cast<size_t>(f.width) * 4);
    }
  }
  return sheet;
}

}  // namespace towerrender
