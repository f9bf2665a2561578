// The BMP loaders against Mesa: upload formats and texels read back from GL, every message, the
// cube-face mapping, and the mended failures (no SDL shutdown, no read past a small image).
#include "gpu/textures.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
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

// A surface of 24 or 32 bits (red in the high or the low byte, alpha opaque), or of 8 bits whose
// palette holds row 0's colours and whose pixels index their column.
SDL_Surface* makeSurface(int width, int height, int bits, const Pattern& pattern, Uint32 redMask = 0xFF0000) {
  const bool rgb = bits != 8;
  SDL_Surface* s =
      SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, bits, rgb ? redMask : 0, rgb ? 0xFF00 : 0,
                           rgb ? redMask ^ 0xFF00FF : 0, bits == 32 ? 0xFF000000 : 0);
  if (!rgb) {
    SDL_Color palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = {pattern(i, 0).r, pattern(i, 0).g, pattern(i, 0).b, 0};
    SDL_SetColors(s, palette, 0, 256);
  }
  const int bytes = s->format->BytesPerPixel;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const Rgb c = pattern(x, y);
      const Uint32 value = rgb ? SDL_MapRGBA(s->format, c.r, c.g, c.b, 255) : static_cast<Uint32>(x);
      std::memcpy(static_cast<unsigned char*>(s->pixels) + y * s->pitch + x * bytes, &value, bytes);
    }
  return s;
}

void writeBmp(const fs::path& path, int width, int height, int bits, const Pattern& pattern) {
  SDL_Surface* s = makeSurface(width, height, bits, pattern);
  SDL_SaveBMP(s, path.c_str());
  SDL_FreeSurface(s);
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
    glBindTexture(GL_TEXTURE_CUBE_MAP, textures.cubeMapTexture);
    return GetCapturedStdout();
  }
  void writeFaces() {
    for (int i = 0; i < 6; ++i)
      writeBmp(dir / kFaceFiles[i], 128, 128, 24, [i](int, int) { return kFaceColours[i]; });
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
  EXPECT_TRUE(t[0] == c.r && t[1] == c.g && t[2] == c.b && t[3] == 255)
      << "texel " << x << "," << y << " is " << int(t[0]) << "," << int(t[1]) << "," << int(t[2]) << ","
      << int(t[3]);
}

void expectGradientCorners(int size) {
  std::vector<unsigned char> data = texels(GL_TEXTURE_2D, size);
  for (auto [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {37, 201}, {size - 1, size - 1}})
    expectTexel(data, size, x, y, gradient(x, y));
}

// Linear filtering, clamped coordinates: one read-back of each kind stands for the set.
void expectFilterAndWrap(GLenum target) {
  GLint filter = 0, wrap = 0;
  glGetTexParameteriv(target, GL_TEXTURE_MAG_FILTER, &filter);
  glGetTexParameteriv(target, GL_TEXTURE_WRAP_T, &wrap);
  EXPECT_EQ(filter, GL_LINEAR);
  EXPECT_EQ(wrap, GL_CLAMP);
}

// Each decoded layout with its component count: 24 or 32 bits, red in the high or the low byte.
struct Layout {
  int bits;
  Uint32 redMask;
  GLint components;
};

class UploadFormat : public TexturesTest, public testing::WithParamInterface<Layout> {};

}  // namespace

TEST_P(UploadFormat, ComponentCountAndTexelsReadBack) {
  SDL_Surface* image = makeSurface(256, 256, GetParam().bits, gradient, GetParam().redMask);
  glGenTextures(1, &textures.surfaceTexture);
  glBindTexture(GL_TEXTURE_2D, textures.surfaceTexture);
  uploadImage(GL_TEXTURE_2D, image, 256);
  SDL_FreeSurface(image);
  // The internal format is handed over as the plain component count, and GL keeps it so.
  EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_INTERNAL_FORMAT), GetParam().components);
  expectGradientCorners(256);
}

INSTANTIATE_TEST_SUITE_P(Layouts, UploadFormat,
                         testing::Values(Layout{24, 0xFF0000, 3}, Layout{24, 0xFF, 3},
                                         Layout{32, 0xFF0000, 4}, Layout{32, 0xFF, 4}),
                         [](const testing::TestParamInfo<Layout>& info) {
                           return "Bits" + std::to_string(info.param.bits) +
                                  (info.param.redMask == 0xFF ? "RedLow" : "RedHigh");
                         });

TEST_F(TexturesTest, MissingOrUndecodableFileLeavesNoTextureAndSdlRunning) {
  for (bool present : {false, true}) {
    if (present) std::ofstream(dir / "test.bmp") << "not a bitmap at all";
    const std::string out = loadSurface();
    EXPECT_EQ(out.compare(0, kLoadFailure.size(), kLoadFailure), 0) << out;
    EXPECT_GT(out.size(), kLoadFailure.size() + 1) << "SDL's error text is missing";
    EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
    EXPECT_EQ(textures.surfaceTexture, 0u);
  }
  // SDL, the window and its GL context are still there for the rest of start-up.
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
  EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_INTERNAL_FORMAT), 3);
  expectGradientCorners(256);
  expectFilterAndWrap(GL_TEXTURE_2D);
}

TEST_F(TexturesTest, PaletteImageWarnsThenUploadsConvertedToThirtyTwoBits) {
  writeBmp(dir / "test.bmp", 256, 256, 8, gradient);
  EXPECT_EQ(loadSurface(), "warning: the image is not truecolor..  this will probably break\n");
  ASSERT_NE(textures.surfaceTexture, 0u);
  EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_INTERNAL_FORMAT), 4);
  std::vector<unsigned char> data = texels(GL_TEXTURE_2D, 256);
  // Each column shows its palette entry.
  for (auto [x, y] : {std::pair{0, 0}, {255, 0}, {90, 17}, {200, 255}})
    expectTexel(data, 256, x, y, gradient(x, 0));
}

TEST_F(TexturesTest, ImageSmallerThanTheTextureIsNotReadPastItsEnd) {
  writeBmp(dir / "test.bmp", 16, 16, 24, gradient);
  EXPECT_EQ(loadSurface(),
            (dir / "test.bmp").string() + " is 16 by 16 pixels, smaller than 256 by 256: not used\n");
  EXPECT_EQ(textures.surfaceTexture, 0u);
  // A wide but short image is just as unusable.
  writeBmp(dir / "test.bmp", 512, 8, 24, gradient);
  EXPECT_NE(loadSurface().find("smaller than 256 by 256"), std::string::npos);
  EXPECT_EQ(textures.surfaceTexture, 0u);
  // So is a small cube face, which alone stays undefined.
  writeFaces();
  writeBmp(dir / "cm_back.bmp", 64, 64, 24, gradient);
  EXPECT_EQ(loadCube(),
            (dir / "cm_back.bmp").string() + " is 64 by 64 pixels, smaller than 128 by 128: not used\n");
  EXPECT_EQ(levelParameter(GL_TEXTURE_CUBE_MAP_POSITIVE_Z, GL_TEXTURE_WIDTH), 0);
}

TEST_F(TexturesTest, CubeFacesFollowTheNamedMappingAndParametersAreSet) {
  writeFaces();
  EXPECT_EQ(loadCube(), "");
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(kFaceFiles[i]);
    EXPECT_EQ(levelParameter(kFaceTargets[i], GL_TEXTURE_INTERNAL_FORMAT), 3);
    expectTexel(texels(kFaceTargets[i], 128), 128, 64, 64, kFaceColours[i]);
  }
  expectFilterAndWrap(GL_TEXTURE_CUBE_MAP);
  GLint mode = 0;
  glGetTexGeniv(GL_R, GL_TEXTURE_GEN_MODE, &mode);
  EXPECT_EQ(mode, GL_REFLECTION_MAP);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S) && glIsEnabled(GL_TEXTURE_GEN_T) &&
              glIsEnabled(GL_TEXTURE_GEN_R));
}

// The face is left undefined; the other five and the parameters are still set.
TEST_F(TexturesTest, MissingTopFacePrintsOnceAndTheOtherFiveLoad) {
  writeFaces();
  fs::remove(dir / "cm_top.bmp");
  const std::string out = loadCube();
  EXPECT_EQ(out.compare(0, kLoadFailure.size(), kLoadFailure), 0) << out;
  EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(levelParameter(kFaceTargets[i], GL_TEXTURE_WIDTH),
              kFaceTargets[i] == GL_TEXTURE_CUBE_MAP_NEGATIVE_Y ? 0 : 128)
        << kFaceFiles[i];
  expectFilterAndWrap(GL_TEXTURE_CUBE_MAP);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_R));
}

TEST_F(TexturesTest, DestroyDeletesBothTexturesAndMayRunTwice) {
  writeBmp(dir / "test.bmp", 256, 256, 24, gradient);
  writeFaces();
  loadSurface();
  loadCube();
  const GLuint surface = textures.surfaceTexture, cube = textures.cubeMapTexture;
  textures.destroy();
  EXPECT_EQ(textures.surfaceTexture | textures.cubeMapTexture, 0u);
  EXPECT_FALSE(glIsTexture(surface) || glIsTexture(cube));
  textures.destroy();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
