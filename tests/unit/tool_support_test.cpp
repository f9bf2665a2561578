// The parts of the tools that need no window: the values they parse themselves, key presses into the
// demo, the progress line and PNG files.
#include "tool_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "app/demo_app.h"
#include "png_image.h"

TEST(ToolValues, ParseWhatIsWellFormedAndNameWhatIsNot) {
  std::vector<TimedKey> keys;
  ASSERT_EQ(parseKeyTimeline("240:t,120:s,120:left,360:9", keys), "");
  const std::pair<int, SDLKey> expected[] = {{120, SDLK_s}, {120, SDLK_LEFT}, {240, SDLK_t}, {360, SDLK_9}};
  ASSERT_EQ(keys.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(std::make_pair(keys[i].frame, keys[i].key), expected[i]) << i;
  std::vector<Shot> shots;
  ASSERT_EQ(parseShots("300:blur-on,60", shots), "");
  EXPECT_EQ(std::to_string(shots[0].frame) + shots[0].name + shots[1].name, "60frame-00060blur-on");
  Animation animation;
  ASSERT_EQ(parseAnimation("400-700:bounce.gif", animation), "");
  EXPECT_EQ(std::to_string(animation.first) + "-" + std::to_string(animation.last) + animation.file,
            "400-700bounce.gif");
  WindowSize size;
  std::istringstream("800x600") >> size;
  EXPECT_EQ(std::make_pair(size.width, size.height), std::make_pair(800, 600));
  for (const char* text : {"0x600", "800", "800y600", "-800x600"})
    EXPECT_FALSE(std::istringstream(text) >> size) << text;

  const auto keysError = [&](const char* text) { return parseKeyTimeline(text, keys); };
  const auto shotsError = [&](const char* text) { return parseShots(text, shots); };
  const auto animationError = [&](const char* text) { return parseAnimation(text, animation); };
  const std::pair<std::string, const char*> errors[] = {
      {keysError("12:shift"), "unknown key 'shift'"},
      {keysError("0:s"), "bad key entry '0:s'"},
      {keysError("99999999999:s"), "bad key entry"},
      {shotsError("5:../x"), "bad shot name '../x'"},
      {shotsError("60,60"), "two shots would both write frame-00060.png"},
      {shotsError("x:a"), "bad shot 'x:a'"},
      {animationError("700-400:a.gif"), "bad animation '700-400:a.gif'"},
      {animationError("1-9:../a.gif"), "bad animation file '../a.gif'"},
      {animationError("1-9:a.mp3"), "bad animation file 'a.mp3'"}};
  for (const auto& [error, start] : errors) EXPECT_EQ(error.rfind(start, 0), 0u) << error;
}

TEST(KeyPresses, ReachTheSwitchesThroughTheDemosOwnEventHandling) {
  DemoApp app;
  app.controls.reset();
  const auto switches = [&] {
    return std::vector<int>{app.controls.shadowSwitch, app.controls.cubeMapSwitch, app.controls.blurSwitch};
  };
  setSwitches(app, true, false, true);
  EXPECT_EQ(switches(), std::vector<int>({1, 0, 1}));
  setSwitches(app, false, true, false);
  EXPECT_EQ(switches(), std::vector<int>({0, 1, 0}));
  // A press is always followed by its release: no step is left behind to act on later events.
  pressKey(app, SDLK_RIGHT);
  EXPECT_EQ(app.controls.offsetX, 1);
  EXPECT_EQ(app.controls.stepX, 0);
}

TEST(Progress, RewritesOneLineOnATerminalAndWritesSparsePlainLinesElsewhere) {
  const long long second = 1000000000LL;
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  Progress progress;
  progress.begin(file, 0);  // a file: plain lines
  for (long long t = 0; t <= 7 * second; t += second / 10)
    if (progress.due(t)) progress.show(t, "frame " + std::to_string(t / (second / 10)));
  progress.terminal = true;
  if (progress.due(8 * second)) progress.show(8 * second, "frame 80");
  progress.clear();
  std::rewind(file);
  char text[256] = {};
  text[std::fread(text, 1, sizeof text - 1, file)] = '\0';
  EXPECT_STREQ(text, "frame 30, 3 s\nframe 60, 6 s\n\rframe 80, 8 s\033[K\r\033[K");
  std::fclose(file);
}

TEST(PngFiles, RoundTripExactlyAndFailWithoutLeavingAPartialFile) {
  const std::string path = (std::filesystem::temp_directory_path() / "lumarok-png-test.png").string();
  RgbImage image{3, 2, {}}, back;
  for (int i = 0; i < 18; ++i) image.pixels.push_back(static_cast<unsigned char>(i * 14));
  // Written over an earlier picture, as a second capture into the same folder does.
  ASSERT_TRUE(writePng(path, RgbImage{1, 1, {9, 9, 9}}) && writePng(path, image) && readPng(path, back));
  EXPECT_EQ(std::make_tuple(back.width, back.height, back.pixels), std::make_tuple(3, 2, image.pixels));
  std::filesystem::remove(path);
  image.pixels.pop_back();  // one byte short: nothing may be written
  EXPECT_FALSE(writePng(path, image) || std::filesystem::exists(path) ||
               std::filesystem::exists(path + ".part"));
  EXPECT_FALSE(readPng(path, back));
}
