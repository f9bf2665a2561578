// Linux's part of preparing a run: without a display, the tool runs itself again under xvfb-run; the
// binary's path comes from /proc/self/exe; a pipe whose reader is gone fails a write, no signal.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "run_setup.h"

std::string preparePlatform(int argc, char** argv, const char* toolName, WindowSize largest) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);  // as the demo itself: no sound card wanted
  std::signal(SIGPIPE, SIG_IGN);          // a dead encoder fails a write, not the tool without a word
  std::error_code error;
  std::string self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (const char* display = std::getenv("DISPLAY"); display != nullptr && display[0] != '\0') return self;
  if (std::getenv("LUMAROK_TOOL_UNDER_XVFB") != nullptr) {
    std::fprintf(stderr, "%s: xvfb-run gave no DISPLAY\n", toolName);
    return self;
  }
  setenv("LUMAROK_TOOL_UNDER_XVFB", "1", 1);
  std::fprintf(stdout, "%s: no DISPLAY, running on a virtual display (Xvfb)\n", toolName);
  std::fflush(stdout);
  // -noreset: a server that resets as its last client leaves can turn away the next one.
  std::string screen = "-noreset -screen 0 " + std::to_string(std::max(largest.width, 1280)) + "x" +
                       std::to_string(std::max(largest.height, 1024)) + "x24";
  std::vector<char*> args = {const_cast<char*>("xvfb-run"), const_cast<char*>("-a"), const_cast<char*>("-s"),
                             screen.data(), self.data()};
  args.insert(args.end(), argv + 1, argv + argc);
  args.push_back(nullptr);
  if (!self.empty()) execvp(args[0], args.data());
  std::fprintf(stderr, "%s: no DISPLAY and xvfb-run could not be started: %s\n", toolName,
               std::strerror(errno));
  return self;
}
