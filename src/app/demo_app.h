// The one application object: start-up, main loop and shutdown, with keyboard input.
// Its member functions are glue; the logic lives in the structs it holds.
#pragma once

#include <SDL/SDL.h>

#include <memory>

#include "app/controls.h"
#include "app/options.h"
#include "frame/scene_state.h"
#include "geometry/mesh.h"
#include "gpu/render_targets.h"
#include "gpu/shader_program.h"
#include "gpu/textures.h"

// True when a window of this size fits the current GL context's texture and viewport limits.
bool fitsGlLimits(int width, int height);

struct DemoApp {
  static constexpr int kDefaultWidth = 1024;
  static constexpr int kDefaultHeight = 768;
  // X window sizes are 16-bit signed: anything larger wraps, so it is refused before opening.
  static constexpr int kMaxWindowSide = 32767;

  bool running = true;
  SDL_Surface* screen = nullptr;
  ControlState controls;
  ShaderProgram program;
  MotionHistory history;
  SceneState scene;
  SceneTextures textures;
  RenderTargets targets;
  std::unique_ptr<Mesh> groundMesh, sphereMesh, leftCubeMesh, rightCubeMesh;
  int windowWidth = kDefaultWidth;
  int windowHeight = kDefaultHeight;
  const OptionMap* options = nullptr;
  // The window is asked for with multisampling first; the capture tool can ask for one without, to
  // hold drivers that have none against frames drawn the same way.
  bool multisample = true;
  // Handed to the frame's passes; the capture and benchmark tools hook in here, the demo leaves it null.
  void (*passMarker)(int pass, void* user) = nullptr;
  void* passMarkerUser = nullptr;

  // Start-up, main loop, shutdown; -1 when start-up fails, 0 after an orderly end.
  int run();
  bool init();
  void handleEvent(SDL_Event& event);
  void drawFrame();
  void shutdown();

  // Start-up steps, in the order init runs them.
  bool openWindow();
  void useDefaultSize();
  void setFixedGlState();
  void printGlInfo();
  void loadSurfaceTexture();
  void loadCubeMap();
  void loadShaderProgram();
  void initSceneState();
  void queryShaderLocations();
  void createRenderTargets();
  void initCameraPath();
  void createMeshes();

  // Per-frame step: sphere from physics, camera and light from the keyboard, motion history.
  void updateSceneState();
};
