// A GL context for the fuzz targets that need one: the same kind of window the demo opens.
#include "fuzz_support.h"

#include <GL/glew.h>
#include <SDL/SDL.h>

void openFuzzGlContext() {
  if (SDL_Init(SDL_INIT_VIDEO) < 0 || SDL_SetVideoMode(64, 64, 32, SDL_OPENGL) == nullptr ||
      glewInit() != GLEW_OK) {
    std::fprintf(stderr, "fuzz: no GL context (is DISPLAY set?): %s\n", SDL_GetError());
    std::exit(2);
  }
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::exit(2);
}
