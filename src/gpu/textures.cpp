// BMP images into GL textures: one loader checks every file the same way, then the surface
// texture and the six cube faces are uploaded at their fixed sizes. An unusable file costs only
// its own texture or face; SDL and the GL context stay up for the rest of start-up.
#include "gpu/textures.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "gpu/texture_parameters.h"

namespace {

struct CubeFace {
  GLenum target;
  const char* file;
};
// Deliberate: the image named left fills positive X (not negative X), bottom positive Y and back
// positive Z; the shipped images are drawn for this mapping.
constexpr CubeFace kCubeFaces[] = {
    {GL_TEXTURE_CUBE_MAP_POSITIVE_X, "cm_left.bmp"},   {GL_TEXTURE_CUBE_MAP_NEGATIVE_X, "cm_right.bmp"},
    {GL_TEXTURE_CUBE_MAP_POSITIVE_Y, "cm_bottom.bmp"}, {GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, "cm_top.bmp"},
    {GL_TEXTURE_CUBE_MAP_POSITIVE_Z, "cm_back.bmp"},   {GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, "cm_front.bmp"},
};

bool isPowerOfTwo(int side) { return (side & (side - 1)) == 0; }

// 8-bit palette and 16-bit images become 32-bit with red in the lowest byte (GL_RGBA), opaque.
SDL_Surface* convertToTruecolor(SDL_Surface* image) {
  SDL_Surface* model =
      SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
  if (model == nullptr) return nullptr;
  SDL_Surface* converted = SDL_ConvertSurface(image, model->format, SDL_SWSURFACE);
  SDL_FreeSurface(model);
  return converted;
}

// SDL 1.2's BMP reader can hand back a surface whose format fields contradict each other (bytes
// per pixel beyond 4, a pitch shorter than a row) for a malformed header; converting or reading
// such a surface crashes, so it is refused.
bool consistentSurface(const SDL_Surface& image) {
  const SDL_PixelFormat& format = *image.format;
  int bytes = format.BytesPerPixel;
  if (image.pixels == nullptr || image.w < 1 || image.h < 1 || bytes < 1 || bytes > 4) return false;
  if (format.BitsPerPixel > bytes * 8 || format.BitsPerPixel <= (bytes - 1) * 8) return false;
  if (bytes == 1 && format.palette == nullptr) return false;
  return image.pitch >= static_cast<long long>(image.w) * bytes;
}

}  // namespace

ImageFormat chooseImageFormat(const SDL_PixelFormat& pixelFormat) {
  bool redLowest = pixelFormat.Rmask == 0xFF;
  if (pixelFormat.BytesPerPixel == 4) return {static_cast<GLenum>(redLowest ? GL_RGBA : GL_BGRA), 4};
  return {static_cast<GLenum>(redLowest ? GL_RGB : GL_BGR), 3};
}

SDL_Surface* loadCheckedImage(const std::string& path, int size) {
  return decodeCheckedImage(SDL_RWFromFile(path.c_str(), "rb"), path, size);
}

SDL_Surface* decodeCheckedImage(SDL_RWops* stream, const std::string& path, int size) {
  SDL_Surface* image = stream != nullptr ? SDL_LoadBMP_RW(stream, 1) : nullptr;
  if (image == nullptr) {
    // SDL stays up: the rest of start-up still needs the window and its GL context.
    printf("SDL could not load image.bmp: %s\n", SDL_GetError());
    return nullptr;
  }
  if (!consistentSurface(*image)) {
    printf("%s: the decoded image is unusable (%d bits, %d bytes per pixel, %d bytes per row)\n",
           path.c_str(), image->format->BitsPerPixel, image->format->BytesPerPixel, image->pitch);
    SDL_FreeSurface(image);
    return nullptr;
  }
  if (!isPowerOfTwo(image->w)) printf("warning: image.bmp's width is not a power of 2\n");
  if (!isPowerOfTwo(image->h)) printf("warning: image.bmp's height is not a power of 2\n");
  int bytesPerPixel = image->format->BytesPerPixel;
  if (bytesPerPixel != 3 && bytesPerPixel != 4) {
    printf("warning: the image is not truecolor..  this will probably break\n");
    SDL_Surface* converted = convertToTruecolor(image);
    SDL_FreeSurface(image);
    if (converted == nullptr) {
      printf("SDL could not convert %s to 32 bits: %s\n", path.c_str(), SDL_GetError());
      return nullptr;
    }
    image = converted;
  }
  if (image->w < size || image->h < size) {
    printf("%s is %d by %d pixels, smaller than %d by %d: not used\n", path.c_str(), image->w, image->h, size,
           size);
    SDL_FreeSurface(image);
    return nullptr;
  }
  return image;
}

void uploadImage(GLenum target, SDL_Surface* image, int size) {
  ImageFormat format = chooseImageFormat(*image->format);
  size_t rowBytes = static_cast<size_t>(size) * image->format->BytesPerPixel;
  // Copy the top-left window row by row: the image's rows may be wider or padded, and it must
  // never be read past its last row.
  std::vector<unsigned char> texels(rowBytes * size);
  if (SDL_MUSTLOCK(image)) SDL_LockSurface(image);
  const unsigned char* pixels = static_cast<const unsigned char*>(image->pixels);
  for (int row = 0; row < size; ++row)
    std::memcpy(&texels[row * rowBytes], pixels + static_cast<size_t>(row) * image->pitch, rowBytes);
  if (SDL_MUSTLOCK(image)) SDL_UnlockSurface(image);
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(target, 0, format.internalFormat, size, size, 0, format.format, GL_UNSIGNED_BYTE,
               texels.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

std::string assetPath(const std::string& dir, const std::string& name) {
  return (std::filesystem::path(dir) / name).string();
}

void SceneTextures::loadSurfaceTexture(const std::string& dir) {
  SDL_Surface* image = loadCheckedImage(assetPath(dir, "test.bmp"), kSurfaceSize);
  if (image == nullptr) {
    // No texture of our own: the default texture, which the frame then binds, becomes plain stone
    // grey, so ground and cubes still show their lighting and shadows instead of black.
    const unsigned char stoneGrey[3] = {153, 153, 153};
    glBindTexture(GL_TEXTURE_2D, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, stoneGrey);
    return;
  }
  glGenTextures(1, &surfaceTexture);
  glBindTexture(GL_TEXTURE_2D, surfaceTexture);
  setLinearClamp(GL_TEXTURE_2D, false);
  uploadImage(GL_TEXTURE_2D, image, kSurfaceSize);
  SDL_FreeSurface(image);
}

void SceneTextures::loadCubeMap(const std::string& dir) {
  glGenTextures(1, &cubeMapTexture);
  glBindTexture(GL_TEXTURE_CUBE_MAP, cubeMapTexture);
  for (const CubeFace& face : kCubeFaces) {
    SDL_Surface* image = loadCheckedImage(assetPath(dir, face.file), kCubeFaceSize);
    if (image == nullptr) continue;  // this face stays undefined
    uploadImage(face.target, image, kCubeFaceSize);
    SDL_FreeSurface(image);
  }
  setLinearClamp(GL_TEXTURE_CUBE_MAP, true);
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_REFLECTION_MAP);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_REFLECTION_MAP);
  glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, GL_REFLECTION_MAP);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
  glEnable(GL_TEXTURE_GEN_R);
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
}

void SceneTextures::destroy() {
  if (surfaceTexture != 0) glDeleteTextures(1, &surfaceTexture);
  if (cubeMapTexture != 0) glDeleteTextures(1, &cubeMapTexture);
  surfaceTexture = 0;
  cubeMapTexture = 0;
}
