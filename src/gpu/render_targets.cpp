// The shadow target (depth texture, no colour) and the blur target (colour texture, depth
// renderbuffer), created once at the window's size. An incomplete target prints a line and is
// used anyway: the frame has no second way to draw.
#include "gpu/render_targets.h"

#include <cstdio>
#include <vector>

#include "gpu/texture_parameters.h"

namespace {

// Prints the line for an incomplete target; true when the bound target is complete.
bool checkComplete() {
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) return true;
  printf("GL_FRAMEBUFFER_COMPLETE failed, CANNOT use FBO\n");
  return false;
}

}  // namespace

void RenderTargets::create(int width, int height) {
  glGenFramebuffers(1, &shadowFramebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, shadowFramebuffer);
  glGenTextures(1, &shadowDepthTexture);
  glBindTexture(GL_TEXTURE_2D, shadowDepthTexture);
  setLinearClamp(GL_TEXTURE_2D, true);
  // No comparison mode: the shaders read raw depth and compare it themselves.
  glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, width, height, 0, GL_DEPTH_COMPONENT, GL_UNSIGNED_BYTE,
               nullptr);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, shadowDepthTexture, 0);
  glViewport(0, 0, width, height);
  // Depth only: without these the target would be incomplete for want of a colour image. Where GL
  // gave no framebuffer object they would switch the window's own buffers off.
  if (shadowFramebuffer != 0) {
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
  }
  if (!checkComplete()) {
    // Nothing will ever be drawn into this map: make it say "far" everywhere, so nothing is in shadow.
    const std::vector<GLfloat> far(static_cast<size_t>(width) * height, 1.0f);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, width, height, 0, GL_DEPTH_COMPONENT, GL_FLOAT,
                 far.data());
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);

  glGenFramebuffers(1, &blurFramebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, blurFramebuffer);
  glGenRenderbuffers(1, &blurDepthRenderbuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, blurDepthRenderbuffer);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT, width, height);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, blurDepthRenderbuffer);
  glGenTextures(1, &blurColorTexture);
  glBindTexture(GL_TEXTURE_2D, blurColorTexture);
  setLinearClamp(GL_TEXTURE_2D, false);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, blurColorTexture, 0);
  glViewport(0, 0, width, height);
  checkComplete();

  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void RenderTargets::destroy() {
  if (shadowFramebuffer != 0) glDeleteFramebuffers(1, &shadowFramebuffer);
  if (blurFramebuffer != 0) glDeleteFramebuffers(1, &blurFramebuffer);
  if (blurDepthRenderbuffer != 0) glDeleteRenderbuffers(1, &blurDepthRenderbuffer);
  if (shadowDepthTexture != 0) glDeleteTextures(1, &shadowDepthTexture);
  if (blurColorTexture != 0) glDeleteTextures(1, &blurColorTexture);
  shadowFramebuffer = 0;
  blurFramebuffer = 0;
  blurDepthRenderbuffer = 0;
  shadowDepthTexture = 0;
  blurColorTexture = 0;
}
