// The frame's three passes. Everything that depends on the switches is worked out first; each pass
// is then the same short block: target, viewport, clear, per-pass values, samplers, the scene.
// Per-pass values reach the shaders as constant vertex attributes, so each pass sets them afresh.
#include "frame/render_passes.h"

#include <glm/gtc/type_ptr.hpp>

#include "gpu/shader_interface.h"

namespace {

float switchValue(int value) { return value == 1 ? 1.0f : 0.0f; }

void setMatrix(GLint location, const glm::mat4& matrix) {
  glUniformMatrix4fv(location, 1, GL_FALSE, glm::value_ptr(matrix));
}

void setVector(GLuint location, const glm::vec3& v) { glVertexAttrib3f(location, v.x, v.y, v.z); }

// The camera's matrices, shared by the off-screen and the final pass.
void setCameraMatrices(const ShaderLocations& loc, const SceneState& scene) {
  setMatrix(loc.pMatrix, scene.projMatrix);
  setMatrix(loc.vMatrix, scene.viewMatrix);
  setMatrix(loc.tMatrix, scene.textMatrix);
}

// Light position, the point seen from, and the pass number: set by every pass.
void setPassValues(const ShaderLocations& loc, const glm::vec3& light, const glm::vec3& eye, float pass) {
  setVector(loc.in_light, light);
  setVector(loc.in_view, eye);
  glVertexAttrib1f(loc.in_pass, pass);
}

// Activates the unit, binds the texture and points the sampler (looked up by name) at the unit.
void bindSampler(GLuint program, GLint unit, GLenum target, GLuint texture, const char* name) {
  glActiveTexture(GL_TEXTURE0 + unit);
  glBindTexture(target, texture);
  glUniform1i(glGetUniformLocation(program, name), unit);
}

void bindSceneSamplers(const FrameInputs& in) {
  const GLuint program = in.program->shaderProgram;
  bindSampler(program, shader::kSurfaceUnit, GL_TEXTURE_2D, in.textures->surfaceTexture,
              shader::kSurfaceSampler);
  bindSampler(program, shader::kShadowUnit, GL_TEXTURE_2D, in.targets->shadowDepthTexture,
              shader::kShadowSampler);
  bindSampler(program, shader::kCubeUnit, GL_TEXTURE_CUBE_MAP, in.textures->cubeMapTexture,
              shader::kCubeSampler);
}

// Shares of the reflection and of the surface texture in a mesh's colour.
struct SurfaceValues {
  float cubeMapFactor;
  float textureFactor;
};

void setSurface(const ShaderLocations& loc, const SurfaceValues& surface) {
  glVertexAttrib1f(loc.in_cubemap_factor, surface.cubeMapFactor);
  glVertexAttrib1f(loc.in_texture_factor, surface.textureFactor);
}

void draw(const FrameInputs& in, const Mesh* mesh) {
  const ShaderLocations& loc = in.program->locations;
  mesh->draw(loc.in_vertex, loc.in_normal, loc.texCoords);
}

// Ground, left cube, right cube, sphere: the order every pass draws in.
void drawScene(const FrameInputs& in) {
  draw(in, in.meshes.ground);
  draw(in, in.meshes.leftCube);
  draw(in, in.meshes.rightCube);
  draw(in, in.meshes.sphere);
}

void beginPass(const FrameInputs& in, int pass) {
  if (in.passMarker != nullptr) in.passMarker(pass, in.passMarkerUser);
  glViewport(0, 0, in.windowWidth, in.windowHeight);
}

}  // namespace

void renderPasses(const FrameInputs& in) {
  const ShaderLocations& loc = in.program->locations;
  const GLuint program = in.program->shaderProgram;
  const SceneState& scene = *in.scene;
  const MotionSnapshot& old = in.history->oldest();

  const float reflect = switchValue(in.switches.cubeMapSwitch);
  const SurfaceValues sphereSurface = {reflect, 1.0f - reflect};
  const SurfaceValues plainSurface = {0.0f, 1.0f};
  const float shadowOn = switchValue(in.switches.shadowSwitch);
  const float sphereBlur = switchValue(in.switches.blurSwitch);

  glVertexAttrib1f(glGetAttribLocation(program, shader::kWindowWidth), static_cast<float>(in.windowWidth));
  glVertexAttrib1f(glGetAttribLocation(program, shader::kWindowHeight), static_cast<float>(in.windowHeight));
  glVertexAttrib1f(loc.in_motion_blur, 0.0f);

  // Shadow pass: depth from the light. The slope-scaled offset pushes the stored depth back on faces
  // the light sees at a slant (a cube's side from a low light), so the shader's own bias stays small.
  beginPass(in, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, in.targets->shadowFramebuffer);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  setMatrix(loc.pMatrix, scene.projMatrix);
  setMatrix(loc.vMatrix, scene.lightViewMatrix);
  setPassValues(loc, scene.lightPosition, scene.lightPosition, 1.0f);
  glPolygonOffset(1.0f, 0.05f);
  glEnable(GL_POLYGON_OFFSET_FILL);
  drawScene(in);
  glDisable(GL_POLYGON_OFFSET_FILL);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);

  // Off-screen pass: the camera's image for the blur, always with shadows.
  beginPass(in, 1);
  glBindFramebuffer(GL_FRAMEBUFFER, in.targets->blurFramebuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, in.targets->blurDepthRenderbuffer);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  setCameraMatrices(loc, scene);
  setPassValues(loc, scene.lightPosition, scene.cameraEye, 2.0f);
  glVertexAttrib1f(loc.in_shadow_on, 1.0f);
  bindSceneSamplers(in);
  setSurface(loc, sphereSurface);
  drawScene(in);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);

  // Final pass into the window, which the off-screen pass left bound: only the sphere reflects and
  // blurs.
  beginPass(in, 2);
  glVertexAttrib1f(loc.in_shadow_on, shadowOn);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  setCameraMatrices(loc, scene);
  setMatrix(loc.pMatrix_old, old.projection);
  setMatrix(loc.vMatrix_old, old.view);
  setMatrix(loc.mMatrix_old, old.model);
  setPassValues(loc, scene.lightPosition, scene.cameraEye, 2.0f);  // the same pass number as off-screen
  bindSceneSamplers(in);
  bindSampler(program, shader::kBlurUnit, GL_TEXTURE_2D, in.targets->blurColorTexture, shader::kBlurSampler);
  setSurface(loc, plainSurface);
  draw(in, in.meshes.ground);
  draw(in, in.meshes.leftCube);
  draw(in, in.meshes.rightCube);
  setSurface(loc, sphereSurface);
  glVertexAttrib1f(loc.in_motion_blur, sphereBlur);
  draw(in, in.meshes.sphere);

  if (in.passMarker != nullptr) in.passMarker(3, in.passMarkerUser);
}
