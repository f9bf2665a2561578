// Window-size options and key presses handed to the demo.
#include "demo_driving.h"

#include <cstring>

#include "app/demo_app.h"

OptionMap windowOptions(WindowSize size) {
  return {{"w", std::to_string(size.width)}, {"h", std::to_string(size.height)}};
}

void pressKey(DemoApp& app, SDLKey key) {
  SDL_Event event;
  std::memset(&event, 0, sizeof event);
  event.key.keysym.sym = key;
  for (const SDL_EventType type : {SDL_KEYDOWN, SDL_KEYUP}) {
    event.key.type = type;  // the same byte as event.type
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    app.handleEvent(event);
  }
}

void setSwitches(DemoApp& app, bool shadows, bool reflection, bool blur) {
  // A clean press and release moves a switch between 0 and 1; a switch pushed elsewhere would
  // need more presses than this, so give up after a few.
  for (int tries = 0; tries < 4 && switchOn(app.controls.shadowSwitch) != shadows; ++tries)
    pressKey(app, SDLK_s);
  for (int tries = 0; tries < 4 && switchOn(app.controls.cubeMapSwitch) != reflection; ++tries)
    pressKey(app, SDLK_t);
  for (int tries = 0; tries < 4 && switchOn(app.controls.blurSwitch) != blur; ++tries) pressKey(app, SDLK_b);
}
