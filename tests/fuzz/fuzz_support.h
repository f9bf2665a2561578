// Shared by the fuzz targets: a real GL context for the whole run, with standard output silenced (the
// loaders print a line for nearly every input), and a check that ends the run as a finding would.
#pragma once

#include <GL/glew.h>
#include <SDL/SDL.h>

#include <cstdio>
#include <cstdlib>

inline void openFuzzGlContext() {
  if (SDL_Init(SDL_INIT_VIDEO) < 0 || SDL_SetVideoMode(64, 64, 32, SDL_OPENGL) == nullptr ||
      glewInit() != GLEW_OK || std::freopen("/dev/null", "w", stdout) == nullptr) {
    std::fprintf(stderr, "fuzz: no GL context (is DISPLAY set?): %s\n", SDL_GetError());
    std::exit(2);
  }
}

// libFuzzer keeps the input that got here.
#define FUZZ_CHECK(condition)                                                                              \
  ((condition) ? void()                                                                                    \
               : (std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__), \
                  std::abort()))
