// The frame's three passes driven with real resources: the program from shaders/, textures from
// the generated images, the real targets and meshes. Checks what each pass leaves in GL, that every
// pass draws all four meshes, and what shadows, reflection and blur do to the window's pixels.
#include "frame/render_passes.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <memory>
#include <string>
#include <vector>

#include "gpu/shader_interface.h"
#include "scene_images.h"
#include "support/gl_context.h"

namespace {

// What GL holds at a pass marker: the values the previous pass left behind.
struct PassState {
  float pass, shadowOn, cubeMapFactor, textureFactor, motionBlur, windowWidth, windowHeight;
  glm::vec3 light, view;
  glm::mat4 pMatrix, vMatrix, tMatrix, pMatrixOld, vMatrixOld, mMatrixOld;
  GLint framebuffer;
};

struct Recorder {
  GLuint program = 0;
  const ShaderLocations* loc = nullptr;
  std::vector<PassState> states;
  // Primitives generated per pass, from a query begun at each marker.
  bool countPrimitives = false;
  GLuint queries[3] = {0, 0, 0};
};

glm::vec4 attribute(GLint index) {
  glm::vec4 v(0.0f);
  glGetVertexAttribfv(static_cast<GLuint>(index), GL_CURRENT_VERTEX_ATTRIB, glm::value_ptr(v));
  return v;
}

glm::mat4 uniformMatrix(GLuint program, GLint location) {
  glm::mat4 m(0.0f);
  glGetUniformfv(program, location, glm::value_ptr(m));
  return m;
}

void recordPass(int pass, void* user) {
  Recorder& r = *static_cast<Recorder*>(user);
  const ShaderLocations& loc = *r.loc;
  PassState s;
  s.pass = attribute(loc.in_pass).x;
  s.shadowOn = attribute(loc.in_shadow_on).x;
  s.cubeMapFactor = attribute(loc.in_cubemap_factor).x;
  s.textureFactor = attribute(loc.in_texture_factor).x;
  s.motionBlur = attribute(loc.in_motion_blur).x;
  s.windowWidth = attribute(glGetAttribLocation(r.program, shader::kWindowWidth)).x;
  s.windowHeight = attribute(glGetAttribLocation(r.program, shader::kWindowHeight)).x;
  s.light = attribute(loc.in_light);
  s.view = attribute(loc.in_view);
  s.pMatrix = uniformMatrix(r.program, loc.pMatrix);
  s.vMatrix = uniformMatrix(r.program, loc.vMatrix);
  s.tMatrix = uniformMatrix(r.program, loc.tMatrix);
  s.pMatrixOld = uniformMatrix(r.program, loc.pMatrix_old);
  s.vMatrixOld = uniformMatrix(r.program, loc.vMatrix_old);
  s.mMatrixOld = uniformMatrix(r.program, loc.mMatrix_old);
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &s.framebuffer);
  r.states.push_back(s);
  if (r.countPrimitives) {
    if (pass > 0) glEndQuery(GL_PRIMITIVES_GENERATED);
    if (pass < 3) glBeginQuery(GL_PRIMITIVES_GENERATED, r.queries[pass]);
  }
}

// Every framebuffer bind of a frame, recorded on its way to the driver through GLEW's entry point.
std::vector<GLuint> gFramebufferBinds;
PFNGLBINDFRAMEBUFFERPROC gDriverBindFramebuffer = nullptr;
void GLAPIENTRY recordBindFramebuffer(GLenum target, GLuint framebuffer) {
  gFramebufferBinds.push_back(framebuffer);
  gDriverBindFramebuffer(target, framebuffer);
}

int luminance(const unsigned char* p) { return (p[0] * 3 + p[1] * 6 + p[2]) / 10; }

// Does any colour channel of RGBA pixel i differ by more than `threshold`?
bool differs(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, size_t i,
             int threshold) {
  for (size_t c = i * 4; c < i * 4 + 3; ++c)
    if (std::abs(a[c] - b[c]) > threshold) return true;
  return false;
}

// Does the segment from a to b pass through the axis-aligned box [lo, hi]?
bool segmentHitsBox(glm::vec3 a, glm::vec3 b, glm::vec3 lo, glm::vec3 hi) {
  float t0 = 0.0f, t1 = 1.0f;
  const glm::vec3 d = b - a;
  for (int i = 0; i < 3; ++i) {
    if (std::fabs(d[i]) < 1e-6f) {
      if (a[i] < lo[i] || a[i] > hi[i]) return false;
      continue;
    }
    float n = (lo[i] - a[i]) / d[i], f = (hi[i] - a[i]) / d[i];
    if (n > f) std::swap(n, f);
    t0 = std::max(t0, n);
    t1 = std::min(t1, f);
    if (t0 > t1) return false;
  }
  return true;
}

float segmentPointDistance(glm::vec3 a, glm::vec3 b, glm::vec3 p) {
  const glm::vec3 d = b - a;
  const float t = glm::clamp(glm::dot(p - a, d) / glm::dot(d, d), 0.0f, 1.0f);
  return glm::length(a + t * d - p);
}

void expectNear(const float* actual, const float* expected, int count, const char* what) {
  for (int i = 0; i < count; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-5f) << what << " [" << i << "]";
}
void expectMatrix(const glm::mat4& a, const glm::mat4& e, const char* what) {
  expectNear(glm::value_ptr(a), glm::value_ptr(e), 16, what);
}
void expectVec(const glm::vec3& a, const glm::vec3& e, const char* what) {
  expectNear(glm::value_ptr(a), glm::value_ptr(e), 3, what);
}

class FrameTest : public GlContextTest {
 protected:
  std::filesystem::path imageDir;
  ShaderProgram program;
  SceneTextures textures;
  RenderTargets targets;
  SceneState scene;
  MotionHistory history;
  std::unique_ptr<Mesh> ground, leftCube, rightCube, sphere;
  FrameSwitches switches;
  std::string loadOutput;
  Recorder recorder;
  const glm::vec3 sphereCentre{0.0f, 0.5f, 1.5f};

  virtual bool withImages() const { return true; }

  void SetUp() override {
    GlContextTest::SetUp();
    if (HasFatalFailure()) return;
    char pattern[] = "/tmp/lumarok-frame-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    imageDir = pattern;
    // Without images: no surface texture and no top cube face.
    if (withImages())
      images::writeFile((imageDir / "test.bmp").string(), images::encodeBmp(images::renderSurface(256)));
    for (const images::CubeFace& face : images::kCubeFaces)
      if (withImages() || std::string(face.fileName) != "cm_top.bmp")
        images::writeFile((imageDir / face.fileName).string(),
                          images::encodeBmp(images::renderFace(face, 128)));

    // The application's fixed state, which the frame relies on and leaves alone.
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_TEXTURE_CUBE_MAP);

    testing::internal::CaptureStdout();
    textures.loadSurfaceTexture(imageDir.string());
    textures.loadCubeMap(imageDir.string());
    program.load(std::string(LUMAROK_SOURCE_DIR) + "/shaders/vertexShader.txt",
                 std::string(LUMAROK_SOURCE_DIR) + "/shaders/fragmentShader.txt");
    scene.initSceneState();
    program.queryLocations();
    targets.create(kWidth, kHeight);
    scene.path.initCameraPath();
    loadOutput = testing::internal::GetCapturedStdout();

    for (auto* mesh : {&ground, &leftCube, &rightCube, &sphere})
      *mesh = std::make_unique<Mesh>(program.locations.mMatrix);
    ground->createPlane();
    leftCube->createCube(0.5f);
    leftCube->modelMatrix = glm::translate(glm::mat4(1.0f), glm::vec3(-2.5f, 0.5f, 0.0f));
    rightCube->createCube(0.5f);
    rightCube->modelMatrix = glm::translate(glm::mat4(1.0f), glm::vec3(2.5f, 0.5f, 0.0f));
    sphere->createSphere(0.5f);
    for (Mesh* mesh : meshes()) mesh->upload();
    history.reset();
    scene.updateViewMatrices();
    placeSphere(sphereCentre, 10);
    recorder.program = program.shaderProgram;
    recorder.loc = &program.locations;
  }

  void TearDown() override {
    if (sphere != nullptr)
      for (Mesh* mesh : meshes()) mesh->deleteBuffers();
    program.destroy();
    textures.destroy();
    targets.destroy();
    if (!imageDir.empty()) std::filesystem::remove_all(imageDir);
    GlContextTest::TearDown();
  }

  std::array<Mesh*, 4> meshes() const {
    return {ground.get(), leftCube.get(), rightCube.get(), sphere.get()};
  }

  // Moves the sphere and records `frames` snapshots of it, as that many frames at this place would.
  void placeSphere(glm::vec3 centre, int frames) {
    sphere->modelMatrix = glm::translate(glm::mat4(1.0f), centre);
    for (int i = 0; i < frames; ++i) history.record(sphere->modelMatrix, scene.viewMatrix, scene.projMatrix);
  }

  void frame(bool record = false) {
    scene.updateViewMatrices();
    FrameInputs in;
    in.program = &program;
    in.textures = &textures;
    in.targets = &targets;
    in.meshes = {ground.get(), leftCube.get(), rightCube.get(), sphere.get()};
    in.scene = &scene;
    in.history = &history;
    in.switches = switches;
    in.windowWidth = kWidth;
    in.windowHeight = kHeight;
    if (record) {
      recorder.states.clear();
      in.passMarker = recordPass;
      in.passMarkerUser = &recorder;
    }
    renderPasses(in);
  }

  std::vector<unsigned char> frameImage() {
    frame();
    return readPixels(0, 0, kWidth, kHeight);
  }

  // Does the camera ray through pixel (x, y) pass within `radius` of the segment from a to b (a
  // sphere swept from a to b)? Sampled finely along the segment.
  bool rayNearSegment(int x, int y, glm::vec3 a, glm::vec3 b, float radius) const {
    const glm::vec4 viewport(0, 0, kWidth, kHeight);
    const glm::vec3 origin =
        glm::unProject(glm::vec3(x + 0.5f, y + 0.5f, 0.0f), scene.viewMatrix, scene.projMatrix, viewport);
    const glm::vec3 direction = glm::normalize(
        glm::unProject(glm::vec3(x + 0.5f, y + 0.5f, 1.0f), scene.viewMatrix, scene.projMatrix, viewport) -
        origin);
    for (int i = 0; i <= 32; ++i) {
      const glm::vec3 p = a + (b - a) * (static_cast<float>(i) / 32.0f);
      if (glm::length(origin + glm::dot(p - origin, direction) * direction - p) <= radius) return true;
    }
    return false;
  }
};

// Each pass's values, read back at the marker that follows it, for every switch state that matters.
struct SwitchCase {
  const char* name;
  FrameSwitches switches;
};

class FramePassValues : public FrameTest, public testing::WithParamInterface<SwitchCase> {};

TEST_P(FramePassValues, EachPassLeavesItsValuesAndTheFrameItsBindings) {
  for (const char* complaint : {"warning", "could not", "FBO"})
    EXPECT_EQ(loadOutput.find(complaint), std::string::npos) << loadOutput;
  EXPECT_NE(loadOutput.find("GELINKT"), std::string::npos) << loadOutput;

  switches = GetParam().switches;
  gFramebufferBinds.clear();
  gDriverBindFramebuffer = __glewBindFramebuffer;
  __glewBindFramebuffer = recordBindFramebuffer;
  frame(true);
  __glewBindFramebuffer = gDriverBindFramebuffer;
  // The final pass draws into the window that the off-screen pass left bound.
  EXPECT_EQ(gFramebufferBinds,
            (std::vector<GLuint>{targets.shadowFramebuffer, 0, targets.blurFramebuffer, 0}));
  ASSERT_EQ(recorder.states.size(), 4u);
  const PassState &shadow = recorder.states[1], &offscreen = recorder.states[2], &final = recorder.states[3];
  const float reflect = switches.cubeMapSwitch == 1 ? 1.0f : 0.0f;
  for (const PassState& s : recorder.states) {
    EXPECT_EQ(s.windowWidth, static_cast<float>(kWidth));
    EXPECT_EQ(s.windowHeight, static_cast<float>(kHeight));
  }
  // Only the final pass may blur: the earlier ones would sample the target they draw into.
  EXPECT_EQ(recorder.states[0].motionBlur + shadow.motionBlur + offscreen.motionBlur, 0.0f);

  EXPECT_EQ(shadow.pass, 1.0f);
  expectVec(shadow.light, scene.lightPosition, "shadow in_light");
  expectVec(shadow.view, scene.lightPosition, "shadow in_view holds the light");
  expectMatrix(shadow.pMatrix, scene.projMatrix, "shadow pMatrix");
  expectMatrix(shadow.vMatrix, scene.lightViewMatrix, "shadow vMatrix");
  EXPECT_EQ(shadow.framebuffer, 0);

  EXPECT_EQ(offscreen.pass, 2.0f);
  EXPECT_EQ(offscreen.shadowOn, 1.0f) << "the blur image always has shadows";
  EXPECT_EQ(offscreen.cubeMapFactor, reflect);
  EXPECT_EQ(offscreen.textureFactor, 1.0f - reflect);
  expectVec(offscreen.view, scene.cameraEye, "off-screen in_view");
  expectMatrix(offscreen.vMatrix, scene.viewMatrix, "off-screen vMatrix");
  expectMatrix(offscreen.tMatrix, scene.textMatrix, "off-screen tMatrix");
  EXPECT_EQ(offscreen.framebuffer, 0);

  EXPECT_EQ(final.pass, 2.0f);
  EXPECT_EQ(final.shadowOn, switches.shadowSwitch == 1 ? 1.0f : 0.0f);
  EXPECT_EQ(final.cubeMapFactor, reflect);
  EXPECT_EQ(final.textureFactor, 1.0f - reflect);
  EXPECT_EQ(final.motionBlur, switches.blurSwitch == 1 ? 1.0f : 0.0f);
  expectVec(final.light, scene.lightPosition, "final in_light");
  expectVec(final.view, scene.cameraEye, "final in_view");
  expectMatrix(final.pMatrix, scene.projMatrix, "final pMatrix");
  expectMatrix(final.vMatrix, scene.viewMatrix, "final vMatrix");
  expectMatrix(final.tMatrix, scene.textMatrix, "final tMatrix");
  expectMatrix(final.pMatrixOld, history.oldest().projection, "pMatrix_old");
  expectMatrix(final.vMatrixOld, history.oldest().view, "vMatrix_old");
  expectMatrix(final.mMatrixOld, history.oldest().model, "mMatrix_old");

  GLint value = -1;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &value);
  EXPECT_EQ(value, 0);
  // In the order of shader::kSamplers.
  const std::pair<GLenum, GLuint> bindings[] = {{GL_TEXTURE_BINDING_2D, textures.surfaceTexture},
                                                {GL_TEXTURE_BINDING_2D, targets.shadowDepthTexture},
                                                {GL_TEXTURE_BINDING_CUBE_MAP, textures.cubeMapTexture},
                                                {GL_TEXTURE_BINDING_2D, targets.blurColorTexture}};
  for (int i = 0; i < 4; ++i) {
    const shader::SamplerUnit& sampler = shader::kSamplers[i];
    glActiveTexture(GL_TEXTURE0 + sampler.unit);
    glGetIntegerv(bindings[i].first, &value);
    EXPECT_EQ(static_cast<GLuint>(value), bindings[i].second) << sampler.name;
    glGetUniformiv(program.shaderProgram, glGetUniformLocation(program.shaderProgram, sampler.name), &value);
    EXPECT_EQ(value, sampler.unit) << sampler.name;
  }
  // The shadow pass's polygon offset must not reach the other passes; the fixed state stays.
  EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_CULL_FACE));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Each switch on alone; a switch held at 2 (all three at once) counts as off.
INSTANTIATE_TEST_SUITE_P(SwitchStates, FramePassValues,
                         testing::Values(SwitchCase{"AllOff", {0, 0, 0}}, SwitchCase{"ShadowsOn", {1, 0, 0}},
                                         SwitchCase{"ReflectionOn", {0, 1, 0}},
                                         SwitchCase{"BlurOn", {0, 0, 1}},
                                         SwitchCase{"AllHeldAtTwo", {2, 2, 2}}),
                         [](const testing::TestParamInfo<SwitchCase>& info) { return info.param.name; });

TEST_F(FrameTest, EveryPassDrawsAllFourMeshesSoAFrameIsTwelveDraws) {
  GLuint query = 0, perMesh = 0;
  glGenQueries(1, &query);
  for (Mesh* mesh : meshes()) {
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    mesh->draw(program.locations.in_vertex, program.locations.in_normal, program.locations.texCoords);
    glEndQuery(GL_PRIMITIVES_GENERATED);
    GLuint count = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &count);
    EXPECT_GT(count, 0u);
    perMesh += count;
  }
  glDeleteQueries(1, &query);

  recorder.countPrimitives = true;
  glGenQueries(3, recorder.queries);
  switches = {1, 1, 1};
  frame(true);
  for (int pass = 0; pass < 3; ++pass) {
    GLuint count = 0;
    glGetQueryObjectuiv(recorder.queries[pass], GL_QUERY_RESULT, &count);
    EXPECT_EQ(count, perMesh) << "pass " << pass;
  }
  glDeleteQueries(3, recorder.queries);
}

TEST_F(FrameTest, ShadowsDarkenTheGroundWhereObjectsBlockTheLightAndNowhereElse) {
  const std::vector<unsigned char> off = frameImage();
  switches.shadowSwitch = 1;
  const std::vector<unsigned char> on = frameImage();
  std::vector<float> depth(static_cast<size_t>(kWidth) * kHeight);
  glReadPixels(0, 0, kWidth, kHeight, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());

  // Does a blocker, grown (or shrunk) by `grow`, stand between p and the light? Judged with a margin
  // either way, so the soft edge counts as neither shadowed nor lit.
  const float margin = 0.06f;
  const auto blocked = [&](glm::vec3 p, float grow) {
    bool hit = segmentPointDistance(p, scene.lightPosition, sphereCentre) < 0.5f + grow;
    for (const glm::vec3& c : {glm::vec3(-2.5f, 0.5f, 0.0f), glm::vec3(2.5f, 0.5f, 0.0f)})
      hit |= segmentHitsBox(p, scene.lightPosition, c - glm::vec3(0.5f + grow), c + glm::vec3(0.5f + grow));
    return hit;
  };
  int shadowed = 0, darkened = 0, lit = 0, acne = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const size_t i = static_cast<size_t>(y) * kWidth + x;
      if (depth[i] >= 1.0f) continue;
      const glm::vec3 p = glm::unProject(glm::vec3(x + 0.5f, y + 0.5f, depth[i]), scene.viewMatrix,
                                         scene.projMatrix, glm::vec4(0, 0, kWidth, kHeight));
      if (std::fabs(p.y) > 0.02f || std::fabs(p.x) > 4.8f || std::fabs(p.z) > 4.8f) continue;  // ground only
      const glm::vec4 light = scene.textMatrix * glm::vec4(p, 1.0f);
      const bool inFrustum = light.w > 0.0f && light.x > 0.02f * light.w && light.x < 0.98f * light.w &&
                             light.y > 0.02f * light.w && light.y < 0.98f * light.w;
      const int before = luminance(&off[i * 4]), after = luminance(&on[i * 4]);
      if (inFrustum && blocked(p, -margin)) {
        ++shadowed;
        darkened += after < before * 0.8f;
      } else if (!blocked(p, margin)) {
        ++lit;
        acne += after < before - 3;
      }
    }
  ASSERT_GT(shadowed, 200) << "the view must show shadows to judge them";
  EXPECT_GT(darkened, shadowed * 97 / 100)
      << darkened << " of " << shadowed << " shadowed ground pixels darkened";
  ASSERT_GT(lit, 5000);
  EXPECT_EQ(acne, 0) << "lit ground pixels darkened (" << lit << " lit)";
}

TEST_F(FrameTest, ReflectionChangesTheSphereAndNothingElse) {
  const std::vector<unsigned char> plain = frameImage();
  switches.cubeMapSwitch = 1;
  const std::vector<unsigned char> reflecting = frameImage();
  int spherePixels = 0, changedOnSphere = 0, changedElsewhere = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const bool changed = differs(plain, reflecting, static_cast<size_t>(y) * kWidth + x, 2);
      if (rayNearSegment(x, y, sphereCentre, sphereCentre, 0.45f)) {
        ++spherePixels;
        changedOnSphere += changed;
      } else if (changed && !rayNearSegment(x, y, sphereCentre, sphereCentre, 0.56f)) {
        ++changedElsewhere;
      }
    }
  ASSERT_GT(spherePixels, 100);
  EXPECT_GT(changedOnSphere, spherePixels * 9 / 10);
  EXPECT_EQ(changedElsewhere, 0);
}

TEST_F(FrameTest, BlurChangesTheSphereOnlyWhileItMovesAndOnlyAlongItsPath) {
  const std::vector<unsigned char> sharp = frameImage();
  switches.blurSwitch = 1;
  const std::vector<unsigned char> resting = frameImage();
  int restingChanges = 0;
  for (size_t i = 0; i < sharp.size() / 4; ++i) restingChanges += differs(sharp, resting, i, 1);
  EXPECT_EQ(restingChanges, 0) << "at rest the blur must leave every pixel as it was";

  // Moving to the right, 0.1 a frame: the oldest snapshot is nine frames back.
  for (int step = 10; step >= 0; --step) placeSphere(sphereCentre - glm::vec3(0.1f * step, 0.0f, 0.0f), 1);
  const glm::vec3 oldCentre = glm::vec3(history.oldest().model[3]);
  ASSERT_GT(glm::length(oldCentre - sphereCentre), 0.5f);
  switches.blurSwitch = 0;
  const std::vector<unsigned char> still = frameImage();
  switches.blurSwitch = 1;
  const std::vector<unsigned char> blurred = frameImage();
  int onSphere = 0, changedOnSphere = 0, changedInTrail = 0, changedElsewhere = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const bool changed = differs(still, blurred, static_cast<size_t>(y) * kWidth + x, 3);
      if (rayNearSegment(x, y, sphereCentre, sphereCentre, 0.5f)) {
        ++onSphere;
        changedOnSphere += changed;
      } else if (rayNearSegment(x, y, oldCentre, sphereCentre, 0.53f)) {
        changedInTrail += changed;
      } else {
        changedElsewhere += changed;
      }
    }
  EXPECT_GT(changedOnSphere, onSphere / 4) << "of " << onSphere;
  EXPECT_GT(changedInTrail, 20) << "the stretched sphere must cover the path it swept";
  EXPECT_EQ(changedElsewhere, 0);
}

TEST_F(FrameTest, BlurOfAJumpStaysWithinItsClampedLength) {
  const std::vector<unsigned char> still = frameImage();
  // A jump of 100 units since the oldest snapshot, as a teleport or a camera cut would give.
  history.reset();
  placeSphere(sphereCentre + glm::vec3(100.0f, 0.0f, 0.0f), 1);
  placeSphere(sphereCentre, 9);
  switches.blurSwitch = 1;
  const std::vector<unsigned char> blurred = frameImage();
  const glm::vec4 viewport(0, 0, kWidth, kHeight);
  const glm::vec3 centre = glm::project(sphereCentre, scene.viewMatrix, scene.projMatrix, viewport);
  const glm::vec3 rim =
      glm::project(sphereCentre + glm::vec3(0.0f, 0.5f, 0.0f), scene.viewMatrix, scene.projMatrix, viewport);
  // The sphere's radius with some stretch, plus the longest blur the shader allows.
  const float reach = glm::length(glm::vec2(rim - centre)) * 1.2f + 40.0f + 2.0f;
  int changed = 0, beyond = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      if (!differs(still, blurred, static_cast<size_t>(y) * kWidth + x, 3)) continue;
      ++changed;
      beyond += glm::length(glm::vec2(x + 0.5f, y + 0.5f) - glm::vec2(centre)) > reach;
    }
  EXPECT_GT(changed, 0);
  EXPECT_EQ(beyond, 0);
}

class FrameWithMissingImages : public FrameTest {
 protected:
  bool withImages() const override { return false; }
};

TEST_F(FrameWithMissingImages, StillRendersTheSceneWithoutGlErrors) {
  EXPECT_NE(loadOutput.find("SDL could not load image.bmp"), std::string::npos) << loadOutput;
  EXPECT_EQ(textures.surfaceTexture, 0u);
  switches = {1, 1, 1};
  frame();
  const std::vector<unsigned char> image = frameImage();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  // The ground in front of the sphere still shows, grey rather than black.
  EXPECT_GT(luminance(&image[(static_cast<size_t>(kHeight / 4) * kWidth + kWidth / 2) * 4]), 40);
}

}  // namespace
