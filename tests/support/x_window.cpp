// Xlib and XTEST calls behind XClient. X errors (a window that vanished, say) are recorded rather
// than left to Xlib's default handler, which would end the test process.
#include "support/x_window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <unistd.h>

#include <chrono>

#include "support/process_util.h"

namespace {
int lastXError = 0;
int recordXError(Display*, XErrorEvent* event) {
  lastXError = event->error_code;
  return 0;
}

// Runs `request` and reports whether the server answered it without an error.
template <typename F>
bool withoutXError(Display* display, F request) {
  XSync(display, False);
  lastXError = 0;
  request();
  XSync(display, False);
  return lastXError == 0;
}

// Position of a colour channel inside a pixel value, from the visual's mask.
int channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  unsigned long value = (pixel & mask) >> shift;
  unsigned long max = mask >> shift;
  return static_cast<int>(value * 255 / max);
}
}  // namespace

bool XClient::open(const std::string& name) {
  close();
  XSetErrorHandler(recordXError);
  display = XOpenDisplay(name.c_str());
  if (display == nullptr) return false;
  int event, error, major, minor;
  if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
    close();
    return false;
  }
  return true;
}

void XClient::close() {
  if (display != nullptr) XCloseDisplay(display);
  display = nullptr;
}

Window XClient::waitForTopLevel(int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(display, root, &root, &parent, &children, &count)) {
      for (unsigned int i = 0; i < count && found == 0; ++i) {
        XWindowAttributes a;
        if (withoutXError(display, [&] { XGetWindowAttributes(display, children[i], &a); }) &&
            a.map_state == IsViewable && !a.override_redirect)
          found = children[i];
      }
      if (children != nullptr) XFree(children);
    }
    if (found != 0) return found;
    usleep(10000);
  } while (remainingMs(deadline) > 0);
  return 0;
}

bool XClient::windowSize(Window window, int& width, int& height) {
  XWindowAttributes a;
  if (!withoutXError(display, [&] { XGetWindowAttributes(display, window, &a); })) return false;
  width = a.width;
  height = a.height;
  return true;
}

bool XClient::focus(Window window) {
  return withoutXError(display, [&] {
    XRaiseWindow(display, window);
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
  });
}

bool XClient::key(unsigned long keysym, bool press) {
  KeyCode code = XKeysymToKeycode(display, keysym);
  if (code == 0) return false;
  bool ok = XTestFakeKeyEvent(display, code, press ? True : False, CurrentTime);
  XSync(display, False);
  return ok;
}

bool XClient::sendDeleteWindow(Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  bool sent = false;
  bool ok = withoutXError(display, [&] { sent = XSendEvent(display, window, False, NoEventMask, &event); });
  return ok && sent;
}

WindowPixels XClient::grabPixels(Window window) {
  WindowPixels pixels;
  int width = 0, height = 0;
  if (!windowSize(window, width, height)) return pixels;
  XImage* image = nullptr;
  withoutXError(display,
                [&] { image = XGetImage(display, window, 0, 0, width, height, AllPlanes, ZPixmap); });
  if (image == nullptr) return pixels;
  pixels.width = width;
  pixels.height = height;
  pixels.rgb.resize(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      unsigned long p = XGetPixel(image, x, y);
      unsigned char* rgb = &pixels.rgb[(static_cast<size_t>(y) * width + x) * 3];
      rgb[0] = static_cast<unsigned char>(channel(p, image->red_mask));
      rgb[1] = static_cast<unsigned char>(channel(p, image->green_mask));
      rgb[2] = static_cast<unsigned char>(channel(p, image->blue_mask));
    }
  }
  XDestroyImage(image);
  return pixels;
}
