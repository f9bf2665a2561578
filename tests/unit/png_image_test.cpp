// PNG files as the capture tool writes them and the golden tests read them.
#include "png_image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

TEST(PngFiles, RoundTripExactlyAndFailWithoutLeavingAPartialFile) {
  const std::string path = std::filesystem::temp_directory_path() / "lumarok-png-test.png";
  RgbImage image{3, 2, {}}, back;
  for (int i = 0; i < 18; ++i) image.pixels.push_back(static_cast<unsigned char>(i * 14));
  ASSERT_TRUE(writePng(path, image) && readPng(path, back));
  EXPECT_EQ(std::make_tuple(back.width, back.height, back.pixels), std::make_tuple(3, 2, image.pixels));
  std::filesystem::remove(path);
  image.pixels.pop_back();  // one byte short: nothing may be written
  EXPECT_FALSE(writePng(path, image) || std::filesystem::exists(path) ||
               std::filesystem::exists(path + ".part"));
  EXPECT_FALSE(readPng(path, back));
}
