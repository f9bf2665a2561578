// Images into textures against Mesa: each decoded layout (24 or 32 bits, red in the high or the low
// byte, rows padded or not, larger than the texture) uploads its top-left window texel for texel.
#include "gpu/textures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(Textures, EveryLayoutUploadsItsTopLeftWindowTexelForTexel) {
  setenv("SDL_VIDEODRIVER", "x11", 0);
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  ASSERT_NE(SDL_SetVideoMode(64, 64, 32, SDL_OPENGL), nullptr) << SDL_GetError();
  ASSERT_EQ(glewInit(), static_cast<GLenum>(GLEW_OK));
  const struct {
    int bits, width, height;
    Uint32 redMask;
  } rows[] = {{24, 256, 256, 0xFF0000},
              {24, 256, 256, 0xFF},
              {32, 256, 256, 0xFF0000},
              {32, 256, 256, 0xFF},
              {24, 301, 257, 0xFF0000}};  // 301 * 3 bytes: each row padded
  // Every texel distinct enough to catch swapped channels, flipped rows or a wrong pitch.
  const auto colour = [](int x, int y) { return std::vector<int>{x & 0xFF, y & 0xFF, (x ^ y) & 0xFF, 255}; };
  for (const auto& row : rows) {
    SDL_Surface* image =
        SDL_CreateRGBSurface(SDL_SWSURFACE, row.width, row.height, row.bits, row.redMask, 0xFF00,
                             row.redMask ^ 0xFF00FF, row.bits == 32 ? 0xFF000000 : 0);
    for (int y = 0; y < row.height; ++y)
      for (int x = 0; x < row.width; ++x) {
        const std::vector<int> c = colour(x, y);
        const Uint32 value = SDL_MapRGBA(image->format, c[0], c[1], c[2], 255);
        std::memcpy(static_cast<char*>(image->pixels) + y * image->pitch + x * row.bits / 8, &value,
                    row.bits / 8);
      }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    uploadImage(GL_TEXTURE_2D, image, 256);
    SDL_FreeSurface(image);
    GLint components = 0;  // handed over as the plain count
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &components);
    EXPECT_EQ(components, row.bits / 8) << row.bits << " bits";
    std::vector<unsigned char> texels(256 * 256 * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    for (auto [x, y] : {std::pair{0, 0}, {255, 0}, {0, 255}, {37, 201}, {255, 255}})
      EXPECT_EQ(std::vector<int>(&texels[(y * 256 + x) * 4], &texels[(y * 256 + x) * 4 + 4]), colour(x, y))
          << row.bits << " bits, " << row.width << " wide, texel " << x << "," << y;
    glDeleteTextures(1, &texture);
  }
  SDL_Quit();
}
