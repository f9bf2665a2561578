// The three passes of a frame, drawn with one program: shadow depth from the light, the camera's
// image off-screen (it feeds the blur), and the final image in the window.
#pragma once

#include "frame/scene_state.h"
#include "geometry/mesh.h"
#include "gpu/render_targets.h"
#include "gpu/shader_program.h"
#include "gpu/textures.h"

// Drawn in every pass, always in this order.
struct SceneMeshes {
  const Mesh* ground = nullptr;
  const Mesh* leftCube = nullptr;
  const Mesh* rightCube = nullptr;
  const Mesh* sphere = nullptr;
};

// Keyboard switches as the frame reads them: on only when exactly 1.
struct FrameSwitches {
  int shadowSwitch = 0;
  int cubeMapSwitch = 0;
  int blurSwitch = 0;
};

struct FrameInputs {
  const ShaderProgram* program = nullptr;
  const SceneTextures* textures = nullptr;
  const RenderTargets* targets = nullptr;
  SceneMeshes meshes;
  const SceneState* scene = nullptr;
  const MotionHistory* history = nullptr;
  FrameSwitches switches;
  int windowWidth = 0;
  int windowHeight = 0;
  // Optional marker called before each pass (0 shadow, 1 off-screen, 2 final) and after the last
  // (3); the benchmark times passes with it. Null in the demo.
  void (*passMarker)(int pass, void* user) = nullptr;
  void* passMarkerUser = nullptr;
};

// Runs the three passes; leaves framebuffer 0 bound. The caller swaps.
void renderPasses(const FrameInputs& in);
