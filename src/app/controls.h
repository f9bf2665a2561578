// Keyboard control state: steps set by held keys, added to their values on every event of any kind.
// That rule is deliberate: a key held while other events arrive keeps stepping, so a toggle can be
// pushed past 1 (and then counts as off) and a held c or l can leave neither camera nor light steered.
#pragma once

#include <SDL/SDL.h>

struct ControlState {
  int stepX = 0, stepY = 0, stepZ = 0, stepCubeMap = 0, stepBlur = 0, stepPath = 0, stepMode = 0,
      stepShadow = 0;
  int offsetX = 0, offsetY = 0, offsetZ = 0, controlMode = 1, shadowSwitch = 0, cubeMapSwitch = 0,
      blurSwitch = 0, pathSwitch = 0;

  // What an event asks of the rest of the application besides the control state.
  struct Effect {
    bool quit = false;
    bool resetEyeAndLight = false;  // the s key puts the camera at (0, 5, 5) and the light at (1, 1, 1)
  };

  void reset();
  Effect apply(const SDL_Event& event);
};

// A switch counts as on only when it holds exactly 1.
inline bool switchOn(int value) { return value == 1; }
