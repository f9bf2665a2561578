// Code the capture, benchmark and soak tools share: the values they parse themselves (key timelines,
// shot lists, animation ranges, window sizes), key presses handed to the demo, the run set-up
// (display, run directory, quiet standard output) and a progress line for long runs.
// Frames are counted from 1: frame n is the n-th call of DemoApp::drawFrame.
#pragma once

#include <SDL/SDL.h>

#include <cstdio>
#include <iosfwd>
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

// Frames first..last (every `step`-th of them) encoded into `file`, whose extension picks the format.
struct Animation {
  int first = 0, last = 0;
  std::string file;
};

struct WindowSize {
  int width = 0, height = 0;
};
// "800x600", each side 1 to 16384; CLI11 converts option values through these.
std::istream& operator>>(std::istream& in, WindowSize& size);
std::ostream& operator<<(std::ostream& out, const WindowSize& size);

// Each returns "" on success, else the message for the option's one error line.
// "120:s,240:t,360:up" into presses ordered by frame (same-frame presses keep their written order);
// keys are a-z, 0-9, left, right, up, down, space, escape, return.
std::string parseKeyTimeline(const std::string& text, std::vector<TimedKey>& keys);
// "60,300:blur-on" into shots ordered by frame; unnamed shots are called frame-00060 and so on.
// Names are letters, digits, '-' and '_' only, so they cannot leave the output directory.
std::string parseShots(const std::string& text, std::vector<Shot>& shots);
// "400-700:bounce.gif": a name as for shots, then .gif, .apng or .webm.
std::string parseAnimation(const std::string& text, Animation& animation);

// The options the demo gets for a window of this size.
OptionMap windowOptions(WindowSize size);

// One press and release through the demo's own event handling, as SDL would deliver them.
void pressKey(DemoApp& app, SDLKey key);
// Presses s, t and b as needed until the three switches are exactly as asked.
void setSwitches(DemoApp& app, bool shadows, bool reflection, bool blur);

// Value at fraction `p` (0..1) of the samples by the nearest-rank rule; sorts `samples`. 0 when empty.
double percentile(std::vector<double>& samples, double p);

// Sets a tool up to run the demo: no sound device, a display (without one, the tool runs itself
// again under xvfb-run with a screen for `largest`), and the directory of the tool's binary, the
// build directory, as the working directory, where the demo finds shaders/ and res/ (the source
// tree's res lacks the built images). Paths from the command line are to be made absolute before.
// False, after a line on standard error, when the shaders are not there.
bool prepareRun(int argc, char** argv, const char* toolName, WindowSize largest);
// The platform's part of prepareRun, in run_platform.cpp (run_platform_windows.cpp on Windows): sound
// off, a display (where there is none, the tool may run itself again on a virtual one and not
// return), and the path of the tool's own binary.
std::string preparePlatform(int argc, char** argv, const char* toolName, WindowSize largest);

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

// Where a long run is, on standard error so the report on standard output stays as it is: one line
// rewritten in place on a terminal, otherwise a plain line at most every kPlainEveryNs, so a log
// shows the run moving without filling up.
struct Progress {
  static constexpr long long kTerminalEveryNs = 200000000LL, kPlainEveryNs = 3000000000LL;
  FILE* out = stderr;
  bool terminal = false;
  long long startNs = 0, lastNs = 0;
  bool showing = false;  // a rewritten line is on the terminal

  void begin(FILE* to, long long nowNs);
  // True when the last line is old enough for a new one; callers build the text only then.
  bool due(long long nowNs) const;
  // Shows "<what>, <elapsed> s".
  void show(long long nowNs, const std::string& what);
  // Takes the rewritten line off the terminal before other output.
  void clear();
};

// Every error GL has recorded since the last call, by name ("GL_INVALID_ENUM, GL_INVALID_OPERATION"),
// emptying GL's error flags; "" when there were none. Needs a current context.
std::string takeGlErrors();

// `text` in single quotes for sh.
std::string shellQuoted(const std::string& text);

// Nanoseconds on the monotonic clock, shared by all processes of the machine.
long long monotonicNs();
