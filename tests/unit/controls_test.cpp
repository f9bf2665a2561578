// The keyboard control state driven by hand-made SDL events: steps that go on while a key is held,
// toggles pushed past 1, the c and l resets. No SDL initialisation is needed.
#include "app/controls.h"

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>
#include <vector>

namespace {
// A word of an event script: "s+" presses s, "s-" releases it, "s" taps it, "~" is a mouse motion;
// > < ^ _ are the right, left, up and down arrows, an upper-case letter a shifted key.
std::vector<SDL_Event> events(const std::string& word) {
  SDL_Event e{};
  const size_t arrow = std::string("><^_").find(word[0]);
  const SDLKey arrows[] = {SDLK_RIGHT, SDLK_LEFT, SDLK_UP, SDLK_DOWN};
  e.key.keysym.sym = arrow != std::string::npos ? arrows[arrow] : static_cast<SDLKey>(std::tolower(word[0]));
  e.key.keysym.mod = std::isupper(word[0]) ? KMOD_LSHIFT : KMOD_NONE;
  std::vector<SDL_Event> result;
  for (Uint8 type : {Uint8(SDL_KEYDOWN), Uint8(SDL_KEYUP)}) {
    e.type = e.key.type = word == "~" ? Uint8(SDL_MOUSEMOTION) : type;
    if (word.size() == 1 || word[1] == (type == SDL_KEYDOWN ? '+' : '-')) result.push_back(e);
  }
  if (word == "~") result.pop_back();
  return result;
}
}  // namespace

TEST(Controls, EventScriptsGiveTheExpectedValues) {
  const struct {
    const char* events;
    std::vector<int> values;  // offsets x y z, mode, shadow, cube map, blur, path
  } rows[] = {
      {"> ^ ^ n", {1, 2, -1, 1, 0, 0, 0, 0}},  // a press moves at once, its release adds nothing
      {"< _ m", {-1, -1, 1, 1, 0, 0, 0, 0}},
      {">+ ~ ~ ~ >-", {4, 0, 0, 1, 0, 0, 0, 0}},                // a held key steps on every event of any kind
      {"_+ a+ a- _- ~", {0, -3, 0, 1, 0, 0, 0, 0}},             // an unknown key is still an event
      {">+ <+ >- ~ <- m+ n+ n- m-", {0, 0, 0, 1, 0, 0, 0, 0}},  // the later press wins, either release stops
      {"s t b p", {0, 0, 0, 1, 1, 1, 1, 1}},
      {"s t b p S T B P", {0, 0, 0, 1, 0, 0, 0, 0}},  // tapped twice, shifted or not, a toggle is off again
      {"s+ ~ s- s s", {0, 0, 0, 1, 4, 0, 0, 0}},      // held through an event, a toggle is pushed past on
      {"t t+ ~ t- t t", {0, 0, 0, 1, 0, 1, 0, 0}},    // held while on, it goes below zero and climbs back
      {"> M l ^", {0, 1, 0, -1, 0, 0, 0, 0}},         // l resets the offsets and steers the light
      {"l ^ c", {0, 0, 0, 1, 0, 0, 0, 0}},            // c resets them and steers the camera
      {"c+ ~ c- l+ > l-",
       {1, 0, 0, -3, 0, 0, 0, 0}},  // held, c steers neither; the reset is on the press only
  };
  for (const auto& row : rows) {
    ControlState s;
    s.reset();
    std::istringstream words(row.events);
    for (std::string word; words >> word;)
      for (const SDL_Event& e : events(word)) EXPECT_FALSE(s.apply(e).quit) << "no key quits";
    EXPECT_EQ(std::vector<int>({s.offsetX, s.offsetY, s.offsetZ, s.controlMode, s.shadowSwitch,
                                s.cubeMapSwitch, s.blurSwitch, s.pathSwitch}),
              row.values)
        << row.events;
  }
}
