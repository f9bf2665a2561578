// The browser's side of the main loop, in the web build only (the desktop build leaves out *_web.cpp).
// DemoApp::run keeps the desktop's loop; Emscripten links these C definitions of two SDL functions in
// place of its own. The first poll of each iteration waits for the next display refresh (ASYNCIFY
// hands the browser the loop's stack and resumes it there), so time still goes one frame per
// refresh; the events that arrived meanwhile are then handled before the frame, as on the desktop.
// The page's test hooks sit here too (web/page.js sets them): hold the loop after a given frame, keep
// that frame's pixels, read before the browser shows them, and report GL errors on the console.
#include <GL/glew.h>
#include <SDL/SDL.h>
#include <emscripten.h>

#include <vector>

namespace {

int framesDrawn = 0;
bool frameStarting = true;

// One refresh, then more while the page holds the loop after this frame (saying so in `holding`).
EM_ASYNC_JS(void, waitForNextRefresh, (int frames), {
  await new Promise(requestAnimationFrame);
  while (Module.lumarok.hold <= frames) {
    Module.lumarok.holding = true;
    await new Promise(requestAnimationFrame);
  }
  Module.lumarok.holding = false;
});

// Emscripten's own event queue, which its SDL_PollEvent would read.
EM_JS(int, pollBrowserEvent, (SDL_Event * event), { return SDL.pollEvent(event); });

EM_JS(bool, testing, (), { return Module.lumarok.test; });
EM_JS(bool, heldAfter, (int frames), { return Module.lumarok.hold == frames; });

EM_JS(void, publishFrame, (int frames), { Module.lumarok.frame = frames; });

EM_JS(void, reportGlError, (int frames, int error),
      { console.error("GL error 0x" + error.toString(16) + " in frame " + frames); });

EM_JS(void, keepPixels, (int frames, const unsigned char* pixels, int width, int height), {
  Module.lumarok.pixels = {
    frame : frames,
    width : width,
    height : height,
    rgba : HEAPU8.slice(pixels, pixels + width * height * 4)
  };
});

// The window's pixels as drawn (rows bottom up), while the frame is still the back buffer.
void keepFramePixels() {
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  std::vector<unsigned char> pixels(static_cast<size_t>(viewport[2]) * viewport[3] * 4);
  glReadPixels(0, 0, viewport[2], viewport[3], GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  keepPixels(framesDrawn, pixels.data(), viewport[2], viewport[3]);
}

}  // namespace

extern "C" {

// Swapping is the browser's, once the loop hands it the frame; here the frame is only counted and,
// for the page's tests, checked.
void SDL_GL_SwapBuffers() {
  ++framesDrawn;
  if (testing()) {
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError())
      reportGlError(framesDrawn, static_cast<int>(error));
    if (heldAfter(framesDrawn)) keepFramePixels();
  }
  publishFrame(framesDrawn);
  frameStarting = true;
}

int SDL_PollEvent(SDL_Event* event) {
  if (frameStarting) {
    frameStarting = false;
    waitForNextRefresh(framesDrawn);
  }
  return pollBrowserEvent(event);
}

}  // extern "C"
