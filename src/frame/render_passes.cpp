#include "frame/render_passes.h"

// Placeholder until the passes land: clear the window so it shows something.
void renderPasses(const FrameInputs& in) {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, in.windowWidth, in.windowHeight);
  glClearColor(0.1f, 0.1f, 0.15f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
