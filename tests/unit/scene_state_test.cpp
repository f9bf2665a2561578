// The scene state without a window: the camera path and its printed segments, camera and light
// steered from the keyboard values, and views that stay finite when the eye looks straight down the
// up vector or has no direction to look in.
#include "frame/scene_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

namespace {
bool finite(const glm::mat4& m) {
  for (int i = 0; i < 16; ++i)
    if (!std::isfinite(m[i / 4][i % 4])) return false;
  return true;
}

SceneState startedScene() {
  SceneState scene;
  scene.initSceneState();
  scene.path.initCameraPath();
  return scene;
}
}  // namespace

// The path passes straight above the centre at points 5 and 6, where looking at it loses its side axis.
TEST(CameraPath, EachSegmentPrints101FramesFromItsControlPointWrappingAfter26WithFiniteViews) {
  SceneState scene = startedScene();
  std::ostringstream out;
  std::string expected;
  for (int n = 0; n < 2 * 27 * 101; ++n) {
    scene.steer({0, 0, 0, 1, 1}, out);
    scene.updateViewMatrices();
    const int segment = n / 101 % 27;
    expected += std::to_string(segment) + "\n";
    const float* point = scene.path.pathPoints[segment + 1];
    ASSERT_TRUE(n % 101 != 0 || scene.cameraEye == glm::vec3(point[0], point[1], point[2])) << "frame " << n;
    ASSERT_TRUE(finite(scene.viewMatrix) && finite(scene.textMatrix)) << "frame " << n;
  }
  EXPECT_EQ(out.str(), expected);
}

// The path flies the camera only while its switch is exactly 1; the light follows the offsets meanwhile.
TEST(Steering, OffsetsMoveTheCameraInModeOneAndTheLightInModeMinusOne) {
  const struct {
    SteeringInput input;  // offsets x y z, mode, path switch
    glm::vec3 camera, light;
  } rows[] = {
      {{2, -1, 3, 1}, {2, 4, 8}, {0, 1, 3.5f}},   {{-3, 2, 0, -1}, {0, 5, 5}, {-2, 3, 1}},
      {{3, 3, 3, 2}, {0, 5, 5}, {0, 1, 3.5f}},    {{4, 0, 0, -1, 1}, {0, 1, 4}, {5, 1, 1}},
      {{1, 0, 0, 1, 2}, {1, 5, 5}, {0, 1, 3.5f}}, {{0, -5, -5, 1}, {0, 0, 0}, {0, 1, 3.5f}},
  };
  for (const auto& row : rows) {
    SceneState scene = startedScene();
    std::ostringstream out;
    scene.steer(row.input, out);
    scene.updateViewMatrices();  // the eye on the centre has no direction to look in
    EXPECT_TRUE(scene.cameraEye == row.camera && scene.lightPosition == row.light && finite(scene.viewMatrix))
        << row.input.offsetX << " " << row.input.controlMode;
  }
}
