// Values the tools parse themselves, key presses, run set-up and the progress line.
#include "tool_support.h"

#include <GL/glew.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "app/demo_app.h"

namespace fs = std::filesystem;

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

std::vector<std::string> splitList(const std::string& text) {
  std::vector<std::string> items;
  std::istringstream in(text);
  for (std::string item; std::getline(in, item, ',');)
    if (!item.empty()) items.push_back(item);
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

}  // namespace

std::istream& operator>>(std::istream& in, WindowSize& size) {
  char x = 0;
  if (in >> size.width >> x >> size.height &&
      (x != 'x' || size.width < 1 || size.height < 1 || size.width > 16384 || size.height > 16384))
    in.setstate(std::ios::failbit);
  return in;
}

std::ostream& operator<<(std::ostream& out, const WindowSize& size) {
  return out << size.width << "x" << size.height;
}

std::string parseKeyTimeline(const std::string& text, std::vector<TimedKey>& keys) {
  keys.clear();
  for (const std::string& item : splitList(text)) {
    size_t colon = item.find(':');
    TimedKey timed;
    if (colon == std::string::npos || !parseFrame(item.substr(0, colon), timed.frame))
      return "bad key entry '" + item + "' (want FRAME:KEY, frames from 1)";
    if (!keyFromName(item.substr(colon + 1), timed.key))
      return "unknown key '" + item.substr(colon + 1) +
             "' (a-z, 0-9, left, right, up, down, space, escape, return)";
    keys.push_back(timed);
  }
  std::stable_sort(keys.begin(), keys.end(),
                   [](const TimedKey& a, const TimedKey& b) { return a.frame < b.frame; });
  return "";
}

std::string parseShots(const std::string& text, std::vector<Shot>& shots) {
  shots.clear();
  for (const std::string& item : splitList(text)) {
    size_t colon = item.find(':');
    Shot shot;
    if (!parseFrame(item.substr(0, colon), shot.frame))
      return "bad shot '" + item + "' (want FRAME or FRAME:NAME, frames from 1)";
    if (colon != std::string::npos) {
      shot.name = item.substr(colon + 1);
      if (!validName(shot.name)) return "bad shot name '" + shot.name + "' (letters, digits, '-' and '_')";
    } else {
      char name[32];
      std::snprintf(name, sizeof name, "frame-%05d", shot.frame);
      shot.name = name;
    }
    for (const Shot& other : shots)
      if (other.name == shot.name) return "two shots would both write " + shot.name + ".png";
    shots.push_back(shot);
  }
  std::stable_sort(shots.begin(), shots.end(),
                   [](const Shot& a, const Shot& b) { return a.frame < b.frame; });
  return "";
}

std::string parseAnimation(const std::string& text, Animation& animation) {
  const size_t dash = text.find('-'), colon = text.find(':');
  if (dash == std::string::npos || colon == std::string::npos || colon < dash ||
      !parseFrame(text.substr(0, dash), animation.first) ||
      !parseFrame(text.substr(dash + 1, colon - dash - 1), animation.last) ||
      animation.last < animation.first)
    return "bad animation '" + text + "' (want FROM-TO:FILE, frames from 1, FROM at most TO)";
  animation.file = text.substr(colon + 1);
  const size_t dot = animation.file.rfind('.');
  const std::string extension = dot == std::string::npos ? "" : animation.file.substr(dot + 1);
  if (!validName(animation.file.substr(0, dot)) ||
      (extension != "gif" && extension != "apng" && extension != "webm"))
    return "bad animation file '" + animation.file +
           "' (a name of letters, digits, '-' and '_', then .gif, .apng or .webm)";
  return "";
}

OptionMap windowOptions(WindowSize size) {
  OptionMap options;
  options["w"] = std::to_string(size.width);
  options["h"] = std::to_string(size.height);
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

bool prepareRun(int argc, char** argv, const char* toolName, WindowSize largest) {
  const std::string self = preparePlatform(argc, argv, toolName, largest);
  std::error_code error;
  fs::current_path(fs::path(self).parent_path(), error);
  if (!self.empty() && !error && fs::exists("shaders/vertexShader.txt", error)) return true;
  std::fprintf(stderr, "%s: no shaders/ beside the binary (it runs from the build directory)\n", toolName);
  return false;
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

void Progress::begin(FILE* to, long long nowNs) {
  out = to;
  terminal = isatty(fileno(to)) != 0;
  startNs = lastNs = nowNs;
  showing = false;
}

bool Progress::due(long long nowNs) const {
  return nowNs - lastNs >= (terminal ? kTerminalEveryNs : kPlainEveryNs);
}

void Progress::show(long long nowNs, const std::string& what) {
  lastNs = nowNs;
  const long long seconds = (nowNs - startNs) / 1000000000LL;
  // \033[K clears what a longer earlier line left to the right.
  std::fprintf(out, terminal ? "\r%s, %lld s\033[K" : "%s, %lld s\n", what.c_str(), seconds);
  std::fflush(out);
  showing = terminal;
}

void Progress::clear() {
  if (showing) std::fputs("\r\033[K", out);
  std::fflush(out);
  showing = false;
}

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

long long monotonicNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

std::string takeGlErrors() {
  std::string names;
  // Bounded: a context that is gone reports an error on every call.
  for (int i = 0; i < 16; ++i) {
    const GLenum error = glGetError();
    if (error == GL_NO_ERROR) break;
    const char* name = nullptr;
    switch (error) {
      case GL_INVALID_ENUM: name = "GL_INVALID_ENUM"; break;
      case GL_INVALID_VALUE: name = "GL_INVALID_VALUE"; break;
      case GL_INVALID_OPERATION: name = "GL_INVALID_OPERATION"; break;
      case GL_INVALID_FRAMEBUFFER_OPERATION: name = "GL_INVALID_FRAMEBUFFER_OPERATION"; break;
      case GL_OUT_OF_MEMORY: name = "GL_OUT_OF_MEMORY"; break;
      case GL_STACK_OVERFLOW: name = "GL_STACK_OVERFLOW"; break;
      case GL_STACK_UNDERFLOW: name = "GL_STACK_UNDERFLOW"; break;
    }
    names += (names.empty() ? "" : ", ") +
             (name != nullptr ? std::string(name) : "GL error " + std::to_string(error));
  }
  return names;
}
