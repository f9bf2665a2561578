// The surface texture seen small must not alias: the cube faces show the whole 256-texel image a few
// pixels across, so a frame at 800x600 is held against the same frame at 3200x2400 averaged down 4x4,
// the picture filtering should approach. The ground, seen large, must stay as sharp as that reference.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <glm/gtc/matrix_transform.hpp>
#include <string>
#include <vector>

#include "app/demo_app.h"
#include "physics/physics.h"

namespace {

struct Frame {
  int width = 0, height = 0;
  std::vector<unsigned char> rgba;  // bottom row first
  glm::mat4 view{1.0f}, projection{1.0f};
};

void grabWindow(int pass, void* user) {
  if (pass != 3) return;  // after the final pass, before the swap
  Frame& frame = *static_cast<Frame*>(user);
  frame.rgba.resize(static_cast<size_t>(frame.width) * frame.height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, frame.width, frame.height, GL_RGBA, GL_UNSIGNED_BYTE, frame.rgba.data());
}

// The demo's frame `number` at this window size, drawn from its run directory.
Frame drawDemoFrame(int width, int height, int number) {
  Frame frame;
  frame.width = width, frame.height = height;
  const OptionMap options = {{"w", std::to_string(width)}, {"h", std::to_string(height)}};
  DemoApp app;
  app.options = &options;
  testing::internal::CaptureStdout();
  const bool started = app.init();
  testing::internal::GetCapturedStdout();
  if (!started) return frame;
  for (int i = 1; i < number; ++i) {
    stepPhysics();
    app.updateSceneState();
  }
  app.passMarker = grabWindow;
  app.passMarkerUser = &frame;
  app.drawFrame();
  frame.view = app.scene.viewMatrix;
  frame.projection = app.scene.projMatrix;
  app.shutdown();
  return frame;
}

// Which surface the camera ray through each pixel meets first: 1 a cube, 2 the ground, 0 anything
// else; pixels near another surface's edge are left out (0), since edges are not the question.
std::vector<int> surfaces(const Frame& frame) {
  const glm::vec4 viewport(0, 0, frame.width, frame.height);
  const glm::vec3 cubeCentres[] = {{-2.5f, 0.5f, 0.0f}, {2.5f, 0.5f, 0.0f}};
  std::vector<int> kind(static_cast<size_t>(frame.width) * frame.height, 0);
  for (int y = 0; y < frame.height; ++y)
    for (int x = 0; x < frame.width; ++x) {
      const glm::vec3 window(x + 0.5f, y + 0.5f, 0.0f);
      const glm::vec3 origin = glm::unProject(window, frame.view, frame.projection, viewport);
      const glm::vec3 dir =
          glm::unProject(window + glm::vec3(0, 0, 1), frame.view, frame.projection, viewport) - origin;
      float nearest = 1e30f;
      int hit = 0;
      for (const glm::vec3& centre : cubeCentres) {
        const glm::vec3 t0 = (centre - 0.5f - origin) / dir, t1 = (centre + 0.5f - origin) / dir;
        const glm::vec3 lo = glm::min(t0, t1), hi = glm::max(t0, t1);
        const float enter = std::max({lo.x, lo.y, lo.z}), leave = std::min({hi.x, hi.y, hi.z});
        if (enter <= leave && enter > 0.0f && enter < nearest) nearest = enter, hit = 1;
      }
      const float ground = -origin.y / dir.y;
      const glm::vec3 p = origin + ground * dir;
      if (hit == 0 && ground > 0.0f && std::abs(p.x) < 5.0f && std::abs(p.z) < 5.0f) hit = 2;
      kind[static_cast<size_t>(y) * frame.width + x] = hit;
    }
  // Two pixels in from every edge between surfaces.
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<int> eroded = kind;
    for (int y = 1; y + 1 < frame.height; ++y)
      for (int x = 1; x + 1 < frame.width; ++x) {
        const size_t i = static_cast<size_t>(y) * frame.width + x;
        for (size_t n : {i - 1, i + 1, i - frame.width, i + frame.width})
          if (kind[n] != kind[i]) eroded[i] = 0;
      }
    kind = eroded;
  }
  return kind;
}

}  // namespace

TEST(TextureDetail, CubesMatchASupersampledFrameAndTheGroundStaysSharp) {
  setenv("SDL_VIDEODRIVER", "x11", 0);
  ASSERT_EQ(chdir(LUMAROK_BINARY_DIR), 0);  // the run directory: shaders/ and res/
  constexpr int kWidth = 800, kHeight = 600, kScale = 4, kFrame = 200;
  const Frame frame = drawDemoFrame(kWidth, kHeight, kFrame);
  const Frame large = drawDemoFrame(kWidth * kScale, kHeight * kScale, kFrame);
  ASSERT_FALSE(frame.rgba.empty() || large.rgba.empty());

  const std::vector<int> kind = surfaces(frame);
  double sum[3] = {0, 0, 0};
  long count[3] = {0, 0, 0};
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const int k = kind[static_cast<size_t>(y) * kWidth + x];
      for (int c = 0; c < 3; ++c) {
        double reference = 0.0;
        for (int dy = 0; dy < kScale; ++dy)
          for (int dx = 0; dx < kScale; ++dx)
            reference +=
                large.rgba[((static_cast<size_t>(y) * kScale + dy) * large.width + x * kScale + dx) * 4 + c];
        reference /= kScale * kScale;
        sum[k] += std::abs(frame.rgba[(static_cast<size_t>(y) * kWidth + x) * 4 + c] - reference);
        count[k] += 1;
      }
    }
  ASSERT_GT(count[1], 3 * 5000) << "the cubes are not in view";
  ASSERT_GT(count[2], 3 * 100000) << "the ground is not in view";
  EXPECT_LE(sum[1] / count[1], 2.0) << "cube faces: mean difference per channel from the supersampled frame";
  EXPECT_LE(sum[2] / count[2], 1.0) << "ground: mean difference per channel from the supersampled frame";
}
