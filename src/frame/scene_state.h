// Per-frame scene state: camera, light and their matrices, the camera's spline path and the short
// history of matrices that feeds the motion blur. Plain data, driven frame by frame without GL.
#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>
#include <ostream>

struct MotionSnapshot {
  glm::mat4 model{1.0f};
  glm::mat4 view{1.0f};
  glm::mat4 projection{1.0f};
};

// Ten snapshots; entry 0 is what the blur reads. Once full it holds the model of nine frames back
// but the view of the previous frame (see record).
struct MotionHistory {
  static constexpr int kCapacity = 10;
  bool historyFull = false;
  int historyIndex = 0;
  int historyLength = kCapacity;
  MotionSnapshot motionHistory[kCapacity];

  void reset();
  void record(const glm::mat4& model, const glm::mat4& view, const glm::mat4& projection);
  const MotionSnapshot& oldest() const { return motionHistory[0]; }
};

// A Catmull-Rom path through fixed control points, advanced one step of its parameter per frame.
struct CameraPath {
  static constexpr int kCapacity = 100;
  float pathPoints[kCapacity][4] = {};
  int pathPointCount = 0;
  int pathSegment = 0;
  float pathT = 0.0f;
  float pathStep = 0.01f;

  void initCameraPath();
  // Prints the current segment, returns the point at the current parameter, then advances.
  glm::vec4 nextPathPoint(std::ostream& out);
};

// The keyboard values the scene follows (their meaning is the application's).
struct SteeringInput {
  int offsetX = 0, offsetY = 0, offsetZ = 0;
  int controlMode = 1;
  int pathSwitch = 0;
};

struct SceneState {
  glm::mat4 projMatrix{1.0f};
  glm::mat4 viewMatrix{1.0f};
  glm::vec3 cameraEye{0.0f}, cameraCenter{0.0f}, cameraUp{0.0f};
  glm::mat4 lightViewMatrix{1.0f};
  glm::vec3 lightPosition{0.0f}, lightCenter{0.0f}, lightUp{0.0f};
  glm::mat4 textMatrix{1.0f};
  glm::mat4 biasMatrix{1.0f};
  CameraPath path;

  void initSceneState();
  // Moves the camera (path or offsets) and the light (offsets); the path prints its segment to `out`.
  void steer(const SteeringInput& input, std::ostream& out);
  // Rebuilds the camera view, the light view and the shadow texture matrix from the positions.
  void updateViewMatrices();
};

// glm::lookAt, except that it stays finite when the eye sits straight above or below the centre (it
// takes another up vector) or on the centre itself (it looks down -z).
glm::mat4 lookAtSafe(const glm::vec3& eye, const glm::vec3& center, const glm::vec3& up);
