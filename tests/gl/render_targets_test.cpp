// The two off-screen targets against Mesa: completeness, attachments, formats and sizes read back,
// and their release. How the shadow depth is sampled is judged by the frame's shadow pixels.
#include "gpu/render_targets.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "support/gl_context.h"

namespace {

class RenderTargetsTest : public GlContextTest {
 protected:
  RenderTargets targets;
  void TearDown() override {
    targets.destroy();
    GlContextTest::TearDown();
  }
};

class RenderTargetSizesTest : public RenderTargetsTest,
                              public testing::WithParamInterface<std::pair<int, int>> {};

GLint textureLevel(GLuint texture, GLenum name) {
  GLint value = -1;
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &value);
  return value;
}

GLint attached(GLenum point) {
  GLint value = -1;
  glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, point, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &value);
  return value;
}

}  // namespace

TEST_P(RenderTargetSizesTest, BothTargetsCompleteAtTheWindowSize) {
  auto [width, height] = GetParam();
  testing::internal::CaptureStdout();
  targets.create(width, height);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  GLint binding = -1;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &binding);
  EXPECT_EQ(binding, 0) << "rendering goes back to the window";

  glBindFramebuffer(GL_FRAMEBUFFER, targets.shadowFramebuffer);
  EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
  EXPECT_EQ(attached(GL_DEPTH_ATTACHMENT), static_cast<GLint>(targets.shadowDepthTexture));
  glBindFramebuffer(GL_FRAMEBUFFER, targets.blurFramebuffer);
  EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
  EXPECT_EQ(attached(GL_DEPTH_ATTACHMENT), static_cast<GLint>(targets.blurDepthRenderbuffer));
  EXPECT_EQ(attached(GL_COLOR_ATTACHMENT0), static_cast<GLint>(targets.blurColorTexture));
  glBindFramebuffer(GL_FRAMEBUFFER, 0);

  const std::pair<GLuint, GLint> textures[] = {{targets.shadowDepthTexture, GL_DEPTH_COMPONENT24},
                                               {targets.blurColorTexture, GL_RGBA8}};
  for (auto [texture, format] : textures) {
    EXPECT_EQ(textureLevel(texture, GL_TEXTURE_INTERNAL_FORMAT), format);
    EXPECT_EQ(textureLevel(texture, GL_TEXTURE_WIDTH), width);
    EXPECT_EQ(textureLevel(texture, GL_TEXTURE_HEIGHT), height);
  }
  glBindRenderbuffer(GL_RENDERBUFFER, targets.blurDepthRenderbuffer);
  GLint size[2] = {-1, -1};
  glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &size[0]);
  glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &size[1]);
  EXPECT_EQ(size[0], width);
  EXPECT_EQ(size[1], height);
}

INSTANTIATE_TEST_SUITE_P(WindowSizes, RenderTargetSizesTest,
                         testing::Values(std::make_pair(800, 600), std::make_pair(1024, 768)),
                         [](const testing::TestParamInfo<std::pair<int, int>>& info) {
                           return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
                         });

TEST_F(RenderTargetsTest, DestroyReleasesAllFiveObjectsAndMayRunTwice) {
  targets.create(800, 600);
  RenderTargets created = targets;
  targets.destroy();
  EXPECT_FALSE(glIsFramebuffer(created.shadowFramebuffer) || glIsFramebuffer(created.blurFramebuffer) ||
               glIsRenderbuffer(created.blurDepthRenderbuffer) || glIsTexture(created.shadowDepthTexture) ||
               glIsTexture(created.blurColorTexture));
  EXPECT_EQ(targets.shadowFramebuffer | targets.blurColorTexture, 0u);
  targets.destroy();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
