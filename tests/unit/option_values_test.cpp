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

  const std::pair<std::string, const char*> errors[] = {
      {parseKeyTimeline("12:shift", keys), "unknown key 'shift'"},
      {parseKeyTimeline("0:s", keys), "bad key entry '0:s'"},
      {parseKeyTimeline("99999999999:s", keys), "bad key entry"},
      {parseShots("5:../x", shots), "bad shot name '../x'"},
      {parseShots("60,60", shots), "two shots would both write frame-00060.png"},
      {parseAnimation("700-400:a.gif", animation), "bad animation '700-400:a.gif'"},
      {parseAnimation("1-9:../a.gif", animation), "bad animation file '../a.gif'"},
      {parseAnimation("1-9:a.mp3", animation), "bad animation file 'a.mp3'"}};
  for (const auto& [error, start] : errors) EXPECT_EQ(error.rfind(start, 0), 0u) << error;
}
