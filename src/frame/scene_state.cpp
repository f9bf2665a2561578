// Start values and per-frame update of the camera, the light, the camera path and the motion
// history. The path and the history keep their exact arithmetic and odd orderings on purpose: the
// printed segment numbers and the blur's old matrices depend on them.
#include "frame/scene_state.h"

#include <cmath>
#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>

namespace {

// x, y, z of the path's control points; w is 1 for all. Point 30 is filled but never reached.
const float kPathPoints[31][3] = {
    {0, 1, 5},  {0, 1, 4},  {0, 1, 3},   {0, 1, 2},   {0, 1, 1},  {0, 1, 0},  {0, 2, 0},  {0, 2, 1},
    {0, 2, 2},  {0, 2, 3},  {0, 2, 4},   {0, 2, 5},   {0, 2, 5},  {5, 2, 5},  {5, 2, 0},  {5, 2, -5},
    {5, 2, -5}, {0, 2, -5}, {-5, 2, -5}, {-5, 2, -5}, {-5, 2, 0}, {-5, 2, 0}, {-5, 2, 5}, {-5, 2, 5},
    {0, 2, 5},  {0, 2, 5},  {0, 1, 5},   {0, 1, 5},   {0, 1, 4},  {0, 1, 4},  {0, 1, 4}};

}  // namespace

void MotionHistory::reset() {
  historyFull = false;
  historyIndex = 0;
  historyLength = kCapacity;
  for (MotionSnapshot& snapshot : motionHistory) snapshot = MotionSnapshot();
}

// While filling, each frame writes a whole entry. Once full, the entries shift down by one, the newest
// model goes to the last entry and the view and projection to entry 0. So entry 0, the one the blur
// reads, holds the model of nine frames earlier but the view of the previous frame. Kept that way
// deliberately: the blur's look depends on it.
void MotionHistory::record(const glm::mat4& model, const glm::mat4& view, const glm::mat4& projection) {
  if (!historyFull) {
    motionHistory[historyIndex].model = model;
    motionHistory[historyIndex].projection = projection;
    motionHistory[historyIndex].view = view;
    ++historyIndex;
  } else {
    for (int i = 0; i <= historyLength - 2; ++i) motionHistory[i] = motionHistory[i + 1];
    motionHistory[historyLength - 1].model = model;
    motionHistory[historyIndex].projection = projection;
    motionHistory[historyIndex].view = view;
  }
  if (historyIndex == historyLength) {
    historyFull = true;
    historyIndex = 0;
  }
}

void CameraPath::initCameraPath() {
  pathPointCount = 30;
  for (int i = 0; i < 31; ++i) {
    pathPoints[i][0] = kPathPoints[i][0];
    pathPoints[i][1] = kPathPoints[i][1];
    pathPoints[i][2] = kPathPoints[i][2];
    pathPoints[i][3] = 1.0f;
  }
}

glm::vec4 CameraPath::nextPathPoint(std::ostream& out) {
  out << pathSegment << std::endl;

  // Catmull-Rom (cardinal spline of tension 0). The weights are evaluated in double and rounded to
  // float; the point itself is summed in float, P0 first.
  const int i = pathSegment;
  const double s = (1 - 0) * 0.5;
  const double t = pathT;
  const float w[4] = {
      static_cast<float>(-s * t * t * t + 2 * s * t * t - s * t),
      static_cast<float>((2 - s) * t * t * t + (s - 3) * t * t + 1),
      static_cast<float>((s - 2) * t * t * t + (3 - 2 * s) * t * t + s * t),
      static_cast<float>(s * t * t * t - s * t * t),
  };
  glm::vec4 point;
  for (int c = 0; c < 4; ++c) {
    float sum = w[0] * pathPoints[i][c] + w[1] * pathPoints[i + 1][c];
    sum = sum + w[2] * pathPoints[i + 2][c];
    sum = sum + w[3] * pathPoints[i + 3][c];
    point[c] = sum;
  }

  // The parameter restarts at 0 rather than keeping the excess, so a segment lasts 101 frames.
  pathT += pathStep;
  if (pathT > 1.0f) {
    ++pathSegment;
    pathT = 0.0f;
    if (pathSegment + 4 > pathPointCount) pathSegment = 0;
  }
  return point;
}

void SceneState::initSceneState() {
  cameraCenter = glm::vec3(0.0f, 0.0f, 0.0f);
  cameraEye = glm::vec3(0.0f, 5.0f, 5.0f);
  cameraUp = glm::vec3(0.0f, 1.0f, 0.0f);
  path.pathT = 0.0f;
  path.pathSegment = 0;
  path.pathStep = 0.01f;
  lightPosition = glm::vec3(0.0f, 1.0f, 3.5f);
  lightCenter = glm::vec3(0.0f, 0.0f, 0.0f);
  lightUp = glm::vec3(0.0f, 1.0f, 0.0f);
  // The aspect stays 4:3 whatever the window size.
  projMatrix = glm::perspective(glm::radians(80.0f), 1.3333334f, 0.1f, 100.0f);
  viewMatrix = lookAtSafe(cameraEye, cameraCenter, cameraUp);
  lightViewMatrix = lookAtSafe(lightPosition, lightCenter, lightUp);
  // Maps clip coordinates -1..1 to texture coordinates 0..1: scale first, then translate.
  biasMatrix =
      glm::translate(glm::mat4(1.0f), glm::vec3(0.5f)) * glm::scale(glm::mat4(1.0f), glm::vec3(0.5f));
}

void SceneState::steer(const SteeringInput& input, std::ostream& out) {
  if (input.pathSwitch == 1) {
    glm::vec4 point = path.nextPathPoint(out);
    cameraEye = glm::vec3(point.x, point.y, point.z);
  } else if (input.controlMode == 1) {
    cameraEye = glm::vec3(static_cast<float>(input.offsetX), static_cast<float>(input.offsetY + 5),
                          static_cast<float>(input.offsetZ + 5));
  }
  // Independent of the camera: the light can be steered while the camera flies its path.
  if (input.controlMode == -1) {
    lightPosition =
        glm::vec3(static_cast<float>(input.offsetX) + 1.0f, static_cast<float>(input.offsetY) + 1.0f,
                  static_cast<float>(input.offsetZ) + 1.0f);
  }
}

void SceneState::updateViewMatrices() {
  viewMatrix = lookAtSafe(cameraEye, cameraCenter, cameraUp);
  lightViewMatrix = lookAtSafe(lightPosition, lightCenter, lightUp);
  // The light borrows the camera's projection; it has none of its own.
  textMatrix = (biasMatrix * projMatrix) * lightViewMatrix;
}

glm::mat4 lookAtSafe(const glm::vec3& eye, const glm::vec3& center, const glm::vec3& up) {
  glm::vec3 target = center;
  if (eye == center) {
    // No direction to look in: keep GL's default view axis, -z.
    target = eye + glm::vec3(0.0f, 0.0f, -1.0f);
  }
  const glm::vec3 forward = glm::normalize(target - eye);
  const glm::vec3 side = glm::cross(forward, up);
  if (glm::dot(side, side) > 1e-12f) return glm::lookAt(eye, target, up);
  // Looking along the up vector (straight down or up at the centre) leaves the side axis undefined;
  // any up across the view will do. -z keeps the top of the screen pointing away from +z, as just
  // before the eye reached the vertical line from the start side; x serves when up lies along z.
  const glm::vec3 across =
      std::abs(forward.z) < 0.9f ? glm::vec3(0.0f, 0.0f, -1.0f) : glm::vec3(1.0f, 0.0f, 0.0f);
  return glm::lookAt(eye, target, across);
}
