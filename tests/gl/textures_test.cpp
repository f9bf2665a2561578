// The BMP loaders against Mesa: upload formats and texels read back from GL, every message, the
// cube-face mapping, and the mended failures (no SDL shutdown, no read past a small image).
#include "gpu/textures.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/gl_context.h"

namespace {

namespace fs = std::filesystem;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

struct Rgb {
  unsigned char r, g, b;
};
using Pattern = std::function<Rgb(int x, int y)>;  // y = 0 is the image's top row

// Every texel distinct enough to catch swapped channels, flipped rows or a shifted pitch.
Rgb gradient(int x, int y) {
  return {static_cast<unsigned char>(x), static_cast<unsigned char>(y), static_cast<unsigned char>(x ^ y)};
}
Pattern flat(Rgb colour) {
  return [colour](int, int) { return colour; };
}

void put16(std::vector<unsigned char>& out, uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}
void put32(std::vector<unsigned char>& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

// Writes an uncompressed bottom-up BMP by hand: 24-bit, 32-bit with the given channel masks
// (alpha opaque), or 8-bit with a palette holding the pattern's first 256 colours of row 0.
void writeBmp(const fs::path& path, int width, int height, int bits, const Pattern& pattern,
              uint32_t redMask = 0x00FF0000) {
  std::vector<unsigned char> header, masks, palette, pixels;
  const uint32_t blueMask = redMask == 0xFF ? 0x00FF0000 : 0xFF;
  if (bits == 32) {
    put32(masks, redMask);
    put32(masks, 0x0000FF00);
    put32(masks, blueMask);
    put32(masks, 0xFF000000);
  }
  if (bits == 8)
    for (int i = 0; i < 256; ++i) {
      Rgb c = pattern(i, 0);
      palette.insert(palette.end(), {c.b, c.g, c.r, 0});
    }
  int rowBytes = (width * bits / 8 + 3) & ~3;
  for (int y = height - 1; y >= 0; --y) {
    size_t start = pixels.size();
    for (int x = 0; x < width; ++x) {
      Rgb c = pattern(x, y);
      if (bits == 8) {
        pixels.push_back(static_cast<unsigned char>(x));  // palette index: column
      } else if (bits == 24) {
        pixels.insert(pixels.end(), {c.b, c.g, c.r});
      } else {
        uint32_t shiftR = redMask == 0xFF ? 0 : 16, shiftB = redMask == 0xFF ? 16 : 0;
        put32(pixels,
              (uint32_t(c.r) << shiftR) | (uint32_t(c.g) << 8) | (uint32_t(c.b) << shiftB) | 0xFF000000u);
      }
    }
    pixels.resize(start + rowBytes, 0);
  }
  uint32_t offset = 14 + 40 + masks.size() + palette.size();
  header.insert(header.end(), {'B', 'M'});
  put32(header, offset + pixels.size());
  put32(header, 0);
  put32(header, offset);
  put32(header, 40);
  put32(header, width);
  put32(header, height);
  put16(header, 1);
  put16(header, bits);
  put32(header, bits == 32 ? 3 : 0);  // BI_BITFIELDS carries the masks, BI_RGB the rest
  put32(header, pixels.size());
  put32(header, 2835);
  put32(header, 2835);
  put32(header, bits == 8 ? 256 : 0);
  put32(header, 0);
  std::ofstream file(path, std::ios::binary);
  for (const auto* part : {&header, &masks, &palette, &pixels})
    file.write(reinterpret_cast<const char*>(part->data()), part->size());
}

const char* const kFaceFiles[] = {"cm_left.bmp", "cm_right.bmp", "cm_bottom.bmp",
                                  "cm_top.bmp",  "cm_back.bmp",  "cm_front.bmp"};
const GLenum kFaceTargets[] = {GL_TEXTURE_CUBE_MAP_POSITIVE_X, GL_TEXTURE_CUBE_MAP_NEGATIVE_X,
                               GL_TEXTURE_CUBE_MAP_POSITIVE_Y, GL_TEXTURE_CUBE_MAP_NEGATIVE_Y,
                               GL_TEXTURE_CUBE_MAP_POSITIVE_Z, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z};
const Rgb kFaceColours[] = {{200, 0, 0},   {0, 200, 0},   {0, 0, 200},
                            {200, 200, 0}, {0, 200, 200}, {200, 0, 200}};

const std::string kLoadFailure = "SDL could not load image.bmp: ";

class TexturesTest : public GlContextTest {
 protected:
  fs::path dir;
  SceneTextures textures;

  void SetUp() override {
    GlContextTest::SetUp();
    char pattern[] = "/tmp/lumarok_textures_XXXXXX";
    dir = mkdtemp(pattern);
  }
  void TearDown() override {
    textures.destroy();
    GlContextTest::TearDown();
    fs::remove_all(dir);
  }
  std::string loadSurface() {
    CaptureStdout();
    textures.loadSurfaceTexture(dir.string());
    return GetCapturedStdout();
  }
  std::string loadCube() {
    CaptureStdout();
    textures.loadCubeMap(dir.string());
    return GetCapturedStdout();
  }
  void writeFaces(int size = SceneTextures::kCubeFaceSize) {
    for (int i = 0; i < 6; ++i) writeBmp(dir / kFaceFiles[i], size, size, 24, flat(kFaceColours[i]));
  }
};

GLint levelParameter(GLenum target, GLenum name) {
  GLint value = -1;
  glGetTexLevelParameteriv(target, 0, name, &value);
  return value;
}

// Level 0 of the bound texture as RGBA, top image row first.
std::vector<unsigned char> texels(GLenum target, int size) {
  std::vector<unsigned char> data(static_cast<size_t>(size) * size * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(target, 0, GL_RGBA, GL_UNSIGNED_BYTE, data.data());
  return data;
}

void expectTexel(const std::vector<unsigned char>& data, int size, int x, int y, Rgb c) {
  const unsigned char* t = &data[(static_cast<size_t>(y) * size + x) * 4];
  EXPECT_EQ(t[0], c.r) << "red at " << x << "," << y;
  EXPECT_EQ(t[1], c.g) << "green at " << x << "," << y;
  EXPECT_EQ(t[2], c.b) << "blue at " << x << "," << y;
  EXPECT_EQ(t[3], 255) << "alpha at " << x << "," << y;
}

void expectGradientCorners(int size) {
  std::vector<unsigned char> data = texels(GL_TEXTURE_2D, size);
  for (auto [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {37, 201}, {size - 1, size - 1}})
    expectTexel(data, size, x, y, gradient(x, y));
}

}  // namespace

TEST_F(TexturesTest, TwentyFourBitBgrImageUploadsAsThreeComponents) {
  writeBmp(dir / "test.bmp", 256, 256, 24, gradient);
  EXPECT_EQ(loadSurface(), "");
  ASSERT_NE(textures.surfaceTexture, 0u);
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), textures.surfaceTexture);
  // The internal format is handed over as the plain component count, and GL keeps it so.
  EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_INTERNAL_FORMAT), 3);
  EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_ALPHA_SIZE), 0);
  EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_WIDTH), 256);
  EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_HEIGHT), 256);
  expectGradientCorners(256);
  GLint value = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
  EXPECT_EQ(value, GL_LINEAR);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
  EXPECT_EQ(value, GL_LINEAR);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
  EXPECT_EQ(value, GL_CLAMP);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
  EXPECT_EQ(value, GL_CLAMP);
}

TEST_F(TexturesTest, ThirtyTwoBitImagesUploadAsFourComponentsInEitherChannelOrder) {
  for (uint32_t redMask : {0x00FF0000u, 0x000000FFu}) {
    SCOPED_TRACE(redMask);
    writeBmp(dir / "test.bmp", 256, 256, 32, gradient, redMask);
    EXPECT_EQ(loadSurface(), "");
    ASSERT_NE(textures.surfaceTexture, 0u);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_INTERNAL_FORMAT), 4);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_ALPHA_SIZE), 8);
    expectGradientCorners(256);
    textures.destroy();
  }
}

TEST_F(TexturesTest, RedInLowestByteOfTwentyFourBitsUploadsAsRgb) {
  // No BMP decodes this way, but the table allows it: upload such a surface directly.
  SDL_Surface* image = SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 8, 24, 0xFF, 0xFF00, 0xFF0000, 0);
  ASSERT_NE(image, nullptr);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      Rgb c = gradient(x * 30, y * 30);
      unsigned char* p = static_cast<unsigned char*>(image->pixels) + y * image->pitch + x * 3;
      p[0] = c.r, p[1] = c.g, p[2] = c.b;
    }
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  uploadImage(GL_TEXTURE_2D, image, 8);
  SDL_FreeSurface(image);
  EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_INTERNAL_FORMAT), 3);
  EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_ALPHA_SIZE), 0);
  std::vector<unsigned char> data = texels(GL_TEXTURE_2D, 8);
  expectTexel(data, 8, 0, 0, gradient(0, 0));
  expectTexel(data, 8, 7, 2, gradient(210, 60));
  glDeleteTextures(1, &texture);
}

TEST_F(TexturesTest, MissingOrUndecodableFileLeavesNoTextureAndSdlRunning) {
  std::string out = loadSurface();
  EXPECT_EQ(out.compare(0, kLoadFailure.size(), kLoadFailure), 0) << out;
  EXPECT_GT(out.size(), kLoadFailure.size() + 1) << "SDL's error text is missing";
  EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
  EXPECT_EQ(textures.surfaceTexture, 0u);

  std::ofstream(dir / "test.bmp") << "not a bitmap at all";
  out = loadSurface();
  EXPECT_EQ(out.compare(0, kLoadFailure.size(), kLoadFailure), 0) << out;
  EXPECT_EQ(textures.surfaceTexture, 0u);

  // SDL, the window and its GL context are still there for the rest of start-up.
  EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  EXPECT_NE(SDL_GetVideoSurface(), nullptr);
  glClear(GL_COLOR_BUFFER_BIT);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TexturesTest, SidesNotPowersOfTwoWarnAndTheTopLeftWindowIsUsed) {
  // 301 * 3 bytes leaves padding at each row's end: the upload must follow the real pitch.
  writeBmp(dir / "test.bmp", 301, 257, 24, gradient);
  EXPECT_EQ(loadSurface(),
            "warning: image.bmp's width is not a power of 2\n"
            "warning: image.bmp's height is not a power of 2\n");
  ASSERT_NE(textures.surfaceTexture, 0u);
  expectGradientCorners(256);
}

TEST_F(TexturesTest, PaletteImageWarnsThenUploadsConvertedToThirtyTwoBits) {
  writeBmp(dir / "test.bmp", 256, 256, 8, gradient);
  EXPECT_EQ(loadSurface(), "warning: the image is not truecolor..  this will probably break\n");
  ASSERT_NE(textures.surfaceTexture, 0u);
  EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_INTERNAL_FORMAT), 4);
  EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_ALPHA_SIZE), 8);
  std::vector<unsigned char> data = texels(GL_TEXTURE_2D, 256);
  // Each column shows its palette entry.
  for (auto [x, y] : {std::pair{0, 0}, {255, 0}, {90, 17}, {200, 255}})
    expectTexel(data, 256, x, y, gradient(x, 0));
}

TEST_F(TexturesTest, ImageSmallerThanTheTextureIsNotReadPastItsEnd) {
  writeBmp(dir / "test.bmp", 16, 16, 24, gradient);
  std::string out = loadSurface();
  EXPECT_EQ(out, (dir / "test.bmp").string() + " is 16 by 16 pixels, smaller than 256 by 256: not used\n");
  EXPECT_EQ(textures.surfaceTexture, 0u);
  // A wide but short image is just as unusable.
  writeBmp(dir / "test.bmp", 512, 8, 24, gradient);
  out = loadSurface();
  EXPECT_NE(out.find("smaller than 256 by 256"), std::string::npos) << out;
  EXPECT_EQ(textures.surfaceTexture, 0u);
}

TEST_F(TexturesTest, CubeFacesFollowTheNamedMappingAndParametersAreSet) {
  writeFaces();
  EXPECT_EQ(loadCube(), "");
  ASSERT_NE(textures.cubeMapTexture, 0u);
  GLint bound = -1;
  glGetIntegerv(GL_TEXTURE_BINDING_CUBE_MAP, &bound);
  EXPECT_EQ(bound, 0);
  glBindTexture(GL_TEXTURE_CUBE_MAP, textures.cubeMapTexture);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(kFaceFiles[i]);
    EXPECT_EQ(levelParameter(kFaceTargets[i], GL_TEXTURE_INTERNAL_FORMAT), 3);
    EXPECT_EQ(levelParameter(kFaceTargets[i], GL_TEXTURE_ALPHA_SIZE), 0);
    EXPECT_EQ(levelParameter(kFaceTargets[i], GL_TEXTURE_WIDTH), 128);
    std::vector<unsigned char> data = texels(kFaceTargets[i], 128);
    expectTexel(data, 128, 64, 64, kFaceColours[i]);
  }
  GLint value = 0;
  for (GLenum name : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER}) {
    glGetTexParameteriv(GL_TEXTURE_CUBE_MAP, name, &value);
    EXPECT_EQ(value, GL_LINEAR);
  }
  for (GLenum name : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R}) {
    glGetTexParameteriv(GL_TEXTURE_CUBE_MAP, name, &value);
    EXPECT_EQ(value, GL_CLAMP);
  }
  for (GLenum coord : {GL_S, GL_T, GL_R}) {
    glGetTexGeniv(coord, GL_TEXTURE_GEN_MODE, &value);
    EXPECT_EQ(value, GL_REFLECTION_MAP);
  }
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_T));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_R));
}

TEST_F(TexturesTest, MissingTopFacePrintsOnceAndTheOtherFivesLoad) {
  writeFaces();
  fs::remove(dir / "cm_top.bmp");
  std::string out = loadCube();
  EXPECT_EQ(out.compare(0, kLoadFailure.size(), kLoadFailure), 0) << out;
  EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
  glBindTexture(GL_TEXTURE_CUBE_MAP, textures.cubeMapTexture);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(levelParameter(kFaceTargets[i], GL_TEXTURE_WIDTH),
              kFaceTargets[i] == GL_TEXTURE_CUBE_MAP_NEGATIVE_Y ? 0 : 128)
        << kFaceFiles[i];
  GLint value = 0;
  glGetTexParameteriv(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, &value);
  EXPECT_EQ(value, GL_CLAMP);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_R));
  EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}

TEST_F(TexturesTest, SmallCubeFaceIsLeftUndefined) {
  writeFaces();
  writeBmp(dir / "cm_back.bmp", 64, 64, 24, gradient);
  std::string out = loadCube();
  EXPECT_EQ(out, (dir / "cm_back.bmp").string() + " is 64 by 64 pixels, smaller than 128 by 128: not used\n");
  glBindTexture(GL_TEXTURE_CUBE_MAP, textures.cubeMapTexture);
  EXPECT_EQ(levelParameter(GL_TEXTURE_CUBE_MAP_POSITIVE_Z, GL_TEXTURE_WIDTH), 0);
  EXPECT_EQ(levelParameter(GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, GL_TEXTURE_WIDTH), 128);
}

TEST_F(TexturesTest, DestroyDeletesBothTexturesAndMayRunTwice) {
  writeBmp(dir / "test.bmp", 256, 256, 24, gradient);
  writeFaces();
  loadSurface();
  loadCube();
  GLuint surface = textures.surfaceTexture, cube = textures.cubeMapTexture;
  textures.destroy();
  EXPECT_EQ(textures.surfaceTexture, 0u);
  EXPECT_EQ(textures.cubeMapTexture, 0u);
  EXPECT_FALSE(glIsTexture(surface));
  EXPECT_FALSE(glIsTexture(cube));
  textures.destroy();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
