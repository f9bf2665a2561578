// Textures decoded from BMP files with SDL: the 256x256 surface texture and the 128x128 cube map.
// A file that cannot be used prints its line and leaves its texture (or face) undefined;
// loading never shuts SDL down and never reads past the decoded image.
#pragma once

#include <GL/glew.h>
#include <SDL/SDL.h>

#include <string>

struct SceneTextures {
  static constexpr int kSurfaceSize = 256;
  static constexpr int kCubeFaceSize = 128;

  GLuint surfaceTexture = 0;
  GLuint cubeMapTexture = 0;

  // `dir` is the image directory, "res" at run time.
  void loadSurfaceTexture(const std::string& dir);
  void loadCubeMap(const std::string& dir);
  // Deletes both textures (0 is skipped) and zeroes the names.
  void destroy();
};

// Upload format chosen from the image's pixel format.
struct ImageFormat {
  GLenum format;         // GL_RGBA, GL_BGRA, GL_RGB or GL_BGR
  GLint internalFormat;  // component count, 3 or 4
};

// The format table: 3 or 4 bytes per pixel, red in the lowest byte or not. Only for truecolour.
ImageFormat chooseImageFormat(const SDL_PixelFormat& pixelFormat);

// `name` in the asset directory `dir`, joined with the platform's separator: "res\test.bmp" on
// Windows, "res/test.bmp" elsewhere; messages name the files so.
std::string assetPath(const std::string& dir, const std::string& name);

// Decodes and checks one BMP file, printing every warning on the way. Returns a truecolour image
// (anything else converted to 32 bits) at least `size` by `size` pixels, or null after printing
// why the file cannot be used. The caller frees the image.
SDL_Surface* loadCheckedImage(const std::string& path, int size);
// The same from an open stream (a file or bytes in memory), which it closes; `path` names the
// image in its lines. A null stream counts as a file that cannot be opened.
SDL_Surface* decodeCheckedImage(SDL_RWops* stream, const std::string& path, int size);

// Defines level 0 of `target` (bound beforehand) from the top-left `size` by `size` pixels of a
// truecolour image at least that large, honouring the image's row pitch.
void uploadImage(GLenum target, SDL_Surface* image, int size);
