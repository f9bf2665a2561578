// What the process entry in front of main leaves to the program, which differs by platform: on
// Windows SDL's SDLmain is that entry (it has initialised SDL and registered SDL_Quit for exit); on
// Linux main is the entry itself. process_entry_windows.cpp stands in for process_entry.cpp there.
#pragma once

// Called first in main: SDL_Quit at process exit where no SDLmain registered it, and the drivers
// SDL is to use unless the user chose others.
void finishProcessEntry();
