// A real GL context for tests: a small SDL window on the current X display (Mesa llvmpipe under
// Xvfb in the suite), torn down after each test.
#pragma once

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <vector>

class GlContextTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 256;
  static constexpr int kHeight = 192;
  void SetUp() override;
  void TearDown() override;

  // RGBA pixels of the current read framebuffer, bottom row first.
  std::vector<unsigned char> readPixels(int x, int y, int width, int height);
};
