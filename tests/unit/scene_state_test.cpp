// The scene state without a window: the camera path and its printed segments, the motion history
// that feeds the blur, the camera and the light steered from the keyboard values, and view matrices
// that stay finite when the eye looks straight down the up vector.
#include "frame/scene_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/controls.h"

namespace {

bool allFinite(const glm::mat4& m) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r)
      if (!std::isfinite(m[c][r])) return false;
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

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

SteeringInput steering(int x, int y, int z, int mode, int path = 0) {
  SteeringInput input;
  input.offsetX = x;
  input.offsetY = y;
  input.offsetZ = z;
  input.controlMode = mode;
  input.pathSwitch = path;
  return input;
}

// A view matrix that looks from `eye` at `center`: the centre lies straight ahead, the rotation is
// orthonormal, and the eye maps to the origin.
void expectLooksAt(const glm::mat4& view, const glm::vec3& eye, const glm::vec3& center) {
  ASSERT_TRUE(allFinite(view));
  glm::vec4 c = view * glm::vec4(center, 1.0f);
  EXPECT_NEAR(c.x, 0.0f, 1e-5f);
  EXPECT_NEAR(c.y, 0.0f, 1e-5f);
  EXPECT_NEAR(c.z, -glm::length(center - eye), 1e-5f);
  glm::vec4 e = view * glm::vec4(eye, 1.0f);
  EXPECT_NEAR(glm::length(glm::vec3(e)), 0.0f, 1e-5f);
  glm::mat3 r(view);
  glm::mat3 identity = glm::transpose(r) * r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(identity[i][j], i == j ? 1.0f : 0.0f, 1e-5f);
}

}  // namespace

// ---- start values ----

TEST(SceneStart, CameraLightAndProjectionStartWhereTheSceneExpects) {
  SceneState scene = startedScene();
  EXPECT_EQ(scene.cameraEye, glm::vec3(0, 5, 5));
  EXPECT_EQ(scene.lightPosition, glm::vec3(0, 1, 3.5f));
  EXPECT_EQ(scene.viewMatrix, glm::lookAt(glm::vec3(0, 5, 5), glm::vec3(0), glm::vec3(0, 1, 0)));
  EXPECT_EQ(scene.lightViewMatrix, glm::lookAt(glm::vec3(0, 1, 3.5f), glm::vec3(0), glm::vec3(0, 1, 0)));
  // 80 degrees vertically, 4:3 whatever the window: the top edge of the near plane at 0.1 * tan(40).
  glm::vec4 clip = scene.projMatrix * glm::vec4(0.0f, 0.1f * std::tan(glm::radians(40.0f)), -0.1f, 1.0f);
  EXPECT_NEAR(clip.y / clip.w, 1.0f, 1e-4f);
  EXPECT_NEAR(clip.z / clip.w, -1.0f, 1e-4f);
  EXPECT_NEAR(scene.projMatrix[1][1] / scene.projMatrix[0][0], 4.0f / 3.0f, 1e-6f);
  clip = scene.projMatrix * glm::vec4(0.0f, 0.0f, -100.0f, 1.0f);
  EXPECT_NEAR(clip.z / clip.w, 1.0f, 1e-4f);
}

TEST(SceneStart, BiasMatrixHalvesThenShiftsByAHalf) {
  SceneState scene = startedScene();
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      float expected = 0.0f;
      if (c == r) expected = c == 3 ? 1.0f : 0.5f;
      if (c == 3) expected = r == 3 ? 1.0f : 0.5f;
      EXPECT_EQ(scene.biasMatrix[c][r], expected) << "column " << c << " row " << r;
    }
}

TEST(SceneStart, ShadowTextureMatrixMapsTheLitCentreIntoTheShadowMap) {
  SceneState scene = startedScene();
  scene.updateViewMatrices();
  // The point the light looks at lands in the middle of the shadow map, at a depth inside 0..1.
  glm::vec4 t = scene.textMatrix * glm::vec4(scene.lightCenter, 1.0f);
  EXPECT_NEAR(t.x / t.w, 0.5f, 1e-6f);
  EXPECT_NEAR(t.y / t.w, 0.5f, 1e-6f);
  EXPECT_GT(t.z / t.w, 0.5f);
  EXPECT_LT(t.z / t.w, 1.0f);
  // A point one unit to the light's right lands right of the middle.
  glm::vec4 right = scene.textMatrix * glm::vec4(1.0f, 0.0f, 0.0f, 1.0f);
  EXPECT_GT(right.x / right.w, 0.5f);
}

// ---- camera path ----

TEST(CameraPath, FirstPointIsPointOneAndPrintsSegmentZero) {
  CameraPath path;
  path.initCameraPath();
  EXPECT_EQ(path.pathPointCount, 30);
  EXPECT_EQ(controlPoint(path, 30), glm::vec3(0, 1, 4));
  std::ostringstream out;
  glm::vec4 p = path.nextPathPoint(out);
  EXPECT_EQ(out.str(), "0\n");
  EXPECT_EQ(p, glm::vec4(0, 1, 4, 1));
}

TEST(CameraPath, SegmentChangesEvery101FramesAndWrapsFrom26ToZero) {
  CameraPath path;
  path.initCameraPath();
  std::ostringstream out;
  const int lap = 27 * 101;
  for (int n = 0; n < lap + 150; ++n) path.nextPathPoint(out);
  std::vector<std::string> printed = lines(out.str());
  ASSERT_EQ(printed.size(), static_cast<size_t>(lap + 150));
  for (int n = 0; n < static_cast<int>(printed.size()); ++n)
    ASSERT_EQ(printed[n], std::to_string((n / 101) % 27)) << "frame " << n + 1;
  EXPECT_EQ(printed[lap - 1], "26");
  EXPECT_EQ(printed[lap], "0");
}

TEST(CameraPath, PassesThroughItsControlPointsAndClosesTheLap) {
  CameraPath path;
  path.initCameraPath();
  std::ostringstream out;
  for (int segment = 0; segment < 27; ++segment) {
    glm::vec4 start = path.nextPathPoint(out);  // t = 0 of this segment
    EXPECT_EQ(glm::vec3(start), controlPoint(path, segment + 1)) << "segment " << segment;
    for (int n = 1; n < 101; ++n) path.nextPathPoint(out);
  }
  // Back at the start: the lap ends at point 28, which equals point 1, so there is no jump.
  EXPECT_EQ(path.pathSegment, 0);
  EXPECT_EQ(path.pathT, 0.0f);
  // At t = 1 a segment reaches its far control point.
  for (int segment : {0, 4, 12, 26}) {
    path.pathSegment = segment;
    path.pathT = 1.0f;
    EXPECT_EQ(glm::vec3(path.nextPathPoint(out)), controlPoint(path, segment + 2)) << "segment " << segment;
  }
}

TEST(CameraPath, LastStepOfASegmentEndsJustShortOfOne) {
  CameraPath path;
  path.initCameraPath();
  std::ostringstream out;
  for (int n = 0; n < 100; ++n) path.nextPathPoint(out);
  // Float steps of 0.01 stay below 1 after 100 additions, so the segment has a 101st frame.
  EXPECT_EQ(path.pathSegment, 0);
  EXPECT_GT(path.pathT, 0.999f);
  EXPECT_LT(path.pathT, 1.0f);
  glm::vec4 last = path.nextPathPoint(out);
  EXPECT_EQ(path.pathSegment, 1);
  EXPECT_EQ(path.pathT, 0.0f);  // restarts at 0, the excess is dropped
  EXPECT_NEAR(last.z, 3.0f, 1e-5f);
}

TEST(CameraPath, FollowingResumesWhereItStopped) {
  SceneState uninterrupted = startedScene();
  SceneState paused = startedScene();
  std::ostringstream a, b;
  for (int n = 0; n < 150; ++n) {
    uninterrupted.steer(steering(0, 0, 0, 1, 1), a);
    paused.steer(steering(0, 0, 0, 1, 1), b);
  }
  // Stopped: the camera goes back to the offsets and nothing is printed.
  const std::string printedBefore = b.str();
  for (int n = 0; n < 40; ++n) paused.steer(steering(2, 0, 0, 1, 0), b);
  EXPECT_EQ(b.str(), printedBefore);
  EXPECT_EQ(paused.cameraEye, glm::vec3(2, 5, 5));
  for (int n = 0; n < 60; ++n) {
    uninterrupted.steer(steering(0, 0, 0, 1, 1), a);
    paused.steer(steering(0, 0, 0, 1, 1), b);
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
    if (n <= 10) {
      EXPECT_EQ(oldest.model, modelOfFrame(1)) << "frame " << n;
      EXPECT_EQ(oldest.view, viewOfFrame(1)) << "frame " << n;
    } else {
      EXPECT_EQ(oldest.model, modelOfFrame(n - 9)) << "frame " << n;
      EXPECT_EQ(oldest.view, viewOfFrame(n)) << "frame " << n;
    }
    EXPECT_EQ(oldest.projection, projection) << "frame " << n;
  }
  EXPECT_TRUE(history.historyFull);
  EXPECT_EQ(history.historyIndex, 0);
}

TEST(MotionHistory, FillsOneEntryPerFrameThenStaysFull) {
  MotionHistory history;
  history.reset();
  for (int n = 1; n <= 9; ++n) {
    history.record(modelOfFrame(n), viewOfFrame(n), glm::mat4(2.0f));
    EXPECT_FALSE(history.historyFull);
    EXPECT_EQ(history.historyIndex, n);
  }
  history.record(modelOfFrame(10), viewOfFrame(10), glm::mat4(2.0f));
  EXPECT_TRUE(history.historyFull);
  EXPECT_EQ(history.historyIndex, 0);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(history.motionHistory[i].model, modelOfFrame(i + 1));
  // Reset empties it again: identity everywhere.
  history.reset();
  EXPECT_FALSE(history.historyFull);
  EXPECT_EQ(history.historyLength, 10);
  EXPECT_EQ(history.oldest().model, glm::mat4(1.0f));
  EXPECT_EQ(history.motionHistory[9].view, glm::mat4(1.0f));
}

TEST(MotionHistory, FrameRecordsLastFramesView) {
  // Driven like the frame: steer, record the current view, then rebuild the matrices.
  SceneState scene = startedScene();
  MotionHistory history;
  history.reset();
  const glm::mat4 startView = scene.viewMatrix;
  std::vector<glm::mat4> views;
  std::ostringstream out;
  for (int n = 1; n <= 15; ++n) {
    scene.steer(steering(n, 0, 0, 1), out);
    history.record(modelOfFrame(n), scene.viewMatrix, scene.projMatrix);
    scene.updateViewMatrices();
    views.push_back(scene.viewMatrix);
    const glm::mat4& expected = n <= 10 ? startView : views[n - 2];
    EXPECT_EQ(history.oldest().view, expected) << "frame " << n;
  }
}

// ---- steering ----

TEST(Steering, ModeOneMovesTheCameraOnly) {
  SceneState scene = startedScene();
  std::ostringstream out;
  scene.steer(steering(0, 0, 0, 1), out);
  EXPECT_EQ(scene.cameraEye, glm::vec3(0, 5, 5));
  scene.steer(steering(2, -1, 3, 1), out);
  EXPECT_EQ(scene.cameraEye, glm::vec3(2, 4, 8));
  EXPECT_EQ(scene.lightPosition, glm::vec3(0, 1, 3.5f));
  EXPECT_EQ(out.str(), "");
}

TEST(Steering, ModeMinusOneMovesTheLightOnlyEvenWhileThePathFlies) {
  SceneState scene = startedScene();
  std::ostringstream out;
  scene.steer(steering(2, -1, 3, 1), out);
  scene.steer(steering(-3, 2, 0, -1), out);
  EXPECT_EQ(scene.cameraEye, glm::vec3(2, 4, 8));
  EXPECT_EQ(scene.lightPosition, glm::vec3(-2, 3, 1));
  scene.steer(steering(4, 0, 0, -1, 1), out);
  EXPECT_EQ(scene.cameraEye, glm::vec3(0, 1, 4));
  EXPECT_EQ(scene.lightPosition, glm::vec3(5, 1, 1));
  EXPECT_EQ(out.str(), "0\n");
}

TEST(Steering, OtherModesAndSwitchValuesMoveNothing) {
  for (int mode : {0, 2, -2}) {
    SceneState scene = startedScene();
    std::ostringstream out;
    scene.steer(steering(3, 3, 3, mode), out);
    EXPECT_EQ(scene.cameraEye, glm::vec3(0, 5, 5)) << "mode " << mode;
    EXPECT_EQ(scene.lightPosition, glm::vec3(0, 1, 3.5f)) << "mode " << mode;
  }
  // The path is followed only when its switch is exactly 1.
  SceneState scene = startedScene();
  std::ostringstream out;
  scene.steer(steering(1, 0, 0, 1, 2), out);
  EXPECT_EQ(scene.cameraEye, glm::vec3(1, 5, 5));
  EXPECT_EQ(out.str(), "");
}

TEST(Steering, SKeyResetHoldsOnlyWhereTheOffsetsDoNotSteer) {
  ControlState controls;
  controls.reset();
  SceneState scene = startedScene();
  std::ostringstream out;
  auto frame = [&](SDLKey key, Uint8 type) {
    SDL_Event event = {};
    event.type = type;
    event.key.keysym.sym = key;
    if (controls.apply(event).resetEyeAndLight) {
      scene.cameraEye = glm::vec3(0, 5, 5);
      scene.lightPosition = glm::vec3(1, 1, 1);
    }
    scene.steer(steering(controls.offsetX, controls.offsetY, controls.offsetZ, controls.controlMode,
                         controls.pathSwitch),
                out);
  };
  frame(SDLK_RIGHT, SDL_KEYDOWN);
  frame(SDLK_RIGHT, SDL_KEYUP);
  EXPECT_EQ(scene.cameraEye, glm::vec3(1, 5, 5));
  // Camera steered: s puts the light at (1, 1, 1) for good, the camera goes back to its offsets.
  frame(SDLK_s, SDL_KEYDOWN);
  EXPECT_EQ(scene.cameraEye, glm::vec3(1, 5, 5));
  EXPECT_EQ(scene.lightPosition, glm::vec3(1, 1, 1));
  // Light steered: the camera stays where s put it.
  frame(SDLK_l, SDL_KEYDOWN);
  frame(SDLK_l, SDL_KEYUP);
  ASSERT_EQ(controls.controlMode, -1);
  frame(SDLK_s, SDL_KEYDOWN);
  EXPECT_EQ(scene.cameraEye, glm::vec3(0, 5, 5));
  EXPECT_EQ(scene.lightPosition, glm::vec3(1, 1, 1));
}

// ---- degenerate views ----

TEST(DegenerateViews, EyeStraightAboveOrOnTheCentreStillGivesFiniteMatrices) {
  struct Case {
    SteeringInput input;
    glm::vec3 camera, light;
  };
  SceneState start = startedScene();
  const Case cases[] = {
      {steering(0, 0, -5, 1), {0, 5, 0}, start.lightPosition},     // camera straight above
      {steering(0, -10, -5, 1), {0, -5, 0}, start.lightPosition},  // camera straight below
      {steering(0, -5, -5, 1), {0, 0, 0}, start.lightPosition},    // camera on the centre
      {steering(-1, 0, -1, -1), start.cameraEye, {0, 1, 0}},       // light straight above
      {steering(-1, -1, -1, -1), start.cameraEye, {0, 0, 0}},      // light on the centre
  };
  for (const Case& c : cases) {
    SceneState scene = startedScene();
    std::ostringstream out;
    scene.steer(c.input, out);
    ASSERT_EQ(scene.cameraEye, c.camera);
    ASSERT_EQ(scene.lightPosition, c.light);
    scene.updateViewMatrices();
    EXPECT_TRUE(allFinite(scene.viewMatrix));
    EXPECT_TRUE(allFinite(scene.lightViewMatrix));
    EXPECT_TRUE(allFinite(scene.textMatrix));
    if (c.camera != glm::vec3(0)) expectLooksAt(scene.viewMatrix, c.camera, scene.cameraCenter);
    if (c.light != glm::vec3(0)) expectLooksAt(scene.lightViewMatrix, c.light, scene.lightCenter);
  }
}

TEST(DegenerateViews, EveryFrameOfAPathLapHasFiniteViews) {
  SceneState scene = startedScene();
  std::ostringstream out;
  int vertical = 0;
  for (int n = 0; n < 27 * 101; ++n) {
    scene.steer(steering(0, 0, 0, 1, 1), out);
    scene.updateViewMatrices();
    ASSERT_TRUE(allFinite(scene.viewMatrix)) << "frame " << n + 1;
    ASSERT_TRUE(allFinite(scene.textMatrix)) << "frame " << n + 1;
    if (scene.cameraEye.x == 0.0f && scene.cameraEye.z == 0.0f) {
      ++vertical;
      expectLooksAt(scene.viewMatrix, scene.cameraEye, scene.cameraCenter);
    }
  }
  // Points 5 and 6, at the start of segments 4 and 5.
  EXPECT_EQ(vertical, 2);
}

TEST(DegenerateViews, OrdinaryPositionsMatchGlmLookAtExactly) {
  const glm::vec3 center(0.0f), up(0.0f, 1.0f, 0.0f);
  for (int x = -6; x <= 6; ++x)
    for (int y = -6; y <= 6; ++y)
      for (int z = -6; z <= 6; ++z) {
        if (x == 0 && z == 0) continue;
        const glm::vec3 eye(x, y, z);
        ASSERT_EQ(lookAtSafe(eye, center, up), glm::lookAt(eye, center, up)) << x << " " << y << " " << z;
      }
  // Close to the vertical but not on it, as on the path just after points 5 and 6.
  const glm::vec3 nearlyAbove(0.0f, 1.0f, -0.005f);
  EXPECT_EQ(lookAtSafe(nearlyAbove, center, up), glm::lookAt(nearlyAbove, center, up));
}
