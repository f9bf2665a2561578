// The scene state without a window: the camera path and its printed segments, the motion history
// that feeds the blur, camera and light steered from the keyboard values, and view matrices that
// stay finite when the eye looks straight down the up vector.
#include "frame/scene_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace {

bool allFinite(const glm::mat4& m) {
  for (int i = 0; i < 16; ++i)
    if (!std::isfinite(m[i / 4][i % 4])) return false;
  return true;
}

glm::vec3 controlPoint(const CameraPath& path, int i) {
  return glm::vec3(path.pathPoints[i][0], path.pathPoints[i][1], path.pathPoints[i][2]);
}

SceneState startedScene() {
  SceneState scene;
  scene.initSceneState();
  scene.path.initCameraPath();
  return scene;
}

// The centre lies straight ahead, the eye maps to the origin and the rotation is orthonormal.
void expectLooksAt(const glm::mat4& view, const glm::vec3& eye, const glm::vec3& center) {
  ASSERT_TRUE(allFinite(view));
  const glm::vec4 c = view * glm::vec4(center, 1.0f);
  EXPECT_NEAR(glm::length(glm::vec3(c) - glm::vec3(0, 0, -glm::length(center - eye))), 0.0f, 1e-5f);
  EXPECT_NEAR(glm::length(glm::vec3(view * glm::vec4(eye, 1.0f))), 0.0f, 1e-5f);
  const glm::mat3 identity = glm::transpose(glm::mat3(view)) * glm::mat3(view);
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(identity[i / 3][i % 3], i % 4 == 0 ? 1.0f : 0.0f, 1e-5f);
}

}  // namespace

TEST(SceneStart, CameraLightProjectionAndShadowMatricesStartWhereTheSceneExpects) {
  SceneState scene = startedScene();
  EXPECT_EQ(scene.cameraEye, glm::vec3(0, 5, 5));
  EXPECT_EQ(scene.lightPosition, glm::vec3(0, 1, 3.5f));
  EXPECT_EQ(scene.viewMatrix, glm::lookAt(glm::vec3(0, 5, 5), glm::vec3(0), glm::vec3(0, 1, 0)));
  EXPECT_EQ(scene.lightViewMatrix, glm::lookAt(glm::vec3(0, 1, 3.5f), glm::vec3(0), glm::vec3(0, 1, 0)));
  // 80 degrees vertically, 4:3 whatever the window, near 0.1, far 100.
  glm::vec4 clip = scene.projMatrix * glm::vec4(0.0f, 0.1f * std::tan(glm::radians(40.0f)), -0.1f, 1.0f);
  EXPECT_NEAR(clip.y / clip.w, 1.0f, 1e-4f);
  EXPECT_NEAR(clip.z / clip.w, -1.0f, 1e-4f);
  EXPECT_NEAR(scene.projMatrix[1][1] / scene.projMatrix[0][0], 4.0f / 3.0f, 1e-6f);
  clip = scene.projMatrix * glm::vec4(0.0f, 0.0f, -100.0f, 1.0f);
  EXPECT_NEAR(clip.z / clip.w, 1.0f, 1e-4f);
  EXPECT_EQ(scene.biasMatrix, glm::mat4(0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 0.5f, 0, 0.5f, 0.5f, 0.5f, 1));
  // The point the light looks at lands mid shadow map at a depth inside 0..1; one unit right, right of it.
  scene.updateViewMatrices();
  const glm::vec4 t = scene.textMatrix * glm::vec4(scene.lightCenter, 1.0f);
  EXPECT_NEAR(t.x / t.w, 0.5f, 1e-6f);
  EXPECT_NEAR(t.y / t.w, 0.5f, 1e-6f);
  EXPECT_GT(t.z / t.w, 0.5f);
  EXPECT_LT(t.z / t.w, 1.0f);
  const glm::vec4 right = scene.textMatrix * glm::vec4(1.0f, 0.0f, 0.0f, 1.0f);
  EXPECT_GT(right.x / right.w, 0.5f);
}

// ---- camera path ----

TEST(CameraPath, PrintsZeroFirstThenChangesSegmentEvery101FramesAndWrapsFrom26) {
  CameraPath path;
  path.initCameraPath();
  EXPECT_EQ(path.pathPointCount, 30);
  std::ostringstream out;
  EXPECT_EQ(path.nextPathPoint(out), glm::vec4(0, 1, 4, 1));
  EXPECT_EQ(out.str(), "0\n");
  const int lap = 27 * 101;
  std::string expected = "0\n";
  for (int n = 1; n < lap + 150; ++n) {
    path.nextPathPoint(out);
    expected += std::to_string((n / 101) % 27) + "\n";
  }
  EXPECT_EQ(out.str(), expected);
}

TEST(CameraPath, PassesThroughItsControlPointsAndClosesTheLap) {
  CameraPath path;
  path.initCameraPath();
  std::ostringstream out;
  // Each segment starts at exactly t = 0 on its control point: the excess of the float steps is dropped.
  for (int segment = 0; segment < 27; ++segment) {
    EXPECT_EQ(glm::vec3(path.nextPathPoint(out)), controlPoint(path, segment + 1))
        << "t = 0, segment " << segment;
    for (int n = 1; n < 101; ++n) path.nextPathPoint(out);
  }
  // Back at the start: point 28 equals point 1, so the lap has no jump.
  EXPECT_EQ(path.pathSegment, 0);
  EXPECT_EQ(path.pathT, 0.0f);
  for (int segment : {0, 4, 12, 26}) {
    path.pathSegment = segment;
    path.pathT = 1.0f;
    EXPECT_EQ(glm::vec3(path.nextPathPoint(out)), controlPoint(path, segment + 2))
        << "t = 1, segment " << segment;
  }
}

TEST(CameraPath, FollowingResumesWhereItStopped) {
  SceneState uninterrupted = startedScene(), paused = startedScene();
  std::ostringstream a, b;
  for (int n = 0; n < 150; ++n) {
    uninterrupted.steer({0, 0, 0, 1, 1}, a);
    paused.steer({0, 0, 0, 1, 1}, b);
  }
  // Stopped: the camera goes back to the offsets and nothing is printed.
  const std::string printedBefore = b.str();
  for (int n = 0; n < 40; ++n) paused.steer({2, 0, 0, 1, 0}, b);
  EXPECT_EQ(b.str(), printedBefore);
  EXPECT_EQ(paused.cameraEye, glm::vec3(2, 5, 5));
  for (int n = 0; n < 60; ++n) {
    uninterrupted.steer({0, 0, 0, 1, 1}, a);
    paused.steer({0, 0, 0, 1, 1}, b);
    ASSERT_EQ(paused.cameraEye, uninterrupted.cameraEye) << "frame " << n;
  }
  EXPECT_EQ(a.str(), b.str());
}

// ---- motion history ----

namespace {
glm::mat4 modelOfFrame(int n) { return glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, float(n), 0.0f)); }
// The view handed over in frame n (which the frame computed in frame n - 1).
glm::mat4 viewOfFrame(int n) { return glm::translate(glm::mat4(1.0f), glm::vec3(float(n), 0.0f, -5.0f)); }
}  // namespace

TEST(MotionHistory, OldestEntryFollowsTheTableForModelAndView) {
  const glm::mat4 projection = glm::perspective(glm::radians(80.0f), 1.3333334f, 0.1f, 100.0f);
  MotionHistory history;
  history.reset();
  for (int n = 1; n <= 40; ++n) {
    history.record(modelOfFrame(n), viewOfFrame(n), projection);
    const MotionSnapshot& oldest = history.oldest();
    EXPECT_EQ(oldest.model, modelOfFrame(n <= 10 ? 1 : n - 9)) << "frame " << n;
    EXPECT_EQ(oldest.view, viewOfFrame(n <= 10 ? 1 : n)) << "frame " << n;
    EXPECT_EQ(oldest.projection, projection) << "frame " << n;
    EXPECT_EQ(history.historyFull, n >= 10) << "frame " << n;
  }
  history.reset();
  EXPECT_FALSE(history.historyFull);
  EXPECT_EQ(history.oldest().model, glm::mat4(1.0f));
  EXPECT_EQ(history.motionHistory[9].view, glm::mat4(1.0f));
}

TEST(MotionHistory, FrameRecordsLastFramesView) {
  // Driven like the frame: steer, record the current view, then rebuild the matrices.
  SceneState scene = startedScene();
  MotionHistory history;
  history.reset();
  std::vector<glm::mat4> views = {scene.viewMatrix};
  std::ostringstream out;
  for (int n = 1; n <= 15; ++n) {
    scene.steer({n, 0, 0, 1}, out);
    history.record(modelOfFrame(n), scene.viewMatrix, scene.projMatrix);
    scene.updateViewMatrices();
    views.push_back(scene.viewMatrix);
    EXPECT_EQ(history.oldest().view, views[n <= 10 ? 0 : n - 1]) << "frame " << n;
  }
}

// ---- steering ----

TEST(Steering, OffsetsMoveTheCameraInModeOneTheLightInModeMinusOneAndNothingOtherwise) {
  SceneState scene = startedScene();
  std::ostringstream out;
  scene.steer({2, -1, 3, 1}, out);
  EXPECT_EQ(scene.cameraEye, glm::vec3(2, 4, 8));
  EXPECT_EQ(scene.lightPosition, glm::vec3(0, 1, 3.5f));
  scene.steer({-3, 2, 0, -1}, out);
  EXPECT_EQ(scene.cameraEye, glm::vec3(2, 4, 8));
  EXPECT_EQ(scene.lightPosition, glm::vec3(-2, 3, 1));
  // The light keeps following the offsets while the path flies the camera.
  scene.steer({4, 0, 0, -1, 1}, out);
  EXPECT_EQ(scene.cameraEye, glm::vec3(0, 1, 4));
  EXPECT_EQ(scene.lightPosition, glm::vec3(5, 1, 1));
  EXPECT_EQ(out.str(), "0\n");
  for (int mode : {0, 2, -2}) {
    SceneState other = startedScene();
    other.steer({3, 3, 3, mode}, out);
    EXPECT_EQ(other.cameraEye, glm::vec3(0, 5, 5)) << "mode " << mode;
    EXPECT_EQ(other.lightPosition, glm::vec3(0, 1, 3.5f)) << "mode " << mode;
  }
  // The path is followed only when its switch is exactly 1.
  scene.steer({1, 0, 0, 1, 2}, out);
  EXPECT_EQ(scene.cameraEye, glm::vec3(1, 5, 5));
  EXPECT_EQ(out.str(), "0\n");
}

// ---- degenerate views ----

TEST(DegenerateViews, EyeStraightAboveOrOnTheCentreStillGivesFiniteMatrices) {
  const glm::vec3 camera(0, 5, 5), light(0, 1, 3.5f);
  const struct {
    SteeringInput input;
    glm::vec3 camera, light;
  } cases[] = {
      {{0, 0, -5, 1}, {0, 5, 0}, light},     // camera straight above
      {{0, -10, -5, 1}, {0, -5, 0}, light},  // camera straight below
      {{0, -5, -5, 1}, {0, 0, 0}, light},    // camera on the centre
      {{-1, 0, -1, -1}, camera, {0, 1, 0}},  // light straight above
      {{-1, -1, -1, -1}, camera, {0, 0, 0}}  // light on the centre
  };
  for (const auto& c : cases) {
    SceneState scene = startedScene();
    std::ostringstream out;
    scene.steer(c.input, out);
    ASSERT_EQ(scene.cameraEye, c.camera);
    ASSERT_EQ(scene.lightPosition, c.light);
    scene.updateViewMatrices();
    EXPECT_TRUE(allFinite(scene.viewMatrix) && allFinite(scene.lightViewMatrix) &&
                allFinite(scene.textMatrix));
    if (c.camera != glm::vec3(0)) expectLooksAt(scene.viewMatrix, c.camera, scene.cameraCenter);
    if (c.light != glm::vec3(0)) expectLooksAt(scene.lightViewMatrix, c.light, scene.lightCenter);
  }
}

TEST(DegenerateViews, EveryFrameOfAPathLapHasFiniteViews) {
  SceneState scene = startedScene();
  std::ostringstream out;
  int vertical = 0;
  for (int n = 1; n <= 27 * 101; ++n) {
    scene.steer({0, 0, 0, 1, 1}, out);
    scene.updateViewMatrices();
    ASSERT_TRUE(allFinite(scene.viewMatrix) && allFinite(scene.textMatrix)) << "frame " << n;
    if (scene.cameraEye.x == 0.0f && scene.cameraEye.z == 0.0f) {
      ++vertical;
      expectLooksAt(scene.viewMatrix, scene.cameraEye, scene.cameraCenter);
    }
  }
  EXPECT_EQ(vertical, 2);  // points 5 and 6, at the start of segments 4 and 5
}

TEST(DegenerateViews, OrdinaryPositionsMatchGlmLookAtExactly) {
  const glm::vec3 center(0.0f), up(0.0f, 1.0f, 0.0f);
  for (int i = 0; i < 13 * 13 * 13; ++i) {
    const glm::vec3 eye(i % 13 - 6, i / 13 % 13 - 6, i / 169 - 6);
    if (eye.x == 0.0f && eye.z == 0.0f) continue;
    ASSERT_EQ(lookAtSafe(eye, center, up), glm::lookAt(eye, center, up)) << i;
  }
  // Close to the vertical but not on it, as on the path just after points 5 and 6.
  const glm::vec3 nearlyAbove(0.0f, 1.0f, -0.005f);
  EXPECT_EQ(lookAtSafe(nearlyAbove, center, up), glm::lookAt(nearlyAbove, center, up));
}
