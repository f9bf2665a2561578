// PNG files through libpng's simplified API, which does the colour conversions on reading.
#include "png_image.h"

#include <GL/glew.h>
#include <png.h>

#include <algorithm>
#include <cstdio>

bool writePng(const std::string& path, const RgbImage& image) {
  if (image.empty() || image.pixels.size() != static_cast<size_t>(image.width) * image.height * 3)
    return false;
  // Write beside the target and rename, so a failed write never leaves a truncated picture behind.
  std::string temporary = path + ".part";
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGB;
  bool written = png_image_write_to_file(&png, temporary.c_str(), 0, image.pixels.data(), 0, nullptr) != 0;
  png_image_free(&png);
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

bool readPng(const std::string& path, RgbImage& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
  png.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(png));
  // Frees what the read took, whether it succeeds or not.
  if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) return false;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.pixels = std::move(pixels);
  return true;
}

RgbImage readGlPixels(int width, int height) {
  RgbImage image{width, height, std::vector<unsigned char>(static_cast<size_t>(width) * height * 3)};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, image.pixels.data());
  const size_t stride = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height / 2; ++y)  // GL's rows run bottom up
    std::swap_ranges(&image.pixels[y * stride], &image.pixels[(y + 1) * stride],
                     &image.pixels[(height - 1 - y) * stride]);
  return image;
}
