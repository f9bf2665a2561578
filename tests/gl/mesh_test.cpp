// Mesh upload and draw against the real GL: buffer sizes and names read back from GL, attribute
// array state around a draw, the model matrix as the program sees it, and pixels of drawn shapes.
#include "geometry/mesh.h"

#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>
#include <string>

#include "gpu/shader_interface.h"
#include "support/gl_context.h"

namespace {

GLint bufferSize(GLenum target, GLuint buffer) {
  GLint size = -1;
  glBindBuffer(target, buffer);
  glGetBufferParameteriv(target, GL_BUFFER_SIZE, &size);
  return size;
}

GLint attribArrayEnabled(GLuint index) {
  GLint enabled = -1;
  glGetVertexAttribiv(index, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
  return enabled;
}

GLuint compile(GLenum type, const std::string& source) {
  GLuint shaderObject = glCreateShader(type);
  const char* text = source.c_str();
  glShaderSource(shaderObject, 1, &text, nullptr);
  glCompileShader(shaderObject);
  GLint ok = 0;
  glGetShaderiv(shaderObject, GL_COMPILE_STATUS, &ok);
  EXPECT_TRUE(ok) << source;
  return shaderObject;
}

// A small program that colours each fragment by its surface normal (n * 0.5 + 0.5). The test
// folds camera and projection into mMatrix, so the mesh alone decides what is covered.
struct NormalColourProgram {
  GLuint program = 0;
  GLint mMatrix = -1;

  NormalColourProgram() {
    using namespace shader;
    const std::string position = kVertex, normal = kNormal, texCoord = kTexCoords, model = kModelMatrix;
    std::string vertexSource;
    for (const std::string& line : std::initializer_list<std::string>{
             "#version 120",
             "attribute vec4 " + position + ";",
             "attribute vec3 " + normal + ";",
             "attribute vec2 " + texCoord + ";",
             "uniform mat4 " + model + ";",
             "varying vec3 colour;",
             "void main() {",
             "  gl_Position = " + model + " * " + position + ";",
             "  colour = " + normal + " * 0.5 + 0.5 + vec3(" + texCoord + ", 0.0) * 0.0;",
             "}",
         })
      vertexSource += line + "\n";
    const std::string fragmentSource =
        "#version 120\nvarying vec3 colour;\nvoid main() { gl_FragColor = vec4(colour, 1.0); }\n";
    GLuint vs = compile(GL_VERTEX_SHADER, vertexSource);
    GLuint fs = compile(GL_FRAGMENT_SHADER, fragmentSource);
    program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    for (const AttributeBinding& binding : kBoundAttributes)
      glBindAttribLocation(program, binding.index, binding.name);
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    EXPECT_TRUE(linked);
    glDeleteShader(vs);
    glDeleteShader(fs);
    glUseProgram(program);
    mMatrix = glGetUniformLocation(program, kModelMatrix);
    EXPECT_NE(mMatrix, -1);
  }
  ~NormalColourProgram() {
    glUseProgram(0);
    glDeleteProgram(program);
  }
};

void drawMesh(const Mesh& mesh) {
  mesh.draw(shader::kVertexIndex, shader::kNormalIndex, shader::kTexCoordIndex);
}

class MeshGl : public GlContextTest {
 protected:
  // A colour with each channel read as 0, 1 or 2 for 0, 0.5 or 1, since 0.5 may round either way.
  struct Pixel {
    int r, g, b;
    Pixel(int red, int green, int blue) : r(level(red)), g(level(green)), b(level(blue)) {}
    static int level(int c) { return c < 64 ? 0 : c < 192 ? 1 : 2; }
    bool operator==(const Pixel& o) const { return r == o.r && g == o.g && b == o.b; }
  };

  void clearAndCull() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);  // only culling decides which faces remain
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
  }
  Pixel pixelAt(int x, int y) {
    std::vector<unsigned char> p = readPixels(x, y, 1, 1);
    return {p[0], p[1], p[2]};
  }
  // Clip coordinates of a camera looking at the origin from eye; projection suits the test window.
  static glm::mat4 camera(glm::vec3 eye, glm::vec3 up) {
    return glm::perspective(glm::radians(80.0f), float(kWidth) / kHeight, 0.1f, 100.0f) *
           glm::lookAt(eye, glm::vec3(0.0f), up);
  }
  // Window pixel of a world point under the given clip transform.
  static glm::ivec2 project(const glm::mat4& clip, glm::vec3 point) {
    glm::vec4 c = clip * glm::vec4(point, 1.0f);
    return {int((c.x / c.w * 0.5f + 0.5f) * kWidth), int((c.y / c.w * 0.5f + 0.5f) * kHeight)};
  }
};

}  // namespace

TEST_F(MeshGl, SphereBuffersHoldEveryStreamInBytes) {
  Mesh sphere(-1);
  sphere.createSphere(0.5f);
  sphere.upload();
  GLint arrayBinding = 0, elementBinding = 0;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBinding);
  glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &elementBinding);
  EXPECT_EQ(GLuint(arrayBinding), sphere.texCoordBuffer);  // bindings are left in place
  EXPECT_EQ(GLuint(elementBinding), sphere.indexBuffer);

  EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, sphere.vertexBuffer), 17424);
  EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, sphere.normalBuffer), 13068);
  EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, sphere.texCoordBuffer), 8712);
  EXPECT_EQ(bufferSize(GL_ELEMENT_ARRAY_BUFFER, sphere.indexBuffer), 24576);

  sphere.deleteBuffers();
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Both ways of marking a stream absent: a null array, or an array with a count of zero.
TEST_F(MeshGl, AbsentStreamsGetNoBufferAndTheirAttributesAreLeftAlone) {
  NormalColourProgram program;
  Mesh cube(program.mMatrix);
  cube.createCube(0.5f);
  delete[] cube.normals;
  cube.normals = nullptr;
  cube.texCoordFloatCount = 0;
  cube.upload();
  EXPECT_EQ(cube.normalBuffer, 0u);
  EXPECT_EQ(cube.texCoordBuffer, 0u);
  EXPECT_NE(cube.vertexBuffer, 0u);
  EXPECT_NE(cube.indexBuffer, 0u);

  // The caller has its own arrays on the normal and texture indices; the draw must not turn them off.
  GLuint own = 0;
  glGenBuffers(1, &own);
  glBindBuffer(GL_ARRAY_BUFFER, own);
  std::vector<float> zeros(24 * 3, 0.0f);
  glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(zeros.size() * 4), zeros.data(), GL_STATIC_DRAW);
  glVertexAttribPointer(shader::kNormalIndex, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
  glVertexAttribPointer(shader::kTexCoordIndex, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
  glEnableVertexAttribArray(shader::kNormalIndex);
  glEnableVertexAttribArray(shader::kTexCoordIndex);

  drawMesh(cube);
  EXPECT_EQ(attribArrayEnabled(shader::kVertexIndex), GL_FALSE);
  EXPECT_EQ(attribArrayEnabled(shader::kNormalIndex), GL_TRUE);
  EXPECT_EQ(attribArrayEnabled(shader::kTexCoordIndex), GL_TRUE);
  GLint normalSource = 0;
  glGetVertexAttribiv(shader::kNormalIndex, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &normalSource);
  EXPECT_EQ(GLuint(normalSource), own);

  glDisableVertexAttribArray(shader::kNormalIndex);
  glDisableVertexAttribArray(shader::kTexCoordIndex);
  drawMesh(cube);
  EXPECT_EQ(attribArrayEnabled(shader::kNormalIndex), GL_FALSE);
  EXPECT_EQ(attribArrayEnabled(shader::kTexCoordIndex), GL_FALSE);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  cube.deleteBuffers();
  glDeleteBuffers(1, &own);
}

TEST_F(MeshGl, ModelMatrixReachesTheProgramColumnMajor) {
  NormalColourProgram program;
  Mesh cube(program.mMatrix);
  cube.createCube(0.5f);
  cube.upload();
  cube.modelMatrix = glm::translate(glm::mat4(1.0f), glm::vec3(-2.5f, 0.5f, 0.0f));
  drawMesh(cube);
  float got[16];
  glGetUniformfv(program.program, program.mMatrix, got);
  for (int e = 0; e < 16; ++e) {
    const float want = e == 12 ? -2.5f : e == 13 ? 0.5f : (e % 5 == 0) ? 1.0f : 0.0f;
    EXPECT_EQ(got[e], want) << "element " << e;
  }
  cube.deleteBuffers();
}

// Seen from (1.2, 1.4, 1.8) with culling on and no depth test, only the +x, +y and +z faces may appear:
// a face wound the wrong way would either vanish or let a back face's colour through.
TEST_F(MeshGl, CubeCoversItsPixelsWithOnlyItsFrontFaces) {
  NormalColourProgram program;
  Mesh cube(program.mMatrix);
  cube.createCube(0.5f);
  cube.upload();
  cube.modelMatrix = camera({1.2f, 1.4f, 1.8f}, {0.0f, 1.0f, 0.0f});
  clearAndCull();
  drawMesh(cube);

  const Pixel black{0, 0, 0}, right{255, 128, 128}, top{128, 255, 128}, front{128, 128, 255};
  int counts[3] = {0, 0, 0};
  std::vector<unsigned char> pixels = readPixels(0, 0, kWidth, kHeight);
  for (size_t p = 0; p < pixels.size(); p += 4) {
    const Pixel px{pixels[p], pixels[p + 1], pixels[p + 2]};
    if (px == black) continue;
    const int face = px == right ? 0 : px == top ? 1 : px == front ? 2 : -1;
    ASSERT_NE(face, -1) << "unexpected colour levels " << px.r << "," << px.g << "," << px.b;
    ++counts[face];
  }
  for (int face = 0; face < 3; ++face) EXPECT_GT(counts[face], 500) << "face " << face;
  EXPECT_FALSE(pixelAt(kWidth / 2, kHeight / 2) == black);
  EXPECT_EQ(pixelAt(2, 2), black);
  const glm::ivec2 frontCentre = project(cube.modelMatrix, {0.0f, 0.0f, 0.5f});
  EXPECT_EQ(pixelAt(frontCentre.x, frontCentre.y), front);
  const glm::ivec2 rightCentre = project(cube.modelMatrix, {0.5f, 0.0f, 0.0f});
  EXPECT_EQ(pixelAt(rightCentre.x, rightCentre.y), right);
  for (GLuint index : {shader::kVertexIndex, shader::kNormalIndex, shader::kTexCoordIndex})
    EXPECT_EQ(attribArrayEnabled(index), GL_FALSE) << "attribute " << index << " left enabled";
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  cube.deleteBuffers();
}

TEST_F(MeshGl, PlaneCoversItsSquareFromAboveAndIsCulledFromBelow) {
  NormalColourProgram program;
  Mesh plane(program.mMatrix);
  plane.createPlane();
  plane.upload();
  const Pixel up{128, 255, 128}, black{0, 0, 0};

  plane.modelMatrix = camera({0.0f, 8.0f, 0.0f}, {0.0f, 0.0f, -1.0f});
  clearAndCull();
  drawMesh(plane);
  const glm::ivec2 inside = project(plane.modelMatrix, {4.8f, 0.0f, 4.8f});
  const glm::ivec2 outside = project(plane.modelMatrix, {5.2f, 0.0f, 5.2f});
  EXPECT_EQ(pixelAt(kWidth / 2, kHeight / 2), up);
  EXPECT_EQ(pixelAt(inside.x, inside.y), up);
  EXPECT_EQ(pixelAt(outside.x, outside.y), black);

  plane.modelMatrix = camera({0.0f, -8.0f, 0.0f}, {0.0f, 0.0f, -1.0f});
  clearAndCull();
  drawMesh(plane);
  EXPECT_EQ(pixelAt(kWidth / 2, kHeight / 2), black);
  plane.deleteBuffers();
}

TEST_F(MeshGl, DeletingBuffersTwiceSparesBuffersCreatedInBetween) {
  Mesh cube(-1);
  cube.createCube(0.5f);
  cube.upload();
  const GLuint vertexBuffer = cube.vertexBuffer;
  cube.deleteBuffers();
  EXPECT_FALSE(glIsBuffer(vertexBuffer));
  EXPECT_EQ(cube.vertexBuffer | cube.normalBuffer | cube.texCoordBuffer | cube.indexBuffer, 0u);

  // GL hands freed names out again; a stale second delete would take this buffer with it.
  GLuint other[4];
  glGenBuffers(4, other);
  for (GLuint name : other) glBindBuffer(GL_ARRAY_BUFFER, name);
  cube.deleteBuffers();
  for (GLuint name : other) EXPECT_TRUE(glIsBuffer(name)) << "buffer " << name;
  glDeleteBuffers(4, other);
}

TEST_F(MeshGl, DestroyingAFreshMeshReleasesNothing) {
  GLuint other = 0;
  glGenBuffers(1, &other);
  glBindBuffer(GL_ARRAY_BUFFER, other);
  {
    Mesh fresh(-1);
    fresh.deleteBuffers();
  }
  EXPECT_TRUE(glIsBuffer(other));
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  glDeleteBuffers(1, &other);
}
