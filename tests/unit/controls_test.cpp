// The keyboard control state driven by hand-made SDL events: steps that keep stepping while a key
// is held, toggles pushed past 1, the c/l/s resets and quitting. No SDL initialisation is needed.
#include "app/controls.h"

#include <gtest/gtest.h>

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
}  // namespace

TEST(Controls, EventSequencesGiveTheExpectedValues) {
  const SDLKey R = SDLK_RIGHT, L = SDLK_LEFT, U = SDLK_UP, D = SDLK_DOWN;
  const struct {
    const char* what;
    std::vector<SDL_Event> events;
    std::vector<int> values;  // offsets x y z, mode, shadow, cube map, blur, path
  } rows[] = {
      {"press moves at once, release adds nothing",
       {down(R), up(R), down(U), up(U), down(U), up(U), down(SDLK_n), up(SDLK_n)},
       {1, 2, -1, 1, 0, 0, 0, 0}},
      {"the opposite keys",
       {down(L), up(L), down(D), up(D), down(SDLK_m), up(SDLK_m)},
       {-1, -1, 1, 1, 0, 0, 0, 0}},
      {"a held key steps on every event of any kind",
       {down(R), kMotion, kMotion, kMotion, up(R)},
       {4, 0, 0, 1, 0, 0, 0, 0}},
      {"an unknown key is still an event, the step stops at the release",
       {down(D), down(SDLK_a), up(SDLK_a), up(D), kMotion},
       {0, -3, 0, 1, 0, 0, 0, 0}},
      {"the later press wins the shared step and either release ends it",
       {down(R), down(L), up(R), kMotion, up(L), down(SDLK_m), down(SDLK_n), up(SDLK_n), up(SDLK_m)},
       {0, 0, 0, 1, 0, 0, 0, 0}},
      {"a toggle held through another event is pushed past on",
       {down(SDLK_s), kMotion, up(SDLK_s)},
       {0, 0, 0, 1, 2, 0, 0, 0}},
      {"and then keeps counting up",
       {down(SDLK_s), kMotion, up(SDLK_s), down(SDLK_s), up(SDLK_s), down(SDLK_s), up(SDLK_s)},
       {0, 0, 0, 1, 4, 0, 0, 0}},
      {"a toggle held while on goes below zero",
       {down(SDLK_t), up(SDLK_t), down(SDLK_t), kMotion, up(SDLK_t)},
       {0, 0, 0, 1, 0, -1, 0, 0}},
      {"and climbs back to on",
       {down(SDLK_t), up(SDLK_t), down(SDLK_t), kMotion, up(SDLK_t), down(SDLK_t), up(SDLK_t), down(SDLK_t),
        up(SDLK_t)},
       {0, 0, 0, 1, 0, 1, 0, 0}},
      {"l resets the offsets and selects the light",
       {down(R), up(R), down(SDLK_m), up(SDLK_m), down(SDLK_l), up(SDLK_l)},
       {0, 0, 0, -1, 0, 0, 0, 0}},
      {"the offsets then steer the light",
       {down(SDLK_l), up(SDLK_l), down(U), up(U)},
       {0, 1, 0, -1, 0, 0, 0, 0}},
      {"c resets the offsets and selects the camera",
       {down(SDLK_l), up(SDLK_l), down(U), up(U), down(SDLK_c), up(SDLK_c)},
       {0, 0, 0, 1, 0, 0, 0, 0}},
      {"c held through another event selects neither",
       {down(SDLK_c), kMotion, up(SDLK_c)},
       {0, 0, 0, 2, 0, 0, 0, 0}},
      {"c or l resets the offsets only on its own press",
       {down(SDLK_c), kMotion, up(SDLK_c), down(SDLK_l), down(R), up(R), up(SDLK_l)},
       {1, 0, 0, -3, 0, 0, 0, 0}},
      {"shifted letters act like plain ones",
       {down(SDLK_s, KMOD_LSHIFT), up(SDLK_s, KMOD_SHIFT), down(SDLK_t, KMOD_SHIFT), up(SDLK_t),
        down(SDLK_b, KMOD_RSHIFT), up(SDLK_b), down(SDLK_p, KMOD_CAPS), up(SDLK_p), down(SDLK_m, KMOD_SHIFT),
        up(SDLK_m), down(SDLK_l, KMOD_SHIFT), up(SDLK_l)},
       {0, 0, 0, -1, 1, 1, 1, 1}},
  };
  for (const auto& row : rows) {
    ControlState state;
    state.reset();
    applyAll(state, row.events);
    EXPECT_EQ(values(state), row.values) << row.what;
  }
  for (SDLKey key : {SDLK_s, SDLK_t, SDLK_b, SDLK_p}) {
    ControlState state;
    state.reset();
    applyAll(state, {down(key), up(key), down(key), up(key)});
    EXPECT_EQ(values(state), (std::vector<int>{0, 0, 0, 1, 0, 0, 0, 0})) << "tapped twice: " << key;
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
    ControlState::Effect effect = applyAll(s, {down(key)});
    EXPECT_FALSE(effect.quit || effect.resetEyeAndLight) << key;
    effect = applyAll(s, {up(key)});
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
