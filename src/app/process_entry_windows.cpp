// Windows: SDLmain has initialised SDL and registered SDL_Quit for exit before main runs; its video
// drivers all give an OpenGL window, so only the sound stays to be chosen.
#include <cstdlib>

#include "app/process_entry.h"

void finishProcessEntry() {
  // The demo plays no sound: keep SDL away from the sound device unless the user chose a driver.
  if (std::getenv("SDL_AUDIODRIVER") == nullptr) _putenv_s("SDL_AUDIODRIVER", "dummy");
}
