// Key timelines, shot lists, animation ranges and window sizes from their option text.
#include "option_values.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <sstream>

namespace {

bool parseFrame(const std::string& text, int& frame) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  frame = std::stoi(text);  // nine digits at most: no overflow
  return frame >= 1;
}

bool validName(const std::string& name) {
  return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](unsigned char c) {
    return std::isalnum(c) || c == '-' || c == '_';
  });
}

std::vector<std::string> splitList(const std::string& text) {
  std::vector<std::string> items;
  std::istringstream in(text);
  for (std::string item; std::getline(in, item, ',');)
    if (!item.empty()) items.push_back(item);
  return items;
}

bool keyFromName(const std::string& name, SDLKey& key) {
  static const std::map<std::string, SDLKey> kNamed = {
      {"left", SDLK_LEFT},   {"right", SDLK_RIGHT},   {"up", SDLK_UP},        {"down", SDLK_DOWN},
      {"space", SDLK_SPACE}, {"escape", SDLK_ESCAPE}, {"return", SDLK_RETURN}};
  if (const auto named = kNamed.find(name); named != kNamed.end())
    key = named->second;
  else if (name.size() == 1 && ((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= '0' && name[0] <= '9')))
    key = static_cast<SDLKey>(name[0]);  // SDL 1.2 gives letters and digits their ASCII codes as symbols
  else
    return false;
  return true;
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
    char unnamed[32];
    std::snprintf(unnamed, sizeof unnamed, "frame-%05d", shot.frame);
    shot.name = colon == std::string::npos ? unnamed : item.substr(colon + 1);
    if (!validName(shot.name)) return "bad shot name '" + shot.name + "' (letters, digits, '-' and '_')";
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
