// The parts of the tools that need no window: the values they parse themselves, key presses into the
// demo, percentiles, the progress line and PNG files.
#include "tool_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "app/demo_app.h"
#include "png_image.h"

TEST(ToolValues, ParseWhatIsWellFormedAndNameWhatIsNot) {
  using Keys = std::vector<std::pair<int, SDLKey>>;
  const struct {
    const char* text;
    Keys keys;
    const char* error;
  } keyRows[] = {
      {"240:t,120:s,120:left,360:b", {{120, SDLK_s}, {120, SDLK_LEFT}, {240, SDLK_t}, {360, SDLK_b}}, ""},
      {"", {}, ""},
      {"1:9,2:return,3:m", {{1, SDLK_9}, {2, SDLK_RETURN}, {3, SDLK_m}}, ""},
      {"12:shift", {}, "unknown key 'shift'"},
      {"0:s", {}, "bad key entry"},
      {"s", {}, "bad key entry"},
      {"99999999999:s", {}, "bad key entry"}};
  for (const auto& row : keyRows) {
    std::vector<TimedKey> keys;
    const std::string error = parseKeyTimeline(row.text, keys);
    Keys parsed;
    for (const TimedKey& k : keys) parsed.push_back({k.frame, k.key});
    EXPECT_EQ(error.rfind(row.error, 0), 0u) << row.text << ": " << error;
    EXPECT_EQ(parsed, row.keys) << row.text;
  }
  // The rest give "frame:name" per entry, or the start of the error message.
  struct Row {
    const char* text;
    const char* parsed;
  };
  const Row shotRows[] = {{"300:blur-on,60", "60:frame-00060,300:blur-on"},
                          {"5:../x", "bad shot name '../x'"},
                          {"5:", "bad shot name ''"},
                          {"60,60", "two shots would both write frame-00060.png"},
                          {"x:a", "bad shot 'x:a'"}};
  for (const Row& row : shotRows) {
    std::vector<Shot> shots;
    std::string result = parseShots(row.text, shots);
    for (const Shot& shot : shots)
      result += (result.empty() ? "" : ",") + std::to_string(shot.frame) + ":" + shot.name;
    EXPECT_EQ(result.rfind(row.parsed, 0), 0u) << row.text << " gave " << result;
  }
  const Row animationRows[] = {{"400-700:bounce.gif", "400:700:bounce.gif"},
                               {"5-5:a.webm", "5:5:a.webm"},
                               {"700-400:a.gif", "bad animation"},
                               {"1-9:../a.gif", "bad animation file"},
                               {"1-9:a", "bad animation file"},
                               {"1-9", "bad animation"}};
  for (const Row& row : animationRows) {
    Animation a;
    std::string result = parseAnimation(row.text, a);
    if (result.empty()) result = std::to_string(a.first) + ":" + std::to_string(a.last) + ":" + a.file;
    EXPECT_EQ(result.rfind(row.parsed, 0), 0u) << row.text << " gave " << result;
  }
  for (const char* bad : {"0x600", "800", "800x", "800y600", "-800x600"}) {
    WindowSize size;
    std::istringstream in(bad);
    EXPECT_FALSE(in >> size) << bad;
  }
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
  std::vector<double> samples, none;
  for (int i = 100; i >= 1; --i) samples.push_back(i);
  EXPECT_EQ(percentile(samples, 0.50), 50);
  EXPECT_EQ(percentile(samples, 0.99), 99);
  EXPECT_EQ(percentile(none, 0.5), 0.0);
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
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "lumarok-png-test";
  std::filesystem::create_directories(dir);
  RgbImage image, back;
  image.width = 3;
  image.height = 2;
  for (int i = 0; i < 18; ++i) image.pixels.push_back(static_cast<unsigned char>(i * 14));
  ASSERT_TRUE(writePng(dir / "a.png", image));
  ASSERT_TRUE(readPng(dir / "a.png", back));
  EXPECT_EQ(std::make_pair(back.width, back.height), std::make_pair(3, 2));
  EXPECT_EQ(back.pixels, image.pixels);
  EXPECT_FALSE(writePng(dir / "missing" / "b.png", image));
  EXPECT_FALSE(readPng(dir / "missing" / "b.png", back));
  image.pixels.pop_back();
  EXPECT_FALSE(writePng(dir / "c.png", image));
  EXPECT_FALSE(std::filesystem::exists(dir / "c.png.part") || std::filesystem::exists(dir / "c.png"));
  std::filesystem::remove_all(dir);
}
