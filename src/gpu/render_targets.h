// The two off-screen targets, both at the window's size: the shadow target (depth texture only)
// and the blur target (colour texture plus depth renderbuffer).
#pragma once

#include <GL/glew.h>

struct RenderTargets {
  GLuint shadowDepthTexture = 0;
  GLuint shadowFramebuffer = 0;
  GLuint blurDepthRenderbuffer = 0;
  GLuint blurFramebuffer = 0;
  GLuint blurColorTexture = 0;

  // Leaves framebuffer 0 and renderbuffer 0 bound; prints a line for each incomplete target.
  void create(int width, int height);
  void destroy();
};
