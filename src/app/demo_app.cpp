#include "app/demo_app.h"

#include <GL/glew.h>

#include <glm/gtc/matrix_transform.hpp>
#include <iostream>

#include "frame/render_passes.h"
#include "gpu/gl_platform.h"
#include "physics/physics.h"

namespace {
const char* const kShaderDir = "shaders";
const char* const kImageDir = "res";
}  // namespace

int DemoApp::run() {
  if (!init()) return -1;
  while (running) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) handleEvent(event);
    drawFrame();
  }
  shutdown();
  return 0;
}

bool DemoApp::init() {
  if (options == nullptr) return false;
  if (SDL_Init(SDL_INIT_EVERYTHING) < 0 && SDL_Init(SDL_INIT_VIDEO) < 0) {
    // The demo needs only video; a machine without sound or joystick still gets its window.
    std::cout << "SDL could not be initialised: " << SDL_GetError() << std::endl;
    return false;
  }
  int value = 0;
  if (optionInt(*options, "w", value) && value > 0) windowWidth = value;
  if (optionInt(*options, "h", value) && value > 0) windowHeight = value;
  if (windowWidth > kMaxWindowSide || windowHeight > kMaxWindowSide) useDefaultSize();
  bool opened = openWindow();
  const bool askedSize = windowWidth != kDefaultWidth || windowHeight != kDefaultHeight;
  // A window the targets and the viewport could not follow, or one the video driver refuses (SDL on
  // Windows keeps a row of the window's surface within 64 KB): start again at the default size.
  if (opened ? !fitsGlLimits(windowWidth, windowHeight) : askedSize) {
    useDefaultSize();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    opened = SDL_InitSubSystem(SDL_INIT_VIDEO) >= 0 && openWindow();
  }
  if (!opened) {
    std::cout << "SDL could not open the window: " << SDL_GetError() << std::endl;
    return false;
  }
  controls.reset();
  history.reset();
  GLenum glewStatus = glewInit();
  std::cout << (glewStatus == GLEW_OK ? "GLEW running" : "GLEW error on initialisation") << std::endl;
  useFramebufferFunctions();
  setFixedGlState();
  printGlInfo();
  loadSurfaceTexture();
  loadCubeMap();
  loadShaderProgram();
  initSceneState();
  queryShaderLocations();
  createRenderTargets();
  initCameraPath();
  createMeshes();
  initPhysics();
  return true;
}

void DemoApp::useDefaultSize() {
  std::cout << "window size " << windowWidth << " by " << windowHeight << " cannot be served; using "
            << kDefaultWidth << " by " << kDefaultHeight << std::endl;
  windowWidth = kDefaultWidth;
  windowHeight = kDefaultHeight;
}

bool fitsGlLimits(int width, int height) {
  GLint maxTexture = 0;
  GLint maxViewport[2] = {0, 0};
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport);
  return width <= maxTexture && height <= maxTexture && width <= maxViewport[0] && height <= maxViewport[1];
}

bool DemoApp::openWindow() {
  // Ask for the full set first; many drivers (Mesa among them) have no visual with both an
  // accumulation buffer and multisampling, so drop the accumulation buffer, then multisampling.
  struct Request {
    int accumSize;
    int multisampleBuffers;
    int samples;
  };
  const Request requests[] = {{8, 1, 2}, {0, 1, 2}, {0, 0, 0}};
  for (const Request& r : requests) {
    if (!multisample && r.multisampleBuffers != 0) continue;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_BUFFER_SIZE, 32);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, r.accumSize);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, r.accumSize);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, r.accumSize);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, r.accumSize);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, r.multisampleBuffers);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, r.samples);
    screen = SDL_SetVideoMode(windowWidth, windowHeight, 32, SDL_HWSURFACE | SDL_ASYNCBLIT | SDL_OPENGL);
    if (screen != nullptr) return true;
  }
  return false;
}

void DemoApp::setFixedGlState() {
  glClearColor(0, 0, 0, 0);
  glClearDepth(1.0);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_TEXTURE_CUBE_MAP);
  glViewport(0, 0, windowWidth, windowHeight);
}

void DemoApp::printGlInfo() {
  double value = 0;
  glGetDoublev(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &value);
  std::cout << "MAX TEXTURE IMAGE UNITS:" << value << std::endl;
  value = 0;
  glGetDoublev(GL_MAX_COLOR_ATTACHMENTS, &value);
  std::cout << "MAX COLOR ATTACHMENTS: " << value << std::endl;
  value = 0;
  glGetDoublev(GL_FRONT_FACE, &value);
  if (value == GL_CW) std::cout << "FRONTFACE CW " << std::endl;
  if (value == GL_CCW) std::cout << "FRONTFACE CCW " << std::endl;
}

void DemoApp::loadSurfaceTexture() { textures.loadSurfaceTexture(kImageDir); }

void DemoApp::loadCubeMap() { textures.loadCubeMap(kImageDir); }

void DemoApp::loadShaderProgram() {
  program.load(assetPath(kShaderDir, "vertexShader.txt"), assetPath(kShaderDir, "fragmentShader.txt"));
}

void DemoApp::initSceneState() { scene.initSceneState(); }

void DemoApp::queryShaderLocations() { program.queryLocations(); }

void DemoApp::createRenderTargets() { targets.create(windowWidth, windowHeight); }

void DemoApp::initCameraPath() { scene.path.initCameraPath(); }

void DemoApp::createMeshes() {
  GLint modelLocation = program.locations.mMatrix;
  groundMesh = std::make_unique<Mesh>(modelLocation);
  groundMesh->createPlane();
  groundMesh->upload();
  sphereMesh = std::make_unique<Mesh>(modelLocation);
  sphereMesh->createSphere(0.5f);
  sphereMesh->upload();
  sphereMesh->modelMatrix = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 1.5f, 0.0f));
  leftCubeMesh = std::make_unique<Mesh>(modelLocation);
  leftCubeMesh->createCube(0.5f);
  leftCubeMesh->modelMatrix = glm::translate(glm::mat4(1.0f), glm::vec3(-2.5f, 0.5f, 0.0f));
  leftCubeMesh->upload();
  rightCubeMesh = std::make_unique<Mesh>(modelLocation);
  rightCubeMesh->createCube(0.5f);
  rightCubeMesh->modelMatrix = glm::translate(glm::mat4(1.0f), glm::vec3(2.5f, 0.5f, 0.0f));
  rightCubeMesh->upload();
}

void DemoApp::handleEvent(SDL_Event& event) {
  ControlState::Effect effect = controls.apply(event);
  if (effect.quit) running = false;
  if (effect.resetEyeAndLight) {
    scene.cameraEye = glm::vec3(0.0f, 5.0f, 5.0f);
    scene.lightPosition = glm::vec3(1.0f, 1.0f, 1.0f);
  }
}

void DemoApp::updateSceneState() {
  sphereMesh->modelMatrix = glm::translate(glm::mat4(1.0f), spherePosition());
  SteeringInput input;
  input.offsetX = controls.offsetX;
  input.offsetY = controls.offsetY;
  input.offsetZ = controls.offsetZ;
  input.controlMode = controls.controlMode;
  input.pathSwitch = controls.pathSwitch;
  scene.steer(input, std::cout);
  // The view recorded is still last frame's: the matrices are rebuilt after this.
  history.record(sphereMesh->modelMatrix, scene.viewMatrix, scene.projMatrix);
}

void DemoApp::drawFrame() {
  stepPhysics();
  updateSceneState();
  scene.updateViewMatrices();
  FrameInputs in;
  in.program = &program;
  in.textures = &textures;
  in.targets = &targets;
  in.meshes = {groundMesh.get(), leftCubeMesh.get(), rightCubeMesh.get(), sphereMesh.get()};
  in.scene = &scene;
  in.history = &history;
  in.switches = {controls.shadowSwitch, controls.cubeMapSwitch, controls.blurSwitch};
  in.windowWidth = windowWidth;
  in.windowHeight = windowHeight;
  in.passMarker = passMarker;
  in.passMarkerUser = passMarkerUser;
  renderPasses(in);
  SDL_GL_SwapBuffers();
}

void DemoApp::shutdown() {
  glUseProgram(0);
  for (auto* mesh : {&groundMesh, &sphereMesh, &leftCubeMesh, &rightCubeMesh})
    if (*mesh) (*mesh)->deleteBuffers();
  groundMesh.reset();
  sphereMesh.reset();
  leftCubeMesh.reset();
  rightCubeMesh.reset();
  program.destroy();
  glDisable(GL_TEXTURE_2D);
  textures.destroy();
  targets.destroy();
  SDL_FreeSurface(screen);  // SDL owns the video surface; this is a no-op for it
  screen = nullptr;
  SDL_Quit();
  shutdownPhysics();
}
