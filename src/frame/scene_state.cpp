#include "frame/scene_state.h"

#include <glm/gtc/matrix_transform.hpp>

// Placeholder until the scene state lands.
void MotionHistory::reset() {}
void MotionHistory::record(const glm::mat4&, const glm::mat4&, const glm::mat4&) {}
void CameraPath::initCameraPath() {}
glm::vec4 CameraPath::nextPathPoint(std::ostream&) { return glm::vec4(0, 1, 4, 1); }
void SceneState::initSceneState() {
  cameraEye = {0, 5, 5};
  cameraUp = {0, 1, 0};
  lightPosition = {0, 1, 3.5f};
  lightUp = {0, 1, 0};
  projMatrix = glm::perspective(glm::radians(80.0f), 4.0f / 3.0f, 0.1f, 100.0f);
}
void SceneState::steer(const SteeringInput&, std::ostream&) {}
void SceneState::updateViewMatrices() {
  viewMatrix = glm::lookAt(cameraEye, cameraCenter, cameraUp);
  lightViewMatrix = glm::lookAt(lightPosition, lightCenter, lightUp);
}
glm::mat4 lookAtSafe(const glm::vec3& eye, const glm::vec3& center, const glm::vec3& up) {
  return glm::lookAt(eye, center, up);
}
