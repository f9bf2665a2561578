// The capture and benchmark tools' command-line values, key presses into the demo, percentiles and
// PNG files: the parts of the tools that need no window.
#include "tool_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "app/demo_app.h"
#include "png_image.h"

TEST(KeyTimeline, OrdersByFrameAndKeepsSameFramePressesInWrittenOrder) {
  std::vector<TimedKey> keys;
  std::string error;
  ASSERT_TRUE(parseKeyTimeline("240:t,120:s,120:left,360:b", keys, error)) << error;
  ASSERT_EQ(keys.size(), 4u);
  EXPECT_EQ(keys[0].frame, 120);
  EXPECT_EQ(keys[0].key, SDLK_s);
  EXPECT_EQ(keys[1].frame, 120);
  EXPECT_EQ(keys[1].key, SDLK_LEFT);
  EXPECT_EQ(keys[2].key, SDLK_t);
  EXPECT_EQ(keys[3].key, SDLK_b);
  EXPECT_TRUE(parseKeyTimeline("", keys, error));
  EXPECT_TRUE(keys.empty());
}

TEST(KeyTimeline, NamesEveryKeyTheDemoReads) {
  const struct {
    const char* name;
    SDLKey key;
  } expected[] = {{"right", SDLK_RIGHT}, {"left", SDLK_LEFT}, {"up", SDLK_UP}, {"down", SDLK_DOWN},
                  {"m", SDLK_m},         {"n", SDLK_n},       {"c", SDLK_c},   {"l", SDLK_l},
                  {"s", SDLK_s},         {"t", SDLK_t},       {"b", SDLK_b},   {"p", SDLK_p}};
  for (const auto& e : expected) {
    SDLKey key = SDLK_UNKNOWN;
    EXPECT_TRUE(keyFromName(e.name, key)) << e.name;
    EXPECT_EQ(key, e.key) << e.name;
  }
}

TEST(KeyTimeline, RejectsMalformedEntriesWithAMessage) {
  std::vector<TimedKey> keys;
  for (const char* bad : {"0:s", "s", "12", "12:", "12:shift", "-3:s", "1x:s", "99999999999:s"}) {
    std::string error;
    EXPECT_FALSE(parseKeyTimeline(bad, keys, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(ShotList, NamesDefaultToTheFrameAndStayInsideTheOutputDirectory) {
  std::vector<Shot> shots;
  std::string error;
  ASSERT_TRUE(parseShots("300:blur-on,60", shots, error)) << error;
  ASSERT_EQ(shots.size(), 2u);
  EXPECT_EQ(shots[0].frame, 60);
  EXPECT_EQ(shots[0].name, "frame-00060");
  EXPECT_EQ(shots[1].name, "blur-on");
  for (const char* bad : {"5:../x", "5:a/b", "5:", "0", "5:a,6:a", "60,60"}) {
    error.clear();
    EXPECT_FALSE(parseShots(bad, shots, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(WindowSize, AcceptsOnlyPositiveWidthByHeight) {
  int w = 0, h = 0;
  EXPECT_TRUE(parseSize("800x600", w, h));
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  for (const char* bad : {"0x600", "800", "800x", "x600", "800x600x2", "axb", "-800x600"})
    EXPECT_FALSE(parseSize(bad, w, h)) << bad;
}

TEST(KeyPresses, ReachTheSwitchesThroughTheDemosOwnEventHandling) {
  DemoApp app;
  app.controls.reset();
  setSwitches(app, true, false, true);
  EXPECT_EQ(app.controls.shadowSwitch, 1);
  EXPECT_EQ(app.controls.cubeMapSwitch, 0);
  EXPECT_EQ(app.controls.blurSwitch, 1);
  setSwitches(app, false, true, false);
  EXPECT_EQ(app.controls.shadowSwitch, 0);
  EXPECT_EQ(app.controls.cubeMapSwitch, 1);
  EXPECT_EQ(app.controls.blurSwitch, 0);
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
  std::vector<double> one = {7.5};
  EXPECT_EQ(percentile(one, 0.99), 7.5);
  std::vector<double> none;
  EXPECT_EQ(percentile(none, 0.5), 0.0);
}

TEST(PngFiles, RoundTripExactlyAndFailWithoutLeavingAPartialFile) {
  char dir[] = "/tmp/lumarok-png-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  RgbImage image;
  image.width = 3;
  image.height = 2;
  for (int i = 0; i < 18; ++i) image.pixels.push_back(static_cast<unsigned char>(i * 14));
  std::string path = std::string(dir) + "/a.png";
  ASSERT_TRUE(writePng(path, image));
  RgbImage back;
  ASSERT_TRUE(readPng(path, back));
  EXPECT_EQ(back.width, 3);
  EXPECT_EQ(back.height, 2);
  EXPECT_EQ(back.pixels, image.pixels);
  EXPECT_EQ(back.at(2, 1)[2], 17 * 14);

  std::string missingDir = std::string(dir) + "/missing/b.png";
  EXPECT_FALSE(writePng(missingDir, image));
  EXPECT_FALSE(readPng(missingDir, back));
  RgbImage wrongSize = image;
  wrongSize.pixels.pop_back();
  EXPECT_FALSE(writePng(std::string(dir) + "/c.png", wrongSize));
  EXPECT_NE(access((std::string(dir) + "/c.png").c_str(), F_OK), 0);
  std::remove(path.c_str());
  rmdir(dir);
}
