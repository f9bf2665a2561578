// Linux: main is the process entry, so it does what SDLmain does elsewhere.
#include "app/process_entry.h"

#include <SDL/SDL.h>

#include <cstdlib>

void finishProcessEntry() {
  // Shut SDL down at exit ourselves, so a failed start-up still releases it.
  std::atexit(SDL_Quit);
  // The demo plays no sound: keep SDL away from the sound card (and ALSA's complaints off
  // standard error) unless the user chose an audio driver.
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  // Only SDL's X11 driver gives an OpenGL window; without a display SDL would otherwise fall back to
  // a text-mode driver that takes over the terminal and then fails for want of OpenGL.
  setenv("SDL_VIDEODRIVER", "x11", 0);
}
