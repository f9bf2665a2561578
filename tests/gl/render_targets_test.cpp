// The two off-screen targets against Mesa: completeness, attachments, formats and sizes read back,
// the binding left behind, and their release. Targets may be larger than the test window.
#include "gpu/render_targets.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/gl_context.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

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

GLint integer(GLenum name) {
  GLint value = -1;
  glGetIntegerv(name, &value);
  return value;
}

GLint textureLevel(GLuint texture, GLenum name) {
  glBindTexture(GL_TEXTURE_2D, texture);
  GLint value = -1;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &value);
  return value;
}

GLint textureParameter(GLuint texture, GLenum name) {
  glBindTexture(GL_TEXTURE_2D, texture);
  GLint value = -1;
  glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
  return value;
}

GLint attachment(GLenum point, GLenum name) {
  GLint value = -1;
  glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, point, name, &value);
  return value;
}

}  // namespace

TEST_P(RenderTargetSizesTest, BothTargetsCompleteAtTheWindowSize) {
  auto [width, height] = GetParam();
  CaptureStdout();
  targets.create(width, height);
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // Rendering goes back to the window, with no renderbuffer bound.
  EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING), 0);
  EXPECT_EQ(integer(GL_RENDERBUFFER_BINDING), 0);
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], width);
  EXPECT_EQ(viewport[3], height);

  glBindFramebuffer(GL_FRAMEBUFFER, targets.shadowFramebuffer);
  EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
  EXPECT_EQ(attachment(GL_DEPTH_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE), GL_TEXTURE);
  EXPECT_EQ(attachment(GL_DEPTH_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME),
            static_cast<GLint>(targets.shadowDepthTexture));
  EXPECT_EQ(attachment(GL_COLOR_ATTACHMENT0, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE), GL_NONE);
  EXPECT_EQ(integer(GL_DRAW_BUFFER), GL_NONE);
  EXPECT_EQ(integer(GL_READ_BUFFER), GL_NONE);

  glBindFramebuffer(GL_FRAMEBUFFER, targets.blurFramebuffer);
  EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
  EXPECT_EQ(attachment(GL_DEPTH_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE), GL_RENDERBUFFER);
  EXPECT_EQ(attachment(GL_DEPTH_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME),
            static_cast<GLint>(targets.blurDepthRenderbuffer));
  EXPECT_EQ(attachment(GL_COLOR_ATTACHMENT0, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME),
            static_cast<GLint>(targets.blurColorTexture));
  EXPECT_EQ(integer(GL_DRAW_BUFFER), GL_COLOR_ATTACHMENT0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);

  EXPECT_EQ(textureLevel(targets.shadowDepthTexture, GL_TEXTURE_INTERNAL_FORMAT), GL_DEPTH_COMPONENT24);
  EXPECT_EQ(textureLevel(targets.shadowDepthTexture, GL_TEXTURE_WIDTH), width);
  EXPECT_EQ(textureLevel(targets.shadowDepthTexture, GL_TEXTURE_HEIGHT), height);
  EXPECT_EQ(textureLevel(targets.blurColorTexture, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA8);
  EXPECT_EQ(textureLevel(targets.blurColorTexture, GL_TEXTURE_WIDTH), width);
  EXPECT_EQ(textureLevel(targets.blurColorTexture, GL_TEXTURE_HEIGHT), height);

  glBindRenderbuffer(GL_RENDERBUFFER, targets.blurDepthRenderbuffer);
  GLint value = -1;
  glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &value);
  EXPECT_EQ(value, width);
  glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &value);
  EXPECT_EQ(value, height);
  glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_DEPTH_SIZE, &value);
  EXPECT_GE(value, 16);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
}

INSTANTIATE_TEST_SUITE_P(WindowSizes, RenderTargetSizesTest,
                         testing::Values(std::make_pair(800, 600), std::make_pair(1024, 768)),
                         [](const testing::TestParamInfo<std::pair<int, int>>& info) {
                           return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
                         });

TEST_F(RenderTargetsTest, ShadowDepthIsSampledRawWithLinearFilterAndClamp) {
  targets.create(800, 600);
  EXPECT_EQ(textureParameter(targets.shadowDepthTexture, GL_TEXTURE_COMPARE_MODE), GL_NONE);
  for (GLenum name : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER}) {
    EXPECT_EQ(textureParameter(targets.shadowDepthTexture, name), GL_LINEAR);
    EXPECT_EQ(textureParameter(targets.blurColorTexture, name), GL_LINEAR);
  }
  for (GLenum name : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T}) {
    EXPECT_EQ(textureParameter(targets.shadowDepthTexture, name), GL_CLAMP);
    EXPECT_EQ(textureParameter(targets.blurColorTexture, name), GL_CLAMP);
  }
  EXPECT_EQ(textureParameter(targets.shadowDepthTexture, GL_TEXTURE_WRAP_R), GL_CLAMP);
  // The blur colour texture's R wrap is never set and keeps GL's default.
  EXPECT_EQ(textureParameter(targets.blurColorTexture, GL_TEXTURE_WRAP_R), GL_REPEAT);
}

TEST_F(RenderTargetsTest, DrawingIntoTheShadowTargetWritesItsDepthTexture) {
  targets.create(800, 600);
  glBindFramebuffer(GL_FRAMEBUFFER, targets.shadowFramebuffer);
  glViewport(0, 0, 800, 600);
  glClearDepth(0.25);
  glClear(GL_DEPTH_BUFFER_BIT);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glBindTexture(GL_TEXTURE_2D, targets.shadowDepthTexture);
  std::vector<float> depth(800 * 600, -1.0f);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  EXPECT_NEAR(depth.front(), 0.25f, 1e-5f);
  EXPECT_NEAR(depth.back(), 0.25f, 1e-5f);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RenderTargetsTest, DestroyReleasesAllFiveObjectsAndMayRunTwice) {
  targets.create(800, 600);
  RenderTargets created = targets;
  targets.destroy();
  EXPECT_FALSE(glIsFramebuffer(created.shadowFramebuffer));
  EXPECT_FALSE(glIsFramebuffer(created.blurFramebuffer));
  EXPECT_FALSE(glIsRenderbuffer(created.blurDepthRenderbuffer));
  EXPECT_FALSE(glIsTexture(created.shadowDepthTexture));
  EXPECT_FALSE(glIsTexture(created.blurColorTexture));
  EXPECT_EQ(targets.shadowFramebuffer, 0u);
  EXPECT_EQ(targets.blurColorTexture, 0u);
  targets.destroy();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
