// Linked into every executable of the sanitizer build only: dlclose becomes a no-op, so libraries
// loaded at run time (libGL by SDL, Mesa's driver by GLX) stay mapped until exit. LeakSanitizer
// then still sees the driver's globals as roots and can name its frames in any report; unloaded,
// the driver's live allocations would look leaked and their stacks would read "unknown module".
#include <dlfcn.h>

extern "C" int dlclose(void*) { return 0; }
