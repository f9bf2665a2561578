// The option values the tools read themselves: well-formed ones parsed in frame order, bad ones named
// in the message the tool prints.
#include "option_values.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(OptionValues, ParseWhatIsWellFormedAndNameWhatIsNot) {
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
  for (const char* text : {"0x600", "800", "800y600"}) EXPECT_FALSE(std::istringstream(text) >> size) << text;

  const auto keysError = [&](const char* text) { return parseKeyTimeline(text, keys); };
  const auto shotsError = [&](const char* text) { return parseShots(text, shots); };
  const auto animationError = [&](const char* text) { return parseAnimation(text, animation); };
  const std::pair<std::string, const char*> errors[] = {
      {keysError("12:shift"), "unknown key 'shift'"},
      {keysError("0:s"), "bad key entry '0:s'"},
      {keysError("99999999999:s"), "bad key entry"},
      {shotsError("5:../x"), "bad shot name '../x'"},
      {shotsError("60,60"), "two shots would both write frame-00060.png"},
      {animationError("700-400:a.gif"), "bad animation '700-400:a.gif'"},
      {animationError("1-9:../a.gif"), "bad animation file '../a.gif'"},
      {animationError("1-9:a.mp3"), "bad animation file 'a.mp3'"}};
  for (const auto& [error, start] : errors) EXPECT_EQ(error.rfind(start, 0), 0u) << error;
}
