// A real GL context for each test: a small SDL window on the current X display, or on a private
// Xvfb when there is none.
#include "support/gl_context.h"

#include <SDL/SDL.h>

#include <cstdlib>

#include "support/xvfb_server.h"

namespace {
// Without a display (plain `ctest`) the process starts one Xvfb for all its tests; it is stopped
// when the process exits.
bool ensureDisplay(std::string& error) {
  setenv("SDL_VIDEODRIVER", "x11", 0);  // a missing display fails plainly, not through a text-mode driver
  const char* current = std::getenv("DISPLAY");
  if (current != nullptr && *current != '\0') return true;
  static XvfbServer server;
  if (!server.start(&error)) return false;
  setenv("DISPLAY", server.display.c_str(), 1);
  return true;
}
}  // namespace

void GlContextTest::SetUp() {
  std::string error;
  ASSERT_TRUE(ensureDisplay(error)) << error;
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  ASSERT_NE(SDL_SetVideoMode(kWidth, kHeight, 32, SDL_OPENGL), nullptr) << SDL_GetError();
  ASSERT_EQ(glewInit(), static_cast<GLenum>(GLEW_OK));
  glViewport(0, 0, kWidth, kHeight);
}

void GlContextTest::TearDown() { SDL_Quit(); }

std::vector<unsigned char> GlContextTest::readPixels(int x, int y, int width, int height) {
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}
