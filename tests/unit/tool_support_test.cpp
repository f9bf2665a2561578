// The capture and benchmark tools' command-line values, key presses into the demo, percentiles and
// PNG files: the parts of the tools that need no window.
#include "tool_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "app/demo_app.h"
#include "png_image.h"

TEST(ToolArguments, KeyTimelineOrdersByFrameKeepsSameFramePressesInOrderAndNamesEveryKey) {
  std::vector<TimedKey> keys;
  std::string error;
  ASSERT_TRUE(parseKeyTimeline("240:t,120:s,120:left,360:b", keys, error)) << error;
  ASSERT_EQ(keys.size(), 4u);
  const std::pair<int, SDLKey> expected[] = {{120, SDLK_s}, {120, SDLK_LEFT}, {240, SDLK_t}, {360, SDLK_b}};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(std::make_pair(keys[i].frame, keys[i].key), expected[i]) << i;
  EXPECT_TRUE(parseKeyTimeline("", keys, error));
  EXPECT_TRUE(keys.empty());
  const std::pair<const char*, SDLKey> names[] = {{"right", SDLK_RIGHT}, {"left", SDLK_LEFT}, {"up", SDLK_UP},
                                                  {"down", SDLK_DOWN},   {"m", SDLK_m},       {"n", SDLK_n},
                                                  {"c", SDLK_c},         {"l", SDLK_l},       {"s", SDLK_s},
                                                  {"t", SDLK_t},         {"b", SDLK_b},       {"p", SDLK_p}};
  for (const auto& name : names) {
    SDLKey key = SDLK_UNKNOWN;
    EXPECT_TRUE(keyFromName(name.first, key) && key == name.second) << name.first;
  }
}

TEST(ToolArguments, ShotNamesDefaultToTheFrameAndStayInsideTheOutputDirectory) {
  std::vector<Shot> shots;
  std::string error;
  ASSERT_TRUE(parseShots("300:blur-on,60", shots, error)) << error;
  ASSERT_EQ(shots.size(), 2u);
  EXPECT_EQ(shots[0].frame, 60);
  EXPECT_EQ(shots[0].name, "frame-00060");
  EXPECT_EQ(shots[1].name, "blur-on");
}

TEST(ToolArguments, MalformedValuesAreRejectedWithAMessage) {
  std::vector<TimedKey> keys;
  std::vector<Shot> shots;
  for (const char* bad : {"0:s", "s", "12", "12:", "12:shift", "-3:s", "1x:s", "99999999999:s"}) {
    std::string error;
    EXPECT_FALSE(parseKeyTimeline(bad, keys, error) || error.empty()) << bad;
  }
  for (const char* bad : {"5:../x", "5:a/b", "5:", "0", "5:a,6:a", "60,60"}) {
    std::string error;
    EXPECT_FALSE(parseShots(bad, shots, error) || error.empty()) << bad;
  }
  int w = 0, h = 0;
  EXPECT_TRUE(parseSize("800x600", w, h) && w == 800 && h == 600);
  for (const char* bad : {"0x600", "800", "800x", "x600", "800x600x2", "axb", "-800x600"})
    EXPECT_FALSE(parseSize(bad, w, h)) << bad;
}

TEST(KeyPresses, ReachTheSwitchesThroughTheDemosOwnEventHandling) {
  DemoApp app;
  app.controls.reset();
  setSwitches(app, true, false, true);
  EXPECT_EQ(
      std::vector<int>({app.controls.shadowSwitch, app.controls.cubeMapSwitch, app.controls.blurSwitch}),
      std::vector<int>({1, 0, 1}));
  setSwitches(app, false, true, false);
  EXPECT_EQ(
      std::vector<int>({app.controls.shadowSwitch, app.controls.cubeMapSwitch, app.controls.blurSwitch}),
      std::vector<int>({0, 1, 0}));
  // A press is always followed by its release: no step is left behind to act on later events.
  pressKey(app, SDLK_RIGHT);
  EXPECT_EQ(app.controls.offsetX, 1);
  EXPECT_EQ(app.controls.stepX, 0);
}

TEST(Percentile, UsesTheNearestRank) {
  std::vector<double> samples;
  for (int i = 100; i >= 1; --i) samples.push_back(i);
  EXPECT_EQ(percentile(samples, 0.50), 50);
  EXPECT_EQ(percentile(samples, 0.95), 95);
  EXPECT_EQ(percentile(samples, 0.99), 99);
  std::vector<double> one = {7.5}, none;
  EXPECT_EQ(percentile(one, 0.99), 7.5);
  EXPECT_EQ(percentile(none, 0.5), 0.0);
}

TEST(PngFiles, RoundTripExactlyAndFailWithoutLeavingAPartialFile) {
  char dir[] = "/tmp/lumarok-png-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  RgbImage image, back;
  image.width = 3;
  image.height = 2;
  for (int i = 0; i < 18; ++i) image.pixels.push_back(static_cast<unsigned char>(i * 14));
  const std::string path = std::string(dir) + "/a.png", partial = std::string(dir) + "/c.png";
  ASSERT_TRUE(writePng(path, image));
  ASSERT_TRUE(readPng(path, back));
  EXPECT_EQ(back.width, 3);
  EXPECT_EQ(back.height, 2);
  EXPECT_EQ(back.pixels, image.pixels);
  EXPECT_EQ(back.at(2, 1)[2], 17 * 14);
  EXPECT_FALSE(writePng(std::string(dir) + "/missing/b.png", image));
  EXPECT_FALSE(readPng(std::string(dir) + "/missing/b.png", back));
  image.pixels.pop_back();
  EXPECT_FALSE(writePng(partial, image));
  EXPECT_NE(access(partial.c_str(), F_OK), 0);
  std::remove(path.c_str());
  rmdir(dir);
}
