// The option values the capture, benchmark and soak tools read themselves, beyond what CLI11 checks:
// key timelines, shot lists, animation ranges and window sizes. Frames are counted from 1: frame n is
// the n-th call of DemoApp::drawFrame.
#pragma once

#include <SDL/SDL.h>

#include <iosfwd>
#include <string>
#include <vector>

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

// Frames first..last encoded into `file`, whose extension picks the format.
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
