// Fuzzes the image path with a real GL context: any bytes go through SDL's BMP reader and our checks,
// and whatever comes out is uploaded. The first byte picks the texture side (1 to 256), the rest is the
// file. An image handed back must be truecolour and large enough, and the upload must define exactly
// the requested level.
#include <cstdint>

#include "fuzz_support.h"
#include "gpu/textures.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  openFuzzGlContext();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int side = 1 << (data[0] % 9);
  SDL_Surface* image = decodeCheckedImage(SDL_RWFromConstMem(data + 1, int(size - 1)), "fuzz.bmp", side);
  if (image == nullptr) return 0;
  FUZZ_CHECK((image->format->BytesPerPixel == 3 || image->format->BytesPerPixel == 4) && image->w >= side &&
             image->h >= side);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  uploadImage(GL_TEXTURE_2D, image, side);
  GLint width = 0, height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  FUZZ_CHECK(width == side && height == side && glGetError() == GL_NO_ERROR);
  glDeleteTextures(1, &texture);
  SDL_FreeSurface(image);
  return 0;
}
