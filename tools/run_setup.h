// Preparing a tool's run of the demo: sound, display and run directory, quiet standard output, and
// command lines for the programs a tool starts. What differs between platforms is one function,
// preparePlatform, in run_platform.cpp; another platform's file stands in for that one.
#pragma once

#include <cstdio>
#include <string>

#include "option_values.h"

// Sets a tool up to run the demo: no sound device, a display for windows up to `largest`, and the
// directory of the tool's binary, the build directory, as the working directory, where the demo
// finds shaders/ and res/ (the source tree's res lacks the built images). Paths from the command line
// are to be made absolute before. Returns the binary's path; "", after a line on standard error,
// when the shaders are not there.
std::string prepareRun(int argc, char** argv, const char* toolName, WindowSize largest);

// The platform's part of prepareRun: sound off, a display (where there is none, the tool may run
// itself again on a virtual one and not return), writes to a closed pipe failing rather than ending
// the tool, and the path of the tool's own binary.
std::string preparePlatform(int argc, char** argv, const char* toolName, WindowSize largest);

// Keeps the demo's start-up chatter off the terminal: standard output goes to a temporary file while
// the tool writes its own lines to `out`, a stream on the original standard output.
struct QuietStdout {
  FILE* out = stdout;
  FILE* held = nullptr;

  void begin();
  // Puts standard output back; with `replay`, what the demo said goes to standard error first, to
  // show why something failed.
  void end(bool replay = false);
};

// `text` in single quotes for sh.
std::string shellQuoted(const std::string& text);
