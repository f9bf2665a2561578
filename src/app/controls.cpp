#include "app/controls.h"

void ControlState::reset() { *this = ControlState(); }

namespace {
// The step a toggle key sets: down when the switch is on, up otherwise.
int toggleStep(int value) { return value == 1 ? -1 : +1; }
}  // namespace

ControlState::Effect ControlState::apply(const SDL_Event& event) {
  Effect effect;
  if (event.type == SDL_QUIT) effect.quit = true;

  if (event.type == SDL_KEYDOWN) {
    switch (event.key.keysym.sym) {
      case SDLK_RIGHT: stepX = +1; break;
      case SDLK_LEFT: stepX = -1; break;
      case SDLK_UP: stepY = +1; break;
      case SDLK_DOWN: stepY = -1; break;
      case SDLK_m: stepZ = +1; break;
      case SDLK_n: stepZ = -1; break;
      case SDLK_c:
      case SDLK_l:
        offsetX = offsetY = offsetZ = controlMode = 0;
        stepMode = event.key.keysym.sym == SDLK_c ? +1 : -1;
        break;
      case SDLK_s:
        effect.resetEyeAndLight = true;
        stepShadow = toggleStep(shadowSwitch);
        break;
      case SDLK_t: stepCubeMap = toggleStep(cubeMapSwitch); break;
      case SDLK_b: stepBlur = toggleStep(blurSwitch); break;
      case SDLK_p: stepPath = toggleStep(pathSwitch); break;
      default: break;
    }
  } else if (event.type == SDL_KEYUP) {
    switch (event.key.keysym.sym) {
      case SDLK_RIGHT:
      case SDLK_LEFT: stepX = 0; break;
      case SDLK_UP:
      case SDLK_DOWN: stepY = 0; break;
      case SDLK_m:
      case SDLK_n: stepZ = 0; break;
      case SDLK_c:
      case SDLK_l: stepMode = 0; break;
      case SDLK_s: stepShadow = 0; break;
      case SDLK_t: stepCubeMap = 0; break;
      case SDLK_b: stepBlur = 0; break;
      case SDLK_p: stepPath = 0; break;
      default: break;
    }
  }

  offsetX += stepX;
  offsetY += stepY;
  offsetZ += stepZ;
  controlMode += stepMode;
  shadowSwitch += stepShadow;
  cubeMapSwitch += stepCubeMap;
  blurSwitch += stepBlur;
  pathSwitch += stepPath;
  return effect;
}
