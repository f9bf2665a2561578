// The frame's passes on the demo's own start-up, with its shaders and images from the run directory:
// what each pass hands the shaders, how far the blur of a jump reaches, images of every layout
// uploaded into textures. The golden frames judge the rest: the targets drawn into, the cube map's
// faces (seen mirrored in the reflection), the start-up's lines (the demo tests).
#include "frame/render_passes.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <vector>

#include "app/demo_app.h"
#include "gpu/shader_interface.h"
#include "gpu/shader_program.h"
#include "gpu/textures.h"
#include "physics/physics.h"

namespace {

using namespace shader;

// What GL holds at each pass marker: the values the pass before it handed over.
struct PassValues {
  std::vector<float> switches;  // pass number, shadows, reflection share, texture share, blur
  glm::mat4 view, oldView, oldModel;
};
constexpr int kWidth = 256, kHeight = 192;
std::vector<PassValues> gPasses;
std::vector<unsigned char> gPixels;  // the window's, after the last pass and before the swap

void atPassMarker(int pass, void* programName) {
  const GLuint program = *static_cast<GLuint*>(programName);
  PassValues& v = gPasses.emplace_back();
  for (const char* name : {kPass, kShadowOn, kCubeMapFactor, kTextureFactor, kMotionBlur}) {
    float value[4];
    glGetVertexAttribfv(glGetAttribLocation(program, name), GL_CURRENT_VERTEX_ATTRIB, value);
    v.switches.push_back(value[0]);
  }
  glGetUniformfv(program, glGetUniformLocation(program, kViewMatrix), glm::value_ptr(v.view));
  glGetUniformfv(program, glGetUniformLocation(program, kViewMatrixOld), glm::value_ptr(v.oldView));
  glGetUniformfv(program, glGetUniformLocation(program, kModelMatrixOld), glm::value_ptr(v.oldModel));
  if (pass < 3) return;
  gPixels.resize(kWidth * kHeight * 4);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, gPixels.data());
}

class FrameTest : public testing::Test {
 protected:
  OptionMap options{{"w", std::to_string(kWidth)}, {"h", std::to_string(kHeight)}};
  DemoApp app;

  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "x11", 0);
    ASSERT_EQ(chdir(LUMAROK_BINARY_DIR), 0);  // the run directory, with shaders/ and res/
    app.options = &options;
    app.passMarker = atPassMarker;
    app.passMarkerUser = &app.program.shaderProgram;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(app.init());
    testing::internal::GetCapturedStdout();
  }
  void TearDown() override { app.shutdown(); }

  void frame() { gPasses.clear(), app.drawFrame(); }
};

// Each switch on alone; a switch held at 2 (all three at once) counts as off.
class FramePassValues : public FrameTest, public testing::WithParamInterface<FrameSwitches> {};

TEST_P(FramePassValues, EachPassHandsTheShadersItsValues) {
  app.controls.shadowSwitch = GetParam().shadowSwitch;
  app.controls.cubeMapSwitch = GetParam().cubeMapSwitch;
  app.controls.blurSwitch = GetParam().blurSwitch;
  app.controls.offsetX = 1;  // the camera moves in this frame, away from the view the history holds
  frame();
  ASSERT_EQ(gPasses.size(), 4u);
  const float shadows = GetParam().shadowSwitch == 1, reflect = GetParam().cubeMapSwitch == 1,
              blur = GetParam().blurSwitch == 1;
  // From the light, without blur: the shadow pass would sample the target it draws into.
  EXPECT_TRUE(gPasses[1].switches[0] == 1 && gPasses[1].switches[4] == 0) << "shadow pass";
  EXPECT_EQ(gPasses[1].view, app.scene.lightViewMatrix);
  // The image for the blur: always with shadows, never blurred itself.
  EXPECT_EQ(gPasses[2].switches, (std::vector<float>{2, 1, reflect, 1 - reflect, 0})) << "off-screen pass";
  EXPECT_EQ(gPasses[2].view, app.scene.viewMatrix);
  // The final pass, as the sphere (drawn last) has it, with the oldest snapshot of the sphere and the view.
  EXPECT_EQ(gPasses[3].switches, (std::vector<float>{2, shadows, reflect, 1 - reflect, blur}))
      << "final pass";
  EXPECT_EQ(gPasses[3].view, app.scene.viewMatrix);
  ASSERT_NE(app.history.oldest().view, app.scene.viewMatrix);
  EXPECT_EQ(gPasses[3].oldView, app.history.oldest().view);
  EXPECT_EQ(gPasses[3].oldModel, app.history.oldest().model);
  EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL)) << "the shadow pass's offset stays in it";
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

std::string switchName(const testing::TestParamInfo<FrameSwitches>& info) {
  const char* names[] = {"ShadowsOn", "ReflectionOn", "BlurOn", "AllHeldAtTwo"};
  return names[info.index];
}
INSTANTIATE_TEST_SUITE_P(SwitchStates, FramePassValues,
                         testing::Values(FrameSwitches{1, 0, 0}, FrameSwitches{0, 1, 0},
                                         FrameSwitches{0, 0, 1}, FrameSwitches{2, 2, 2}),
                         switchName);

// A jump of 100 units since the oldest snapshot (a teleport, a camera cut): the blur is drawn out to
// the longest the shader allows, 40 pixels, and no further; unclamped, the sphere would thin away.
TEST_F(FrameTest, BlurOfAJumpReachesItsClampedLength) {
  frame();
  const std::vector<unsigned char> still = gPixels;
  app.history.reset();
  app.history.record(glm::translate(glm::mat4(1.0f), spherePosition() + glm::vec3(100, 0, 0)),
                     app.scene.viewMatrix, app.scene.projMatrix);
  app.controls.blurSwitch = 1;
  frame();
  const auto project = [&](glm::vec3 p) {
    return glm::vec2(
        glm::project(p, app.scene.viewMatrix, app.scene.projMatrix, glm::vec4(0, 0, kWidth, kHeight)));
  };
  const glm::vec2 centre = project(spherePosition());
  const float radius = glm::length(project(spherePosition() + glm::vec3(0, 0.5f, 0)) - centre);
  float reach = 0;  // of the farthest changed pixel from the sphere's centre
  for (size_t i = 0; i < still.size() / 4; ++i)
    for (size_t c = i * 4; c < i * 4 + 3; ++c)
      if (std::abs(still[c] - gPixels[c]) > 3) {
        reach = std::max(reach, glm::length(glm::vec2(i % kWidth + 0.5f, i / kWidth + 0.5f) - centre));
        break;
      }
  EXPECT_GT(reach, radius + 30.0f);
  EXPECT_LT(reach, radius * 1.2f + 42.0f);  // the outline stretched a little by the perspective
}

// A GL 2.x context may have no texture units in the vertex stage, and a program that reads a texture
// there would not link. The shaders as such a context compiles them must link and read neither the
// environment nor the blur image, so the rest of the picture still draws.
TEST_F(FrameTest, WithoutVertexTextureUnitsTheProgramStillLinksAndReadsNoTexturePerVertex) {
  std::string text = readTextFile("shaders/vertexShader.txt");
  const std::string limit = "gl_MaxVertexTextureImageUnits";
  ASSERT_NE(text.find(limit), std::string::npos);
  for (size_t at; (at = text.find(limit)) != std::string::npos;) text.replace(at, limit.size(), "0");
  const std::string path = testing::TempDir() + "lumarok-no-vertex-textures.txt";
  ASSERT_TRUE(std::ofstream(path) << text);
  ShaderProgram program;
  testing::internal::CaptureStdout();
  program.load(path, "shaders/fragmentShader.txt");
  EXPECT_NE(testing::internal::GetCapturedStdout().find("GELINKT"), std::string::npos);
  EXPECT_EQ(glGetUniformLocation(program.shaderProgram, kCubeSampler), -1);
  EXPECT_EQ(glGetUniformLocation(program.shaderProgram, kBlurSampler), -1);
  EXPECT_NE(glGetUniformLocation(program.shaderProgram, kSurfaceSampler), -1);
  program.destroy();
  glUseProgram(app.program.shaderProgram);
}

// Each decoded layout (24 or 32 bits, red in the high or the low byte, rows padded as 301 * 3 bytes
// are or not, larger than the texture) uploads its top-left window texel for texel.
TEST_F(FrameTest, EveryImageLayoutUploadsItsTopLeftWindowTexelForTexel) {
  const Uint32 hi = 0xFF0000, lo = 0xFF;  // red in the high or the low byte
  const struct {
    int bits, width, height;
    Uint32 redMask;
  } rows[] = {
      {24, 256, 256, hi}, {24, 256, 256, lo}, {32, 256, 256, hi}, {32, 256, 256, lo}, {24, 301, 257, hi}};
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
}

}  // namespace
