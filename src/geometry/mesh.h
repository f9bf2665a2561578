// Static indexed geometry: four arrays kept in main memory, one buffer object per array, a model
// matrix and the primitive mode. Each stream lives in its own tightly packed buffer.
#pragma once

#include <GL/glew.h>

#include <glm/mat4x4.hpp>

struct Mesh {
  float* vertices = nullptr;  // x, y, z, w per vertex
  int vertexFloatCount = 0;
  float* normals = nullptr;  // x, y, z per vertex; may be absent
  int normalFloatCount = 0;
  float* texCoordArray = nullptr;  // u, v per vertex; may be absent
  int texCoordFloatCount = 0;
  unsigned* indices = nullptr;
  int indexCount = 0;
  glm::mat4 modelMatrix{1.0f};
  GLuint vertexBuffer = 0;
  GLuint normalBuffer = 0;
  GLuint texCoordBuffer = 0;
  GLuint indexBuffer = 0;
  GLint modelMatrixLocation = -1;
  GLenum primitiveMode = GL_TRIANGLES;

  explicit Mesh(GLint modelMatrixLocation);
  ~Mesh();
  Mesh(const Mesh&) = delete;
  Mesh& operator=(const Mesh&) = delete;

  // Shape builders, each run once on a fresh mesh; they touch neither GL nor the model matrix.
  void createPlane();
  void createSphere(float radius);
  void createCube(float halfSize);

  bool hasNormals() const { return normals != nullptr && normalFloatCount > 0; }
  bool hasTexCoords() const { return texCoordArray != nullptr && texCoordFloatCount > 0; }

  void upload();
  void draw(GLuint position, GLuint normal, GLuint texCoord) const;
  // Deletes only the buffers that exist and zeroes their names, so a second call does nothing.
  void deleteBuffers();

  // Frees the four arrays and zeroes their counts; the destructor and each builder call it.
  void releaseArrays();
  // Turns a GL_QUADS mesh into GL_TRIANGLES, two triangles a quad with the quad's winding; the web
  // build's upload does it, since WebGL draws no quads. Other meshes stay as they are.
  void splitQuads();
};
