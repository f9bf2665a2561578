// The keyboard control state driven by hand-made SDL events: steps that keep stepping while a key
// is held, toggles pushed past 1, the c/l/s resets and quitting. No SDL initialisation is needed.
#include "app/controls.h"

#include <gtest/gtest.h>

#include "app/demo_app.h"

namespace {
SDL_Event keyEvent(Uint8 type, SDLKey sym, int mod = KMOD_NONE) {
  SDL_Event event{};
  event.type = type;
  event.key.type = type;
  event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.sym = sym;
  event.key.keysym.mod = static_cast<SDLMod>(mod);
  return event;
}
SDL_Event down(SDLKey sym, int mod = KMOD_NONE) { return keyEvent(SDL_KEYDOWN, sym, mod); }
SDL_Event up(SDLKey sym, int mod = KMOD_NONE) { return keyEvent(SDL_KEYUP, sym, mod); }
SDL_Event mouseMotion() {
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  return event;
}
SDL_Event quitEvent() {
  SDL_Event event{};
  event.type = SDL_QUIT;
  return event;
}

struct Controls {
  ControlState state;
  ControlState::Effect last;
  Controls() { state.reset(); }
  Controls& operator<<(const SDL_Event& event) {
    last = state.apply(event);
    return *this;
  }
  Controls& tap(SDLKey sym) { return *this << down(sym) << up(sym); }
};

// The eight values, for comparing whole states.
std::vector<int> values(const ControlState& s) {
  return {s.offsetX,      s.offsetY,       s.offsetZ,    s.controlMode,
          s.shadowSwitch, s.cubeMapSwitch, s.blurSwitch, s.pathSwitch};
}
}  // namespace

TEST(Controls, ResetLeavesCameraModeAndEverythingElseZero) {
  ControlState s;
  s.stepX = s.offsetY = s.pathSwitch = 7;
  s.controlMode = -1;
  s.reset();
  EXPECT_EQ(values(s), (std::vector<int>{0, 0, 0, 1, 0, 0, 0, 0}));
  EXPECT_EQ(s.stepX, 0);
}

TEST(Controls, PressMovesAtOnceAndReleaseAddsNothing) {
  Controls c;
  c.tap(SDLK_RIGHT).tap(SDLK_UP).tap(SDLK_UP).tap(SDLK_n);
  EXPECT_EQ(values(c.state), (std::vector<int>{1, 2, -1, 1, 0, 0, 0, 0}));
  c.tap(SDLK_LEFT).tap(SDLK_DOWN).tap(SDLK_m);
  EXPECT_EQ(c.state.offsetX, 0);
  EXPECT_EQ(c.state.offsetY, 1);
  EXPECT_EQ(c.state.offsetZ, 0);
}

TEST(Controls, HeldKeyStepsOnEveryEventOfAnyKind) {
  Controls c;
  c << down(SDLK_RIGHT) << mouseMotion() << mouseMotion() << mouseMotion() << up(SDLK_RIGHT);
  EXPECT_EQ(c.state.offsetX, 4);
  // An unknown key is still an event: the held step applies to it and to its release.
  c << down(SDLK_DOWN) << down(SDLK_a) << up(SDLK_a) << up(SDLK_DOWN);
  EXPECT_EQ(c.state.offsetY, -3);
  c << mouseMotion();
  EXPECT_EQ(c.state.offsetX, 4);
  EXPECT_EQ(c.state.offsetY, -3);
}

TEST(Controls, SharedStepLaterPressWinsAndEitherReleaseStopsIt) {
  Controls c;
  c << down(SDLK_RIGHT) << down(SDLK_LEFT);  // +1 then -1
  EXPECT_EQ(c.state.offsetX, 0);
  c << up(SDLK_RIGHT) << mouseMotion();  // left still held, but the shared step is gone
  EXPECT_EQ(c.state.offsetX, 0);
  EXPECT_EQ(c.state.stepX, 0);
  c << up(SDLK_LEFT);
  c << down(SDLK_m) << down(SDLK_n) << up(SDLK_n) << up(SDLK_m);
  EXPECT_EQ(c.state.offsetZ, 0);
}

TEST(Controls, ToggleTappedTwiceReturnsToOff) {
  for (SDLKey key : {SDLK_s, SDLK_t, SDLK_b, SDLK_p}) {
    Controls c;
    c.tap(key);
    EXPECT_EQ(values(c.state),
              (std::vector<int>{0, 0, 0, 1, key == SDLK_s, key == SDLK_t, key == SDLK_b, key == SDLK_p}))
        << key;
    c.tap(key);
    EXPECT_EQ(values(c.state), (std::vector<int>{0, 0, 0, 1, 0, 0, 0, 0})) << key;
  }
}

TEST(Controls, ToggleHeldThroughAnotherEventIsPushedPastOnAndStaysOff) {
  Controls c;
  c << down(SDLK_s) << mouseMotion() << up(SDLK_s);
  EXPECT_EQ(c.state.shadowSwitch, 2);
  EXPECT_FALSE(switchOn(c.state.shadowSwitch));
  c.tap(SDLK_s);
  EXPECT_EQ(c.state.shadowSwitch, 3);
  c.tap(SDLK_s);
  EXPECT_EQ(c.state.shadowSwitch, 4);
}

TEST(Controls, ToggleHeldWhileOnGoesBelowZeroAndClimbsBack) {
  Controls c;
  c.tap(SDLK_t);
  c << down(SDLK_t) << mouseMotion() << up(SDLK_t);
  EXPECT_EQ(c.state.cubeMapSwitch, -1);
  EXPECT_FALSE(switchOn(c.state.cubeMapSwitch));
  c.tap(SDLK_t);
  EXPECT_EQ(c.state.cubeMapSwitch, 0);
  c.tap(SDLK_t);
  EXPECT_TRUE(switchOn(c.state.cubeMapSwitch));
}

TEST(Controls, LAndCResetOffsetsAndSelectLightOrCamera) {
  Controls c;
  c.tap(SDLK_RIGHT).tap(SDLK_m);
  c.tap(SDLK_l);
  EXPECT_EQ(values(c.state), (std::vector<int>{0, 0, 0, -1, 0, 0, 0, 0}));
  c.tap(SDLK_UP);
  EXPECT_EQ(c.state.offsetY, 1);
  EXPECT_EQ(c.state.controlMode, -1);
  c.tap(SDLK_c);
  EXPECT_EQ(values(c.state), (std::vector<int>{0, 0, 0, 1, 0, 0, 0, 0}));
}

TEST(Controls, ModeKeyHeldThroughOtherEventsSelectsNeither) {
  Controls c;
  c << down(SDLK_c) << mouseMotion() << up(SDLK_c);
  EXPECT_EQ(c.state.controlMode, 2);
  c << down(SDLK_l) << down(SDLK_RIGHT) << up(SDLK_RIGHT) << up(SDLK_l);
  EXPECT_EQ(c.state.controlMode, -3);
  EXPECT_EQ(c.state.offsetX, 1);  // c or l resets the offsets only on its own press
  c.tap(SDLK_l);
  EXPECT_EQ(c.state.controlMode, -1);
  EXPECT_EQ(c.state.offsetX, 0);
}

TEST(Controls, QuitWithHeldKeyStillAppliesTheStepOnce) {
  Controls c;
  c << down(SDLK_RIGHT);
  EXPECT_FALSE(c.last.quit);
  c << quitEvent();
  EXPECT_TRUE(c.last.quit);
  EXPECT_EQ(c.state.offsetX, 2);
}

TEST(Controls, ShiftedLettersActLikePlainOnes) {
  Controls plain, shifted;
  for (SDLKey key : {SDLK_m, SDLK_s, SDLK_t, SDLK_b, SDLK_p, SDLK_l, SDLK_n, SDLK_c}) {
    plain << down(key) << up(key);
    shifted << down(key, KMOD_LSHIFT) << up(key, KMOD_SHIFT);
  }
  EXPECT_EQ(values(shifted.state), values(plain.state));
  EXPECT_EQ(values(shifted.state), (std::vector<int>{0, 0, 0, 1, 1, 1, 1, 1}));
}

TEST(Controls, UnknownKeysChangeNothingAndNeverQuit) {
  Controls c;
  for (SDLKey key : {SDLK_a, SDLK_SPACE, SDLK_ESCAPE, SDLK_q, SDLK_RETURN, SDLK_F4, SDLK_LSHIFT}) {
    c << down(key) << up(key);
    EXPECT_FALSE(c.last.quit) << key;
    EXPECT_FALSE(c.last.resetEyeAndLight) << key;
  }
  EXPECT_EQ(values(c.state), (std::vector<int>{0, 0, 0, 1, 0, 0, 0, 0}));
}

TEST(Controls, OnlyTheSKeyPressAsksForEyeAndLightReset) {
  Controls c;
  c << down(SDLK_s);
  EXPECT_TRUE(c.last.resetEyeAndLight);
  c << up(SDLK_s);
  EXPECT_FALSE(c.last.resetEyeAndLight);
  c << down(SDLK_t);
  EXPECT_FALSE(c.last.resetEyeAndLight);
}

TEST(DemoAppEvents, SKeyPutsCameraAndLightAtTheirZeroOffsetPlaces) {
  DemoApp app;
  app.controls.reset();
  app.scene.cameraEye = glm::vec3(3.0f, 4.0f, 5.0f);
  app.scene.lightPosition = glm::vec3(-2.0f, 0.0f, 7.0f);
  SDL_Event event = down(SDLK_t);
  app.handleEvent(event);
  EXPECT_EQ(app.scene.cameraEye, glm::vec3(3.0f, 4.0f, 5.0f));
  event = down(SDLK_s, KMOD_SHIFT);
  app.handleEvent(event);
  EXPECT_EQ(app.scene.cameraEye, glm::vec3(0.0f, 5.0f, 5.0f));
  EXPECT_EQ(app.scene.lightPosition, glm::vec3(1.0f, 1.0f, 1.0f));
  EXPECT_EQ(app.controls.shadowSwitch, 1);
  EXPECT_TRUE(app.running);
}

TEST(DemoAppEvents, QuitClearsRunningForGood) {
  DemoApp app;
  app.controls.reset();
  SDL_Event event = quitEvent();
  app.handleEvent(event);
  EXPECT_FALSE(app.running);
  event = down(SDLK_RIGHT);
  app.handleEvent(event);
  EXPECT_FALSE(app.running);
  EXPECT_EQ(app.controls.offsetX, 1);
}
