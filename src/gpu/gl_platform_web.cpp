// The web page's GL and image loading, in place of gl_platform.cpp: WebGL 2 and SDL through
// Emscripten. Emscripten links a C definition of a GL or SDL function in place of its own (and still
// offers its GL ones as emscripten_glXxx), so the few calls that WebGL 2 lacks or reads differently are
// adapted here, one by one, and every other file calls them exactly as on the desktop. What is
// adapted, and why, is listed in the README.
#include <GL/glew.h>
#include <SDL/SDL.h>
#include <SDL/SDL_image.h>
#include <emscripten.h>
#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include <utility>
#include <vector>

#include "gpu/gl_platform.h"
#include "gpu/shader_interface.h"

// WebGL 2 always has framebuffer objects.
void useFramebufferFunctions() {}

namespace {

// The fixed-function texture switches: the shaders sample by themselves and compute the reflection
// vector, so WebGL, which has none of them, loses nothing by skipping them.
bool fixedFunctionOnly(GLenum cap) {
  return cap == GL_TEXTURE_2D || cap == GL_TEXTURE_CUBE_MAP || cap == GL_TEXTURE_GEN_S ||
         cap == GL_TEXTURE_GEN_T || cap == GL_TEXTURE_GEN_R;
}

// Marks a surface as locked once for good: its pixels are in memory and stay there.
EM_JS(void, keepLocked, (SDL_Surface * surface), { SDL.surfaces[surface].locked = 1; });

// Emscripten's streams are numbers, 0 kept unused; closing the last open stream frees that slot too,
// and the next file would then open as stream 0, a null pointer. Takes the slot again.
EM_JS(void, reserveStreamZero, (), {
  if (SDL.rwops.length == 0) SDL.rwops.push(null);
});

// A texture that the bound framebuffer draws into must not stay bound on a unit that the program
// samples: WebGL refuses every draw then ("feedback loop"), even where the shaders never read the
// sampler in that pass, as the frame arranges. Such a texture is taken off its unit; the pass that
// reads it binds it again.
void unbindAttachedTextures() {
  GLint attached[2] = {0, 0};
  const GLenum attachments[2] = {GL_DEPTH_ATTACHMENT, GL_COLOR_ATTACHMENT0};
  for (int i = 0; i < 2; ++i) {
    GLint type = GL_NONE;
    emscripten_glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, attachments[i],
                                                     GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
    if (type == GL_TEXTURE)
      emscripten_glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, attachments[i],
                                                       GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &attached[i]);
  }
  GLint active = GL_TEXTURE0;
  emscripten_glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  for (const shader::SamplerUnit& sampler : shader::kSamplers) {
    emscripten_glActiveTexture(GL_TEXTURE0 + sampler.unit);
    GLint bound = 0;
    emscripten_glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    if (bound != 0 && (bound == attached[0] || bound == attached[1]))
      emscripten_glBindTexture(GL_TEXTURE_2D, 0);
  }
  emscripten_glActiveTexture(active);
}

// Rows of `pixels` as the unpack state lays them out (the loader sets an alignment of 1).
size_t rowBytes(GLsizei width, int bytesPerPixel) {
  GLint alignment = 4;
  emscripten_glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  size_t bytes = static_cast<size_t>(width) * bytesPerPixel;
  return (bytes + alignment - 1) / alignment * alignment;
}

}  // namespace

extern "C" {

// Emscripten's loader passes the decoded pixels through a canvas and, in a GL program, drops the
// canvas afterwards; locking it then fails, and unlocking any surface aborts, yet
// SDL_MUSTLOCK is always true there. An image is handed out locked for good, so a later lock only
// counts, and unlocking does nothing: the pixels are only read.
SDL_Surface* SDL_LoadBMP_RW(SDL_RWops* stream, int freeStream) {
  SDL_Surface* image = IMG_Load_RW(stream, freeStream);
  reserveStreamZero();
  if (image != nullptr) keepLocked(image);
  return image;
}

void SDL_UnlockSurface(SDL_Surface*) {}

void glEnable(GLenum cap) {
  if (!fixedFunctionOnly(cap)) emscripten_glEnable(cap);
}

void glDisable(GLenum cap) {
  if (!fixedFunctionOnly(cap)) emscripten_glDisable(cap);
}

void glTexGeni(GLenum, GLenum, GLint) {}

// GL_CLAMP's border colour never shows: the shaders keep their taps inside the edge texels.
void glTexParameteri(GLenum target, GLenum name, GLint value) {
  emscripten_glTexParameteri(target, name, value == GL_CLAMP ? GL_CLAMP_TO_EDGE : value);
}

void glBindFramebuffer(GLenum target, GLuint framebuffer) {
  emscripten_glBindFramebuffer(target, framebuffer);
  if (framebuffer != 0) unbindAttachedTextures();
}

void glDrawBuffer(GLenum buffer) { emscripten_glDrawBuffers(1, &buffer); }

// The values asked for (limits and the front face) are integers.
void glGetDoublev(GLenum name, GLdouble* value) {
  GLint integer = 0;
  emscripten_glGetIntegerv(name, &integer);
  *value = integer;
}

// WebGL 2 has no unsized depth renderbuffer; 24 bits is what a desktop driver gives for it.
void glRenderbufferStorage(GLenum target, GLenum format, GLsizei width, GLsizei height) {
  emscripten_glRenderbufferStorage(target, format == GL_DEPTH_COMPONENT ? GL_DEPTH_COMPONENT24 : format,
                                   width, height);
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const void* pixels) {
  if (format == GL_DEPTH_COMPONENT) {
    // A 24-bit depth texture takes 32-bit unsigned values only, and cannot be filtered: a linear
    // one is incomplete, reads 0 and the shadows vanish without an error. The shaders read texel
    // centres, where nearest and linear agree.
    emscripten_glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    emscripten_glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    std::vector<GLuint> depths;
    if (pixels != nullptr && type == GL_FLOAT) {
      const GLfloat* values = static_cast<const GLfloat*>(pixels);
      depths.resize(static_cast<size_t>(width) * height);
      for (size_t i = 0; i < depths.size(); ++i) depths[i] = static_cast<GLuint>(values[i] * 4294967295.0);
      pixels = depths.data();
    }
    emscripten_glTexImage2D(target, level, GL_DEPTH_COMPONENT24, width, height, border, GL_DEPTH_COMPONENT,
                            GL_UNSIGNED_INT, pixels);
    return;
  }
  // No BGR order in WebGL: swap red and blue into a copy.
  std::vector<unsigned char> swapped;
  if ((format == GL_BGR || format == GL_BGRA) && pixels != nullptr) {
    const int bytesPerPixel = format == GL_BGR ? 3 : 4;
    const size_t stride = rowBytes(width, bytesPerPixel);
    const unsigned char* in = static_cast<const unsigned char*>(pixels);
    swapped.assign(in, in + stride * height);
    for (GLsizei y = 0; y < height; ++y)
      for (GLsizei x = 0; x < width; ++x) {
        unsigned char* pixel = &swapped[y * stride + x * bytesPerPixel];
        std::swap(pixel[0], pixel[2]);
      }
    pixels = swapped.data();
  }
  if (format == GL_BGR) format = GL_RGB;
  if (format == GL_BGRA) format = GL_RGBA;
  // A component count (3, 4) as the internal format is GL 1.0's; WebGL 2 names it by its format.
  if (internalFormat == 3 || internalFormat == 4) internalFormat = format;
  emscripten_glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
}

}  // extern "C"
