// Mesh upload and draw against the real GL: buffer sizes read back from GL, attribute array state
// around a draw, the model matrix as the program sees it, and pixels of drawn shapes.
#include "geometry/mesh.h"

#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
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
  return shaderObject;
}

// Colours each fragment by its surface normal (n * 0.5 + 0.5). The tests fold camera and projection
// into mMatrix, so the mesh alone decides what is covered.
struct NormalColourProgram {
  GLuint program = glCreateProgram();
  GLint mMatrix = -1;

  NormalColourProgram() {
    using namespace shader;
    const std::string vertex = kVertex, normal = kNormal, texCoord = kTexCoords, model = kModelMatrix;
    GLuint vs =
        compile(GL_VERTEX_SHADER, "#version 120\nattribute vec4 " + vertex + ";\nattribute vec3 " + normal +
                                      ";\nattribute vec2 " + texCoord + ";\nuniform mat4 " + model +
                                      ";\nvarying vec3 colour;\nvoid main() {\n  gl_Position = " + model +
                                      " * " + vertex + ";\n  colour = " + normal + " * 0.5 + 0.5 + vec3(" +
                                      texCoord + ", 0.0) * 0.0;\n}\n");
    GLuint fs =
        compile(GL_FRAGMENT_SHADER,
                "#version 120\nvarying vec3 colour;\nvoid main() { gl_FragColor = vec4(colour, 1.0); }\n");
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    for (const AttributeBinding& binding : kBoundAttributes)
      glBindAttribLocation(program, binding.index, binding.name);
    glLinkProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    glUseProgram(program);
    mMatrix = glGetUniformLocation(program, kModelMatrix);
    EXPECT_NE(mMatrix, -1) << "the test program did not link";
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

  // Only culling decides which faces remain: no depth test.
  void drawCulled(const Mesh& mesh) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    drawMesh(mesh);
  }
  // The pixel a world point lands on under `clip`, or the window centre without one.
  Pixel pixelAt(const glm::mat4& clip, glm::vec3 point) {
    const glm::vec4 c = clip * glm::vec4(point, 1.0f);
    std::vector<unsigned char> p =
        readPixels(int((c.x / c.w * 0.5f + 0.5f) * kWidth), int((c.y / c.w * 0.5f + 0.5f) * kHeight), 1, 1);
    return {p[0], p[1], p[2]};
  }
  static glm::mat4 camera(glm::vec3 eye, glm::vec3 up) {
    return glm::perspective(glm::radians(80.0f), float(kWidth) / kHeight, 0.1f, 100.0f) *
           glm::lookAt(eye, glm::vec3(0.0f), up);
  }
};

}  // namespace

TEST_F(MeshGl, SphereBuffersHoldEveryStreamInBytes) {
  Mesh sphere(-1);
  sphere.createSphere(0.5f);
  sphere.upload();
  EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, sphere.vertexBuffer), 17424);
  EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, sphere.normalBuffer), 13068);
  EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, sphere.texCoordBuffer), 8712);
  EXPECT_EQ(bufferSize(GL_ELEMENT_ARRAY_BUFFER, sphere.indexBuffer), 24576);
  sphere.deleteBuffers();
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Both ways of marking a stream absent: a null array, or an array with a count of zero.
TEST_F(MeshGl, AbsentStreamsGetNoBufferAndTheirAttributesAreLeftAlone) {
  NormalColourProgram colours;
  Mesh cube(colours.mMatrix);
  cube.createCube(0.5f);
  delete[] cube.normals;
  cube.normals = nullptr;
  cube.texCoordFloatCount = 0;
  cube.upload();
  EXPECT_EQ(cube.normalBuffer | cube.texCoordBuffer, 0u);
  EXPECT_NE(cube.vertexBuffer, 0u);

  // The caller's own arrays on the normal and texture indices must stay on, and stay the caller's.
  GLuint own = 0;
  glGenBuffers(1, &own);
  glBindBuffer(GL_ARRAY_BUFFER, own);
  std::vector<float> zeros(24 * 3, 0.0f);
  glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(zeros.size() * 4), zeros.data(), GL_STATIC_DRAW);
  for (GLuint index : {shader::kNormalIndex, shader::kTexCoordIndex}) {
    glVertexAttribPointer(index, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(index);
  }
  drawMesh(cube);
  EXPECT_EQ(attribArrayEnabled(shader::kVertexIndex), GL_FALSE);
  EXPECT_EQ(attribArrayEnabled(shader::kNormalIndex), GL_TRUE);
  EXPECT_EQ(attribArrayEnabled(shader::kTexCoordIndex), GL_TRUE);
  GLint normalSource = 0;
  glGetVertexAttribiv(shader::kNormalIndex, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &normalSource);
  EXPECT_EQ(GLuint(normalSource), own);

  // ...and off ones stay off.
  glDisableVertexAttribArray(shader::kNormalIndex);
  glDisableVertexAttribArray(shader::kTexCoordIndex);
  drawMesh(cube);
  EXPECT_EQ(attribArrayEnabled(shader::kNormalIndex) | attribArrayEnabled(shader::kTexCoordIndex), GL_FALSE);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  cube.deleteBuffers();
  glDeleteBuffers(1, &own);
}

// Seen from (1.2, 1.4, 1.8) with culling on and no depth test, only the +x, +y and +z faces may appear:
// a face wound the wrong way would either vanish or let a back face's colour through. The model
// matrix (here the whole, asymmetric clip transform) must reach mMatrix column-major.
TEST_F(MeshGl, CubeCoversItsPixelsWithOnlyItsFrontFacesThroughItsModelMatrix) {
  NormalColourProgram colours;
  Mesh cube(colours.mMatrix);
  cube.createCube(0.5f);
  cube.upload();
  cube.modelMatrix = camera({1.2f, 1.4f, 1.8f}, {0.0f, 1.0f, 0.0f});
  drawCulled(cube);
  float got[16];
  glGetUniformfv(colours.program, colours.mMatrix, got);
  for (int e = 0; e < 16; ++e)
    EXPECT_EQ(got[e], glm::value_ptr(cube.modelMatrix)[e]) << "mMatrix element " << e;

  const Pixel black{0, 0, 0}, faces[] = {{255, 128, 128}, {128, 255, 128}, {128, 128, 255}};
  int counts[3] = {0, 0, 0};
  std::vector<unsigned char> pixels = readPixels(0, 0, kWidth, kHeight);
  for (size_t p = 0; p < pixels.size(); p += 4) {
    const Pixel px{pixels[p], pixels[p + 1], pixels[p + 2]};
    if (px == black) continue;
    const int face = px == faces[0] ? 0 : px == faces[1] ? 1 : px == faces[2] ? 2 : -1;
    ASSERT_NE(face, -1) << "unexpected colour levels " << px.r << "," << px.g << "," << px.b;
    ++counts[face];
  }
  for (int face = 0; face < 3; ++face) EXPECT_GT(counts[face], 500) << "face " << face;
  EXPECT_EQ(pixelAt(cube.modelMatrix, {0.0f, 0.0f, 0.5f}), faces[2]);
  EXPECT_EQ(pixelAt(cube.modelMatrix, {0.5f, 0.0f, 0.0f}), faces[0]);
  cube.deleteBuffers();
}

TEST_F(MeshGl, PlaneCoversItsSquareFromAboveAndIsCulledFromBelow) {
  NormalColourProgram colours;
  Mesh plane(colours.mMatrix);
  plane.createPlane();
  plane.upload();
  const Pixel up{128, 255, 128}, black{0, 0, 0};
  plane.modelMatrix = camera({0.0f, 8.0f, 0.0f}, {0.0f, 0.0f, -1.0f});
  drawCulled(plane);
  EXPECT_EQ(pixelAt(plane.modelMatrix, {0.0f, 0.0f, 0.0f}), up);
  EXPECT_EQ(pixelAt(plane.modelMatrix, {4.8f, 0.0f, 4.8f}), up);
  EXPECT_EQ(pixelAt(plane.modelMatrix, {5.2f, 0.0f, 5.2f}), black);

  plane.modelMatrix = camera({0.0f, -8.0f, 0.0f}, {0.0f, 0.0f, -1.0f});
  drawCulled(plane);
  EXPECT_EQ(pixelAt(plane.modelMatrix, {0.0f, 0.0f, 0.0f}), black);
  plane.deleteBuffers();
}

// GL hands freed names out again: a stale second delete, or a fresh mesh's destructor, would take
// another owner's buffer with it.
TEST_F(MeshGl, DeletingTwiceOrDestroyingAFreshMeshSparesOtherBuffers) {
  Mesh cube(-1);
  cube.createCube(0.5f);
  cube.upload();
  const GLuint vertexBuffer = cube.vertexBuffer;
  cube.deleteBuffers();
  EXPECT_FALSE(glIsBuffer(vertexBuffer));
  EXPECT_EQ(cube.vertexBuffer | cube.normalBuffer | cube.texCoordBuffer | cube.indexBuffer, 0u);

  GLuint other[4];
  glGenBuffers(4, other);
  for (GLuint name : other) glBindBuffer(GL_ARRAY_BUFFER, name);
  cube.deleteBuffers();
  { Mesh fresh(-1); }
  for (GLuint name : other) EXPECT_TRUE(glIsBuffer(name)) << "buffer " << name;
  glDeleteBuffers(4, other);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
