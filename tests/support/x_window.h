// Driving a window from outside through Xlib and XTEST, as a user would: find it, focus it, type
// into it, close it through the window manager protocol, and read back what it shows.
#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

// RGB bytes of a window's contents, top row first.
struct WindowPixels {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;

  const unsigned char* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

struct XClient {
  Display* display = nullptr;

  XClient() = default;
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;
  ~XClient() { close(); }

  bool open(const std::string& name);
  void close();

  // The first mapped top-level window; polls until one appears. 0 on timeout.
  Window waitForTopLevel(int timeoutMs);
  bool windowSize(Window window, int& width, int& height);
  // Raises the window and gives it the keyboard focus, and waits until the server has done both.
  bool focus(Window window);
  // Key press or release by keysym (XK_p, XK_Right, XK_Shift_L, ...) through XTEST.
  bool key(unsigned long keysym, bool press);
  bool tap(unsigned long keysym) { return key(keysym, true) && key(keysym, false); }
  // Asks the window to close, exactly as a window manager's close button does.
  bool sendDeleteWindow(Window window);
  // The window's current contents; empty pixels when the window cannot be read.
  WindowPixels grabPixels(Window window);
};
