// The generated cube faces loaded by the real loader and sampled by the driver: every direction
// must show what the environment function says it sees, so the sphere reflects sky above and
// ground below. Also holds the real shaders' interface against the table.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "gpu/shader_interface.h"
#include "gpu/shader_program.h"
#include "gpu/textures.h"
#include "scene_images.h"
#include "support/gl_context.h"

namespace {

GLuint compile(GLenum type, const char* source) {
  GLuint shader = glCreateShader(type);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  return shader;
}

const char* const kLookupVertex = R"(#version 130
in vec3 direction;
out vec3 v_direction;
uniform vec2 window;
void main() {
  // One point per direction, on its own pixel along the bottom rows.
  float i = float(gl_VertexID);
  vec2 pixel = vec2(mod(i, window.x), floor(i / window.x)) + 0.5;
  gl_Position = vec4(pixel / window * 2.0 - 1.0, 0.0, 1.0);
  v_direction = direction;
})";

const char* const kLookupFragment = R"(#version 130
uniform samplerCube cubeTex;
in vec3 v_direction;
void main() { gl_FragColor = textureLod(cubeTex, v_direction, 0.0); })";

class CubeEnvironmentTest : public GlContextTest {};

TEST_F(CubeEnvironmentTest, DriverSamplesTheEnvironmentInEveryDirection) {
  char pattern[] = "/tmp/lumarok-cube-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  for (const images::CubeFace& face : images::kCubeFaces)
    images::writeFile(dir + "/" + face.fileName,
                      images::encodeBmp(images::renderFace(face, images::kFaceSize)));
  SceneTextures textures;
  testing::internal::CaptureStdout();
  textures.loadCubeMap(dir);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  for (const images::CubeFace& face : images::kCubeFaces) std::remove((dir + "/" + face.fileName).c_str());
  rmdir(dir.c_str());

  // Nearly straight up and down (off the field boundaries under the nadir), then a spiral over the sphere.
  std::vector<images::Vec3> directions = {{0.2f, 1, 0.1f}, {0.3f, -1, 0.2f}};
  const int count = 500;
  for (int i = 0; i < count; ++i) {
    const float y = 1.0f - 2.0f * (i + 0.5f) / count, radius = std::sqrt(1.0f - y * y), angle = 2.39996f * i;
    directions.push_back({radius * std::cos(angle), y, radius * std::sin(angle)});
  }

  GLuint program = glCreateProgram();
  GLuint vs = compile(GL_VERTEX_SHADER, kLookupVertex), fs = compile(GL_FRAGMENT_SHADER, kLookupFragment);
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  glBindAttribLocation(program, 0, "direction");
  glLinkProgram(program);
  glUseProgram(program);
  glUniform2f(glGetUniformLocation(program, "window"), kWidth, kHeight);
  glBindTexture(GL_TEXTURE_CUBE_MAP, textures.cubeMapTexture);
  glDisable(GL_DEPTH_TEST);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(images::Vec3), directions.data());
  glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(directions.size()));
  glDisableVertexAttribArray(0);
  const std::vector<unsigned char> pixels = readPixels(0, 0, kWidth, 4);

  int far = 0;
  for (size_t i = 0; i < directions.size(); ++i) {
    const images::Rgb expected = images::environmentColor(directions[i]);
    const unsigned char* p = &pixels[i * 4];
    const float diff = std::fabs(p[0] / 255.0f - images::clamp01(expected.r)) +
                       std::fabs(p[1] / 255.0f - images::clamp01(expected.g)) +
                       std::fabs(p[2] / 255.0f - images::clamp01(expected.b));
    // Filtering blends neighbours, so a direction on a sharp detail may differ; few may.
    if (diff > 0.15f) ++far;
    if (i < 2) {
      EXPECT_LT(diff, 0.1f) << (i == 0 ? "looking up" : "looking down");
    }
  }
  EXPECT_LT(far, count / 50) << far << " directions off";
  EXPECT_GT(pixels[2], pixels[0] + 40) << "sky above";
  EXPECT_GT(pixels[5], pixels[6]) << "ground below";

  glUseProgram(0);
  glDeleteProgram(program);
  glDeleteShader(vs);
  glDeleteShader(fs);
  textures.destroy();
}

// The real shaders compile and link without complaint and keep every name of the interface active,
// with the type the program supplies.
TEST_F(CubeEnvironmentTest, RealShadersDeclareTheWholeInterface) {
  ShaderProgram program;
  testing::internal::CaptureStdout();
  program.load(std::string(LUMAROK_SOURCE_DIR) + "/shaders/vertexShader.txt",
               std::string(LUMAROK_SOURCE_DIR) + "/shaders/fragmentShader.txt");
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_NE(output.find("GELINKT"), std::string::npos) << output;
  for (GLuint shaderObject : {program.vertexShader, program.fragmentShader}) {
    GLint length = 0;
    glGetShaderiv(shaderObject, GL_INFO_LOG_LENGTH, &length);
    EXPECT_LE(length, 1) << "shader log not empty";
  }

  using namespace shader;
  struct Name {
    bool attribute;
    const char* name;
    GLenum type;
  };
  const Name names[] = {{false, kProjMatrix, GL_FLOAT_MAT4},
                        {false, kModelMatrix, GL_FLOAT_MAT4},
                        {false, kViewMatrix, GL_FLOAT_MAT4},
                        {false, kTextureMatrix, GL_FLOAT_MAT4},
                        {false, kProjMatrixOld, GL_FLOAT_MAT4},
                        {false, kModelMatrixOld, GL_FLOAT_MAT4},
                        {false, kViewMatrixOld, GL_FLOAT_MAT4},
                        {false, kSurfaceSampler, GL_SAMPLER_2D},
                        {false, kShadowSampler, GL_SAMPLER_2D},
                        {false, kCubeSampler, GL_SAMPLER_CUBE},
                        {false, kBlurSampler, GL_SAMPLER_2D},
                        {true, kVertex, GL_FLOAT_VEC4},
                        {true, kNormal, GL_FLOAT_VEC3},
                        {true, kTexCoords, GL_FLOAT_VEC2},
                        {true, kTexFlag, GL_FLOAT},
                        {true, kLight, GL_FLOAT_VEC3},
                        {true, kView, GL_FLOAT_VEC3},
                        {true, kPass, GL_FLOAT},
                        {true, kShadowOn, GL_FLOAT},
                        {true, kCubeMapFactor, GL_FLOAT},
                        {true, kTextureFactor, GL_FLOAT},
                        {true, kMotionBlur, GL_FLOAT},
                        {true, kWindowWidth, GL_FLOAT},
                        {true, kWindowHeight, GL_FLOAT}};
  // (is attribute, name) -> type, as the linker kept them.
  std::map<std::pair<bool, std::string>, GLenum> active;
  for (bool attribute : {false, true}) {
    GLint count = 0;
    glGetProgramiv(program.shaderProgram, attribute ? GL_ACTIVE_ATTRIBUTES : GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
      char name[64];
      GLint size = 0;
      GLenum type = 0;
      (attribute ? glGetActiveAttrib : glGetActiveUniform)(program.shaderProgram, i, sizeof name, nullptr,
                                                           &size, &type, name);
      active[{attribute, name}] = type;
    }
  }
  for (const Name& n : names) {
    const auto found = active.find({n.attribute, n.name});
    ASSERT_NE(found, active.end()) << n.name << " is not active";
    EXPECT_EQ(found->second, n.type) << n.name;
  }
  for (const AttributeBinding& b : kBoundAttributes)
    EXPECT_EQ(glGetAttribLocation(program.shaderProgram, b.name), static_cast<GLint>(b.index)) << b.name;
  program.destroy();
}

}  // namespace
