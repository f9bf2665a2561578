// Driving the demo from a tool or a test as a user would: its window size as options, and key presses
// through its own event handling.
#pragma once

#include <SDL/SDL.h>

#include "app/options.h"
#include "option_values.h"

struct DemoApp;

// The options the demo gets for a window of this size.
OptionMap windowOptions(WindowSize size);

// One press and release through the demo's own event handling, as SDL would deliver them.
void pressKey(DemoApp& app, SDLKey key);
// Presses s, t and b as needed until the three switches are exactly as asked.
void setSwitches(DemoApp& app, bool shadows, bool reflection, bool blur);
