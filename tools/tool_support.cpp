// Command-line values, key presses and run set-up for the tools.
#include "tool_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>

#include "app/demo_app.h"

namespace {

bool parseFrame(const std::string& text, int& frame) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  frame = std::atoi(text.c_str());
  return frame >= 1;
}

bool validName(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') return false;
  return true;
}

}  // namespace

std::vector<std::string> splitList(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    if (comma > start) items.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  return items;
}

bool keyFromName(const std::string& name, SDLKey& key) {
  static const struct {
    const char* name;
    SDLKey key;
  } kNamed[] = {{"left", SDLK_LEFT},   {"right", SDLK_RIGHT},   {"up", SDLK_UP},        {"down", SDLK_DOWN},
                {"space", SDLK_SPACE}, {"escape", SDLK_ESCAPE}, {"return", SDLK_RETURN}};
  for (const auto& named : kNamed)
    if (name == named.name) {
      key = named.key;
      return true;
    }
  // SDL 1.2 gives letters and digits their ASCII codes as key symbols.
  if (name.size() == 1 && ((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= '0' && name[0] <= '9'))) {
    key = static_cast<SDLKey>(name[0]);
    return true;
  }
  return false;
}

bool parseKeyTimeline(const std::string& text, std::vector<TimedKey>& keys, std::string& error) {
  keys.clear();
  for (const std::string& item : splitList(text)) {
    size_t colon = item.find(':');
    TimedKey timed;
    if (colon == std::string::npos || !parseFrame(item.substr(0, colon), timed.frame)) {
      error = "bad key entry '" + item + "' (want FRAME:KEY, frames from 1)";
      return false;
    }
    if (!keyFromName(item.substr(colon + 1), timed.key)) {
      error = "unknown key '" + item.substr(colon + 1) +
              "' (a-z, 0-9, left, right, up, down, space, escape, return)";
      return false;
    }
    keys.push_back(timed);
  }
  std::stable_sort(keys.begin(), keys.end(),
                   [](const TimedKey& a, const TimedKey& b) { return a.frame < b.frame; });
  return true;
}

bool parseShots(const std::string& text, std::vector<Shot>& shots, std::string& error) {
  shots.clear();
  for (const std::string& item : splitList(text)) {
    size_t colon = item.find(':');
    Shot shot;
    if (!parseFrame(item.substr(0, colon), shot.frame)) {
      error = "bad shot '" + item + "' (want FRAME or FRAME:NAME, frames from 1)";
      return false;
    }
    if (colon != std::string::npos) {
      shot.name = item.substr(colon + 1);
      if (!validName(shot.name)) {
        error = "bad shot name '" + shot.name + "' (letters, digits, '-' and '_')";
        return false;
      }
    } else {
      char name[32];
      std::snprintf(name, sizeof name, "frame-%05d", shot.frame);
      shot.name = name;
    }
    for (const Shot& other : shots)
      if (other.name == shot.name) {
        error = "two shots would both write " + shot.name + ".png";
        return false;
      }
    shots.push_back(shot);
  }
  std::stable_sort(shots.begin(), shots.end(),
                   [](const Shot& a, const Shot& b) { return a.frame < b.frame; });
  return true;
}

bool parseSize(const std::string& text, int& width, int& height) {
  size_t x = text.find('x');
  if (x == std::string::npos) return false;
  return parseFrame(text.substr(0, x), width) && parseFrame(text.substr(x + 1), height) && width <= 16384 &&
         height <= 16384;
}

OptionMap windowOptions(int width, int height) {
  OptionMap options;
  options["w"] = std::to_string(width);
  options["h"] = std::to_string(height);
  return options;
}

void pressKey(DemoApp& app, SDLKey key) {
  SDL_Event event;
  std::memset(&event, 0, sizeof event);
  event.type = SDL_KEYDOWN;
  event.key.type = SDL_KEYDOWN;
  event.key.state = SDL_PRESSED;
  event.key.keysym.sym = key;
  app.handleEvent(event);
  event.type = SDL_KEYUP;
  event.key.type = SDL_KEYUP;
  event.key.state = SDL_RELEASED;
  app.handleEvent(event);
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

double percentile(std::vector<double>& samples, double p) {
  if (samples.empty()) return 0.0;
  std::sort(samples.begin(), samples.end());
  double rank = std::ceil(p * static_cast<double>(samples.size()));
  size_t index = rank < 1.0 ? 0 : static_cast<size_t>(rank) - 1;
  return samples[std::min(index, samples.size() - 1)];
}

void ensureDisplay(int argc, char** argv, const char* toolName, int width, int height) {
  const char* display = std::getenv("DISPLAY");
  if (display != nullptr && display[0] != '\0') return;
  if (std::getenv("LUMAROK_TOOL_UNDER_XVFB") != nullptr) {
    std::fprintf(stderr, "%s: xvfb-run gave no DISPLAY\n", toolName);
    return;
  }
  setenv("LUMAROK_TOOL_UNDER_XVFB", "1", 1);
  std::fprintf(stdout, "%s: no DISPLAY, running on a virtual display (Xvfb)\n", toolName);
  std::fflush(stdout);
  // -noreset: a server that resets as its last client leaves can turn away the next one.
  std::string screen = "-noreset -screen 0 " + std::to_string(std::max(width, 1280)) + "x" +
                       std::to_string(std::max(height, 1024)) + "x24";
  std::vector<char*> args;
  char xvfbRun[] = "xvfb-run", dashA[] = "-a", dashS[] = "-s";
  args.push_back(xvfbRun);
  args.push_back(dashA);
  args.push_back(dashS);
  args.push_back(&screen[0]);
  char selfPath[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", selfPath, sizeof selfPath - 1);
  if (length <= 0) return;
  selfPath[length] = '\0';
  args.push_back(selfPath);
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  execvp(args[0], args.data());
  std::fprintf(stderr, "%s: no DISPLAY and xvfb-run could not be started: %s\n", toolName,
               std::strerror(errno));
}

bool enterRunDirectory() {
  char selfPath[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", selfPath, sizeof selfPath - 1);
  if (length <= 0) return false;
  selfPath[length] = '\0';
  std::string dir(selfPath);
  dir = dir.substr(0, dir.rfind('/') + 1);
  if (chdir(dir.c_str()) != 0) return false;
  return access("shaders/vertexShader.txt", R_OK) == 0;
}

std::string absolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) == nullptr) return path;
  return std::string(cwd) + "/" + path;
}

bool makeDirectories(const std::string& path) {
  for (size_t slash = 1; slash != std::string::npos; slash = path.find('/', slash + 1)) {
    std::string prefix = path.substr(0, slash);
    if (!prefix.empty()) mkdir(prefix.c_str(), 0755);
  }
  mkdir(path.c_str(), 0755);
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void QuietStdout::begin() {
  std::cout.flush();
  std::fflush(stdout);
  held = std::tmpfile();
  savedFd = dup(STDOUT_FILENO);
  if (held == nullptr || savedFd < 0) return;
  out = fdopen(savedFd, "w");
  setvbuf(out, nullptr, _IOLBF, 0);
  dup2(fileno(held), STDOUT_FILENO);
}

void QuietStdout::replay(FILE* to) {
  if (held == nullptr) return;
  std::cout.flush();
  std::fflush(stdout);
  std::rewind(held);
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, held)) > 0) std::fwrite(buffer, 1, n, to);
  std::fseek(held, 0, SEEK_END);
}

void QuietStdout::end() {
  if (out == stdout) return;
  std::cout.flush();
  std::fflush(stdout);
  std::fflush(out);
  dup2(savedFd, STDOUT_FILENO);
  std::fclose(out);  // closes savedFd
  std::fclose(held);
  out = stdout;
  savedFd = -1;
  held = nullptr;
}

long long monotonicNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}
