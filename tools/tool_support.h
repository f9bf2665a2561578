// Code the capture and benchmark tools share: their command-line values (key timelines, shot lists,
// window sizes), key presses handed to the demo, and the run set-up (display, run directory, output).
// Frames are counted from 1: frame n is the n-th call of DemoApp::drawFrame.
#pragma once

#include <SDL/SDL.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/options.h"

struct DemoApp;

// A key pressed and released just before the frame it names.
struct TimedKey {
  int frame = 0;
  SDLKey key = SDLK_UNKNOWN;
};

// A frame whose picture is saved; `name` is the file name without ".png".
struct Shot {
  int frame = 0;
  std::string name;
};

// Letters a to z, digits, and left, right, up, down, space, escape, return.
bool keyFromName(const std::string& name, SDLKey& key);
// "120:s,240:t,360:up" into presses ordered by frame (same-frame presses keep their written order).
// False with a message in `error` on any malformed entry; an empty text is an empty timeline.
bool parseKeyTimeline(const std::string& text, std::vector<TimedKey>& keys, std::string& error);
// "60,300:blur-on" into shots ordered by frame; unnamed shots are called frame-00060 and so on.
// Names are letters, digits, '-' and '_' only, so they cannot leave the output directory.
bool parseShots(const std::string& text, std::vector<Shot>& shots, std::string& error);
// "800x600" into a width and a height, both at least 1.
bool parseSize(const std::string& text, int& width, int& height);
// A comma-separated list, empty entries dropped.
std::vector<std::string> splitList(const std::string& text);
// The options the demo gets for a window of this size.
OptionMap windowOptions(int width, int height);

// One press and release through the demo's own event handling, as SDL would deliver them.
void pressKey(DemoApp& app, SDLKey key);
// Presses s, t and b as needed until the three switches are exactly as asked.
void setSwitches(DemoApp& app, bool shadows, bool reflection, bool blur);

// Value at fraction `p` (0..1) of the samples by the nearest-rank rule; sorts `samples`. 0 when empty.
double percentile(std::vector<double>& samples, double p);

// Without a display, runs the tool again under xvfb-run (returns only when that is impossible,
// after printing why). With a display it returns at once.
void ensureDisplay(int argc, char** argv, const char* toolName, int width, int height);
// The demo reads shaders/ and res/ from the working directory: move to the directory of the tool's
// binary, the build directory, which is the run directory (the source tree's res lacks the built
// images). False when the shaders are not there.
bool enterRunDirectory();
// `path` made absolute against the current directory.
std::string absolutePath(const std::string& path);
// Creates the directory and its parents; true when it exists afterwards.
bool makeDirectories(const std::string& path);

// Keeps the demo's start-up chatter off the terminal: standard output goes to a temporary file while
// the tool writes its own lines to `out`, a stream on the original standard output. When something
// fails, `replay` shows what the demo said.
struct QuietStdout {
  FILE* out = stdout;
  int savedFd = -1;
  FILE* held = nullptr;

  void begin();
  void replay(FILE* to);
  void end();
};

// Nanoseconds on the monotonic clock, shared by all processes of the machine.
long long monotonicNs();
