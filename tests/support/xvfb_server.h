// A private virtual X server for one test (never reset between clients): Xvfb picks a free display number and
// tells it through -displayfd, so tests running in parallel never share a display, a focus or a keyboard.
#pragma once

#include <sys/types.h>

#include <string>

struct XvfbServer {
  pid_t pid = -1;
  std::string display;  // ":N" once started

  XvfbServer() = default;
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;
  ~XvfbServer() { stop(); }

  // Starts a 1280x1024x24 screen; false (with the reason in `error`) when it does not come up in time.
  bool start(std::string* error = nullptr, int timeoutMs = 10000);
  void stop();
};
