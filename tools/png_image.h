// RGB images as the tools write and the golden tests read them: 8 bits a channel, top row first,
// stored as PNG through libpng. Alpha is dropped on writing; the window's alpha says nothing.
#pragma once

#include <string>
#include <vector>

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> pixels;  // width * height * 3 bytes, top row first

  bool empty() const { return width <= 0 || height <= 0; }
  const unsigned char* at(int x, int y) const { return &pixels[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Writes the image; false (with nothing left half-written under `path`) when the file cannot be made.
bool writePng(const std::string& path, const RgbImage& image);
// Reads an 8- or 16-bit PNG of any colour type into RGB; false when the file is missing or not a PNG.
bool readPng(const std::string& path, RgbImage& image);

// The pixels of the current read buffer, converted from GL's bottom-row-first order.
RgbImage readGlPixels(int width, int height);
