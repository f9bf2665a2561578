// Framebuffer objects through GLEW's function pointers: GLEW fills the core names only where the
// context has GL 3.0 or GL_ARB_framebuffer_object, and calling an empty one would crash.
#include "gpu/gl_platform.h"

#include <GL/glew.h>

#include <iostream>

namespace {

void GLAPIENTRY noNames(GLsizei count, GLuint* names) {
  for (GLsizei i = 0; i < count; ++i) names[i] = 0;
}
void GLAPIENTRY noBind(GLenum, GLuint) {}
void GLAPIENTRY noDelete(GLsizei, const GLuint*) {}
void GLAPIENTRY noTexture(GLenum, GLenum, GLenum, GLuint, GLint) {}
void GLAPIENTRY noRenderbufferAttachment(GLenum, GLenum, GLenum, GLuint) {}
void GLAPIENTRY noStorage(GLenum, GLenum, GLsizei, GLsizei) {}
GLenum GLAPIENTRY noStatus(GLenum) { return 0; }

}  // namespace

void useFramebufferFunctions() {
  if (__glewGenFramebuffers != nullptr && __glewBindFramebuffer != nullptr) return;
  if (__glewGenFramebuffersEXT != nullptr) {
    __glewGenFramebuffers = __glewGenFramebuffersEXT;
    __glewBindFramebuffer = __glewBindFramebufferEXT;
    __glewDeleteFramebuffers = __glewDeleteFramebuffersEXT;
    __glewFramebufferTexture2D = __glewFramebufferTexture2DEXT;
    __glewCheckFramebufferStatus = __glewCheckFramebufferStatusEXT;
    __glewGenRenderbuffers = __glewGenRenderbuffersEXT;
    __glewBindRenderbuffer = __glewBindRenderbufferEXT;
    __glewDeleteRenderbuffers = __glewDeleteRenderbuffersEXT;
    __glewRenderbufferStorage = __glewRenderbufferStorageEXT;
    __glewFramebufferRenderbuffer = __glewFramebufferRenderbufferEXT;
    return;
  }
  std::cout << "this GL has no framebuffer objects: no shadows and no blur" << std::endl;
  __glewGenFramebuffers = noNames;
  __glewBindFramebuffer = noBind;
  __glewDeleteFramebuffers = noDelete;
  __glewFramebufferTexture2D = noTexture;
  __glewCheckFramebufferStatus = noStatus;
  __glewGenRenderbuffers = noNames;
  __glewBindRenderbuffer = noBind;
  __glewDeleteRenderbuffers = noDelete;
  __glewRenderbufferStorage = noStorage;
  __glewFramebufferRenderbuffer = noRenderbufferAttachment;
}
