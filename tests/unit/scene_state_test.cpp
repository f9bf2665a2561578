// The camera path without a window: the segments it prints, the control points it passes, and views
// that stay finite where the eye looks straight down the up vector or has no direction to look in.
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
  scene.steer({0, -5, -5, 1}, out);  // the arrow keys put the eye on the centre
  scene.updateViewMatrices();
  EXPECT_TRUE(scene.cameraEye == glm::vec3(0) && finite(scene.viewMatrix));
}
