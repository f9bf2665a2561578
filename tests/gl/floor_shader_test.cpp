// The benchmark's floor program: it must link and keep live every input the frame hands values to,
// or the floor would run the frame with dead locations (GL errors, meshes that never move) and the
// full/floor ratio would compare against something else.
#include <gtest/gtest.h>

#include <string>

#include "gpu/shader_interface.h"
#include "gpu/shader_program.h"
#include "support/gl_context.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

class FloorShader : public GlContextTest {};

TEST_F(FloorShader, LinksWithEveryInputTheFrameSetsStillLive) {
  const std::string dir = std::string(LUMAROK_SOURCE_DIR) + "/shaders/";
  ShaderProgram floor;
  CaptureStdout();
  floor.load(dir + "floorVertex.txt", dir + "floorFragment.txt");
  std::string log = GetCapturedStdout();
  GLint linked = GL_FALSE;
  glGetProgramiv(floor.shaderProgram, GL_LINK_STATUS, &linked);
  ASSERT_EQ(linked, GL_TRUE) << log;

  for (const char* uniform : {shader::kProjMatrix, shader::kViewMatrix, shader::kModelMatrix})
    EXPECT_NE(glGetUniformLocation(floor.shaderProgram, uniform), -1) << uniform;
  // texFlag is never set by the program, so the floor need not read it.
  for (const shader::AttributeBinding& bound : shader::kBoundAttributes) {
    if (std::string(bound.name) == shader::kTexFlag) continue;
    EXPECT_EQ(glGetAttribLocation(floor.shaderProgram, bound.name), static_cast<GLint>(bound.index))
        << bound.name;
  }
  for (const char* perPass : {shader::kShadowOn, shader::kCubeMapFactor, shader::kTextureFactor,
                              shader::kMotionBlur, shader::kWindowWidth, shader::kWindowHeight})
    EXPECT_NE(glGetAttribLocation(floor.shaderProgram, perPass), -1) << perPass;
  floor.destroy();
}

}  // namespace
