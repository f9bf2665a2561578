// Every texture of the demo is sampled the same way: linear filtering, one level, GL_CLAMP at the
// edges (the shaders keep their taps inside the edges where the border colour would show).
#pragma once

#include <GL/glew.h>

// Sets linear minification and magnification and GL_CLAMP on S and T (and R when `withR`) for
// the texture bound to `target`.
inline void setLinearClamp(GLenum target, bool withR) {
  glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP);
  if (withR) glTexParameteri(target, GL_TEXTURE_WRAP_R, GL_CLAMP);
}
