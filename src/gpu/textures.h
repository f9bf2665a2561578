// Textures decoded from BMP files with SDL: the 256x256 surface texture and the 128x128 cube map.
// A file that cannot be used prints its line and leaves its texture (or face) undefined;
// loading never shuts SDL down and never reads past the decoded image.
#pragma once

#include <GL/glew.h>
#include <SDL/SDL.h>

#include <string>

struct SceneTextures {
  GLuint surfaceTexture = 0;
  GLuint cubeMapTexture = 0;

  // `dir` is the image directory, "res" at run time.
  void loadSurfaceTexture(const std::string& dir);
  void loadCubeMap(const std::string& dir);
  void destroy();
};

// Upload format chosen from the image's pixel format.
struct ImageFormat {
  GLenum format;         // GL_RGBA, GL_BGRA, GL_RGB or GL_BGR
  GLint internalFormat;  // component count, 3 or 4
};
