// Entry: parse the command line, print the usage text when it is incomplete, otherwise run the demo.
#include <SDL/SDL.h>

#include <cstdlib>
#include <iostream>

#include "app/demo_app.h"
#include "app/options.h"

int main(int argc, char** argv) {
  // Linux has no SDLmain: shut SDL down at exit ourselves, so a failed start-up still releases it.
  std::atexit(SDL_Quit);
  // The demo plays no sound: keep SDL away from the sound card (and ALSA's complaints off
  // standard error) unless the user chose an audio driver.
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  // Only SDL's X11 driver gives an OpenGL window; without a display SDL would otherwise fall back to
  // a text-mode driver that takes over the terminal and then fails for want of OpenGL.
  setenv("SDL_VIDEODRIVER", "x11", 0);
  OptionMap options;
  parseOptions(argc, argv, options);
  if (!optionsAcceptable(options)) {
    printUsage(std::cout);
    return -1;
  }
  DemoApp app;
  app.options = &options;
  return app.run();
}
