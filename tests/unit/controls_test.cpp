// The keyboard control state driven by hand-made SDL events: steps that keep stepping while a key
// is held, toggles pushed past 1, the c/l/s resets and quitting. No SDL initialisation is needed.
#include "app/controls.h"

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>

#include "app/demo_app.h"

namespace {
SDL_Event event(Uint8 type, SDLKey sym = SDLK_UNKNOWN, int mod = KMOD_NONE) {
  SDL_Event e{};
  e.type = e.key.type = type;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = sym;
  e.key.keysym.mod = static_cast<SDLMod>(mod);
  return e;
}
SDL_Event down(SDLKey sym, int mod = KMOD_NONE) { return event(SDL_KEYDOWN, sym, mod); }
SDL_Event up(SDLKey sym, int mod = KMOD_NONE) { return event(SDL_KEYUP, sym, mod); }
const SDL_Event kMotion = event(SDL_MOUSEMOTION), kQuit = event(SDL_QUIT);

// The eight values, for comparing whole states.
std::vector<int> values(const ControlState& s) {
  return {s.offsetX,      s.offsetY,       s.offsetZ,    s.controlMode,
          s.shadowSwitch, s.cubeMapSwitch, s.blurSwitch, s.pathSwitch};
}

ControlState::Effect applyAll(ControlState& state, const std::vector<SDL_Event>& events) {
  ControlState::Effect last;
  for (const SDL_Event& e : events) last = state.apply(e);
  return last;
}

// A compact event script: "s+" presses s, "s-" releases it, "s" taps it, "~" is a mouse motion;
// > < ^ _ are the right, left, up and down arrows, an upper-case letter a shifted key.
std::vector<SDL_Event> script(const std::string& text) {
  std::vector<SDL_Event> events;
  std::istringstream words(text);
  for (std::string w; words >> w;) {
    if (w == "~") {
      events.push_back(kMotion);
      continue;
    }
    const char c = w[0];
    const std::string arrows = "><^_";
    const SDLKey arrowKeys[] = {SDLK_RIGHT, SDLK_LEFT, SDLK_UP, SDLK_DOWN};
    const bool arrow = arrows.find(c) != std::string::npos, shifted = !arrow && std::isupper(c);
    const SDLKey key = arrow ? arrowKeys[arrows.find(c)] : static_cast<SDLKey>(std::tolower(c));
    const int mod = shifted ? KMOD_LSHIFT : KMOD_NONE;
    if (w.size() == 1 || w[1] == '+') events.push_back(down(key, mod));
    if (w.size() == 1 || w[1] == '-') events.push_back(up(key, mod));
  }
  return events;
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
      {">+ <+ >- ~ <- m+ n+ n- m-", {0, 0, 0, 1, 0, 0, 0, 0}},  // later press wins, either release stops
      {"s t b p s t b p", {0, 0, 0, 1, 0, 0, 0, 0}},            // a toggle tapped twice is off again
      {"s+ ~ s-", {0, 0, 0, 1, 2, 0, 0, 0}},           // a toggle held through an event is pushed past on
      {"s+ ~ s- s s", {0, 0, 0, 1, 4, 0, 0, 0}},       // and keeps counting up
      {"t t+ ~ t-", {0, 0, 0, 1, 0, -1, 0, 0}},        // held while on, it goes below zero
      {"t t+ ~ t- t t", {0, 0, 0, 1, 0, 1, 0, 0}},     // and climbs back to on
      {"> m l", {0, 0, 0, -1, 0, 0, 0, 0}},            // l resets the offsets and selects the light
      {"l ^", {0, 1, 0, -1, 0, 0, 0, 0}},              // which the offsets then steer
      {"l ^ c", {0, 0, 0, 1, 0, 0, 0, 0}},             // c resets them and selects the camera
      {"c+ ~ c-", {0, 0, 0, 2, 0, 0, 0, 0}},           // c held through an event selects neither
      {"c+ ~ c- l+ > l-", {1, 0, 0, -3, 0, 0, 0, 0}},  // c or l resets the offsets only on its own press
      {"S T B P M L", {0, 0, 0, -1, 1, 1, 1, 1}},      // shifted letters act like plain ones
      {"s t b p", {0, 0, 0, 1, 1, 1, 1, 1}},
  };
  for (const auto& row : rows) {
    ControlState state;
    state.reset();
    applyAll(state, script(row.events));
    EXPECT_EQ(values(state), row.values) << row.events;
  }
}

TEST(Controls, ResetLeavesCameraModeAndEverythingElseZero) {
  ControlState s;
  s.stepX = s.offsetY = s.pathSwitch = 7;
  s.controlMode = -1;
  s.reset();
  EXPECT_EQ(values(s), (std::vector<int>{0, 0, 0, 1, 0, 0, 0, 0}));
  EXPECT_EQ(s.stepX, 0);
}

TEST(Controls, QuitWithHeldKeyStillAppliesTheStepOnce) {
  ControlState s;
  s.reset();
  EXPECT_FALSE(s.apply(down(SDLK_RIGHT)).quit);
  EXPECT_TRUE(s.apply(kQuit).quit);
  EXPECT_EQ(s.offsetX, 2);
}

TEST(Controls, OnlyTheSKeyPressAsksForEyeAndLightResetAndNoKeyQuits) {
  ControlState s;
  s.reset();
  EXPECT_TRUE(s.apply(down(SDLK_s)).resetEyeAndLight);
  EXPECT_FALSE(s.apply(up(SDLK_s)).resetEyeAndLight);
  EXPECT_FALSE(s.apply(down(SDLK_t)).resetEyeAndLight);
  s.reset();
  for (SDLKey key : {SDLK_a, SDLK_SPACE, SDLK_ESCAPE, SDLK_q, SDLK_RETURN, SDLK_F4, SDLK_LSHIFT}) {
    ControlState::Effect effect = s.apply(down(key));
    EXPECT_FALSE(effect.quit || effect.resetEyeAndLight) << key;
    effect = s.apply(up(key));
    EXPECT_FALSE(effect.quit || effect.resetEyeAndLight) << key;
  }
  EXPECT_EQ(values(s), (std::vector<int>{0, 0, 0, 1, 0, 0, 0, 0}));
}

TEST(DemoAppEvents, SKeyPutsCameraAndLightAtTheirZeroOffsetPlacesAndQuitStopsForGood) {
  DemoApp app;
  app.controls.reset();
  app.scene.cameraEye = glm::vec3(3.0f, 4.0f, 5.0f);
  app.scene.lightPosition = glm::vec3(-2.0f, 0.0f, 7.0f);
  SDL_Event e = down(SDLK_t);
  app.handleEvent(e);
  EXPECT_EQ(app.scene.cameraEye, glm::vec3(3.0f, 4.0f, 5.0f));
  e = down(SDLK_s, KMOD_SHIFT);
  app.handleEvent(e);
  EXPECT_EQ(app.scene.cameraEye, glm::vec3(0.0f, 5.0f, 5.0f));
  EXPECT_EQ(app.scene.lightPosition, glm::vec3(1.0f, 1.0f, 1.0f));
  EXPECT_TRUE(app.running);
  e = kQuit;
  app.handleEvent(e);
  EXPECT_FALSE(app.running);
  e = down(SDLK_RIGHT);
  app.handleEvent(e);
  EXPECT_FALSE(app.running);
  EXPECT_EQ(app.controls.offsetX, 1);
}
