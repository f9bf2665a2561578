// Frames held against the references a renderer is judged by, each drawn by the demo itself: the cubes'
// texture and the shadows' edges against the same frame drawn at four times the size and averaged down
// (its shadow map is four times finer too), and the motion blur against what a camera with its shutter
// open over the frames the blur spans would see, the mean of those frames drawn sharp.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <glm/gtc/matrix_transform.hpp>
#include <string>
#include <vector>

#include "app/demo_app.h"
#include "physics/physics.h"
#include "png_image.h"
#include "demo_driving.h"

namespace {

struct Frame {
  RgbImage image;  // top row first
  glm::mat4 view{1.0f}, projection{1.0f};

  int at(int x, int y, int c) const { return image.at(x, y)[c]; }
};

void grabWindow(int pass, void* user) {
  Frame& frame = *static_cast<Frame*>(user);
  if (pass == 3) frame.image = readGlPixels(frame.image.width, frame.image.height);  // before the swap
}

// The demo's frames `first` to `last` at this window size, drawn from its run directory after `keys`
// were pressed before frame 1. Earlier frames advance the physics, the scene and the motion history
// as drawn ones do; only their pictures are skipped.
std::vector<Frame> drawDemoFrames(int width, int height, const std::vector<SDLKey>& keys, int first,
                                  int last) {
  std::vector<Frame> frames;
  const OptionMap options = {{"w", std::to_string(width)}, {"h", std::to_string(height)}};
  DemoApp app;
  app.options = &options;
  testing::internal::CaptureStdout();
  const bool started = app.init();
  testing::internal::GetCapturedStdout();
  if (!started) return frames;
  for (SDLKey key : keys) pressKey(app, key);
  for (int i = 1; i < first; ++i) {
    stepPhysics();
    app.updateSceneState();
    app.scene.updateViewMatrices();
  }
  app.passMarker = grabWindow;
  for (int i = first; i <= last; ++i) {
    Frame& frame = frames.emplace_back();
    frame.image.width = width, frame.image.height = height;
    app.passMarkerUser = &frame;
    app.drawFrame();
    frame.view = app.scene.viewMatrix;
    frame.projection = app.scene.projMatrix;
  }
  app.shutdown();
  return frames;
}

Frame drawDemoFrame(int width, int height, const std::vector<SDLKey>& keys, int number) {
  const std::vector<Frame> frames = drawDemoFrames(width, height, keys, number, number);
  return frames.empty() ? Frame() : frames[0];
}

// Per pixel, what `large`, drawn `scale` times the size, averages to.
std::vector<double> averagedDown(const Frame& large, int scale) {
  const int width = large.image.width / scale, height = large.image.height / scale;
  std::vector<double> out(static_cast<size_t>(width) * height * 3, 0.0);
  for (int y = 0; y < large.image.height; ++y)
    for (int x = 0; x < large.image.width; ++x)
      for (int c = 0; c < 3; ++c)
        out[(static_cast<size_t>(y / scale) * width + x / scale) * 3 + c] +=
            large.at(x, y, c) / double(scale * scale);
  return out;
}

// Which surface the camera ray through each pixel meets first: 1 a cube, 2 the ground, 0 anything
// else; pixels near another surface's edge are left out (0), since edges are not the question.
std::vector<int> surfaces(const Frame& frame) {
  const int width = frame.image.width, height = frame.image.height;
  const glm::vec4 viewport(0, 0, width, height);
  const glm::vec3 cubeCentres[] = {{-2.5f, 0.5f, 0.0f}, {2.5f, 0.5f, 0.0f}};
  std::vector<int> kind(static_cast<size_t>(width) * height, 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const glm::vec3 window(x + 0.5f, height - y - 0.5f, 0.0f);  // GL's rows run bottom up
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
      // The sphere, wherever it is, stands in front of the ground: its pixels are left out as well.
      const glm::vec3 sphere = spherePosition() - origin;
      const float along = glm::dot(sphere, dir) / glm::dot(dir, dir);
      const bool onSphere = glm::length(sphere - along * dir) < 0.5f && along > 0.0f;
      if (hit == 0 && !onSphere && ground > 0.0f && std::abs(p.x) < 5.0f && std::abs(p.z) < 5.0f) hit = 2;
      kind[static_cast<size_t>(y) * width + x] = hit;
    }
  // Two pixels in from every edge between surfaces.
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<int> eroded = kind;
    for (int y = 1; y + 1 < height; ++y)
      for (int x = 1; x + 1 < width; ++x) {
        const size_t i = static_cast<size_t>(y) * width + x;
        for (size_t n : {i - 1, i + 1, i - width, i + width})
          if (kind[n] != kind[i]) eroded[i] = 0;
      }
    kind = eroded;
  }
  return kind;
}

// Pixels of `mask` grown (or, with `grow` false, shrunk) by a square of side 2 * reach + 1.
std::vector<bool> morph(const std::vector<bool>& mask, int width, int height, int reach, bool grow) {
  std::vector<bool> out(mask.size());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      bool any = false, all = true;
      for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx) {
          const int nx = std::clamp(x + dx, 0, width - 1), ny = std::clamp(y + dy, 0, height - 1);
          const bool set = mask[static_cast<size_t>(ny) * width + nx];
          any = any || set, all = all && set;
        }
      out[static_cast<size_t>(y) * width + x] = grow ? any : all;
    }
  return out;
}

// A mean of absolute differences per channel.
struct Mean {
  double sum = 0;
  long count = 0;
  void add(double difference) { sum += difference, ++count; }
  double value() const { return count > 0 ? sum / count : 0.0; }
};

void runInRunDirectory() {
  setenv("SDL_VIDEODRIVER", "x11", 0);
  ASSERT_EQ(chdir(LUMAROK_BINARY_DIR), 0);  // the run directory: shaders/ and res/
}

}  // namespace

// Frame 300 at 800x600 with s, the light low at (1, 1, 1) and the shadows long. The cube faces show the
// whole texture a few pixels across, so filtering must approach the supersampled frame there (shimmer
// does not). Where the frame with shadows differs from the one without, the edge band (grown by three
// pixels, less the region shrunk by one) must be close to it too, not stair-stepped; the insides of the
// shadows and the lit ground, where the texture is seen large, as close as they were.
TEST(ReferenceFrames, CubesAndShadowEdgesMatchASupersampledFrame) {
  runInRunDirectory();
  constexpr int kWidth = 800, kHeight = 600, kScale = 4, kFrame = 300;
  const Frame shadowed = drawDemoFrame(kWidth, kHeight, {SDLK_s}, kFrame);
  const Frame plain = drawDemoFrame(kWidth, kHeight, {SDLK_s, SDLK_s}, kFrame);  // the same light, no shadows
  const Frame large = drawDemoFrame(kWidth * kScale, kHeight * kScale, {SDLK_s}, kFrame);
  ASSERT_FALSE(shadowed.image.empty() || plain.image.empty() || large.image.empty());
  const std::vector<double> reference = averagedDown(large, kScale);
  const std::vector<int> kind = surfaces(shadowed);
  std::vector<bool> region(kind.size());
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c)
        if (std::abs(shadowed.at(x, y, c) - plain.at(x, y, c)) > 3)
          region[static_cast<size_t>(y) * kWidth + x] = true;
  const std::vector<bool> grown = morph(region, kWidth, kHeight, 3, true);
  const std::vector<bool> inside = morph(region, kWidth, kHeight, 1, false);
  Mean cubes, edge, insides, lit;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const size_t i = static_cast<size_t>(y) * kWidth + x;
      if (kind[i] == 0) continue;
      Mean& mean = kind[i] == 1 ? cubes : inside[i] ? insides : grown[i] ? edge : lit;
      for (int c = 0; c < 3; ++c) mean.add(std::abs(shadowed.at(x, y, c) - reference[i * 3 + c]));
    }
  std::printf("cube faces %.2f, shadow edges %.2f, insides %.2f, lit ground %.2f\n", cubes.value(),
              edge.value(), insides.value(), lit.value());
  ASSERT_TRUE(cubes.count > 3 * 5000 && edge.count > 3 * 500) << "the cubes or their shadows are not in view";
  EXPECT_LE(cubes.value(), 2.0) << "cube faces: mean difference per channel from the supersampled frame";
  // Texels read one by one leave edges stair-stepped at 2.3; filtered between four, 1.1.
  EXPECT_LE(edge.value(), 1.3) << "shadow edges";
  EXPECT_LE(insides.value(), 0.4) << "insides of the shadows";
  EXPECT_LE(lit.value(), 0.4) << "lit ground";
}

// The blur's own model is a camera whose shutter is open from the oldest frame it remembers to this one,
// so its reference is the mean of those ten frames drawn without blur. Where the blur acts (the box
// around the pixels it changes, and four more), after 4x4 averaging (what the eye integrates), the blurred
// frame must be at most half as far from that reference as the sharp frame is. The camera is close by,
// four steps lower and three nearer, as the README's picture has it; the sphere falls just before it
// lands, and rises fastest just after its first bounce (frame 501), once the frames the blur spans all
// follow the bounce.
struct BlurCase {
  const char* name;
  int frame;
};

class MotionBlur : public testing::TestWithParam<BlurCase> {};

TEST_P(MotionBlur, ComesCloseToTheOpenShutter) {
  runInRunDirectory();
  constexpr int kWidth = 640, kHeight = 480, kSpan = 10, kBlock = 4;
  const int last = GetParam().frame;
  const std::vector<SDLKey> camera = {SDLK_s,    SDLK_DOWN, SDLK_DOWN, SDLK_DOWN,
                                      SDLK_DOWN, SDLK_n,    SDLK_n,    SDLK_n};
  std::vector<SDLKey> blurred = camera;
  blurred.push_back(SDLK_b);
  const std::vector<Frame> sharp = drawDemoFrames(kWidth, kHeight, camera, last - kSpan + 1, last);
  const Frame blur = drawDemoFrame(kWidth, kHeight, blurred, last);
  ASSERT_TRUE(sharp.size() == kSpan && !blur.image.empty());
  const Frame& now = sharp.back();
  int x0 = kWidth, y0 = kHeight, x1 = -1, y1 = -1;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c)
        if (std::abs(blur.at(x, y, c) - now.at(x, y, c)) > 2)
          x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
  ASSERT_GE(x1, 0) << "the blur changes nothing";
  x0 = std::max(x0 - 4, 0), y0 = std::max(y0 - 4, 0), x1 = std::min(x1 + 4, kWidth - 1),
  y1 = std::min(y1 + 4, kHeight - 1);
  Mean blurError, sharpError;
  for (int by = y0; by + kBlock - 1 <= y1; by += kBlock)
    for (int bx = x0; bx + kBlock - 1 <= x1; bx += kBlock)
      for (int c = 0; c < 3; ++c) {
        double reference = 0, blurSum = 0, sharpSum = 0;
        for (int y = by; y < by + kBlock; ++y)
          for (int x = bx; x < bx + kBlock; ++x) {
            for (const Frame& f : sharp) reference += f.at(x, y, c) / double(kSpan);
            blurSum += blur.at(x, y, c), sharpSum += now.at(x, y, c);
          }
        const double n = kBlock * kBlock;
        blurError.add(std::abs(blurSum - reference) / n), sharpError.add(std::abs(sharpSum - reference) / n);
      }
  const double ratio = blurError.value() / sharpError.value();
  std::printf(
      "%s, frame %d: blurred %.2f, sharp %.2f from the open shutter, ratio %.3f (box %d,%d to %d,%d)\n",
      GetParam().name, last, blurError.value(), sharpError.value(), ratio, x0, y0, x1, y1);
  EXPECT_LE(ratio, 0.5) << "blurred frame " << blurError.value() << ", sharp frame " << sharpError.value()
                        << " per channel from the mean of frames " << last - kSpan + 1 << " to " << last;
}

INSTANTIATE_TEST_SUITE_P(SphereNearTheCamera, MotionBlur,
                         testing::Values(BlurCase{"Falling", 499}, BlurCase{"Rising", 510}),
                         [](const testing::TestParamInfo<BlurCase>& info) { return info.param.name; });
