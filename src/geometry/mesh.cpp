// Mesh lifetime, upload and draw. Every stream sits in its own tightly packed buffer object and a
// draw sets up the attribute arrays directly (no vertex array objects), leaving the buffers bound.
#include "geometry/mesh.h"

#include <algorithm>
#include <glm/gtc/type_ptr.hpp>

namespace {

// Generates one buffer, binds it to target and fills it once; the binding stays in place.
GLuint createBuffer(GLenum target, const void* data, int elementCount) {
  GLuint name = 0;
  glGenBuffers(1, &name);
  glBindBuffer(target, name);
  glBufferData(target, static_cast<GLsizeiptr>(elementCount) * 4, data, GL_STATIC_DRAW);
  return name;
}

void enableStream(GLuint location, GLuint buffer, GLint components) {
  glEnableVertexAttribArray(location);
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glVertexAttribPointer(location, components, GL_FLOAT, GL_FALSE, 0, nullptr);
}

void deleteBuffer(GLuint& name) {
  if (name != 0) glDeleteBuffers(1, &name);
  name = 0;
}

}  // namespace

Mesh::Mesh(GLint location) : modelMatrixLocation(location) {}

Mesh::~Mesh() { releaseArrays(); }

void Mesh::releaseArrays() {
  // Any non-null array is ours, whatever its count says, so none can leak.
  delete[] vertices;
  vertices = nullptr;
  vertexFloatCount = 0;
  delete[] normals;
  normals = nullptr;
  normalFloatCount = 0;
  delete[] texCoordArray;
  texCoordArray = nullptr;
  texCoordFloatCount = 0;
  delete[] indices;
  indices = nullptr;
  indexCount = 0;
}

void Mesh::splitQuads() {
  if (primitiveMode != GL_QUADS) return;
  const int quadCount = indexCount / 4;
  unsigned* triangles = new unsigned[quadCount * 6];
  for (int q = 0; q < quadCount; ++q) {
    const unsigned* quad = indices + 4 * q;
    const unsigned split[6] = {quad[0], quad[1], quad[2], quad[0], quad[2], quad[3]};
    std::copy(split, split + 6, triangles + 6 * q);
  }
  delete[] indices;
  indices = triangles;
  indexCount = quadCount * 6;
  primitiveMode = GL_TRIANGLES;
}

void Mesh::upload() {
#ifdef __EMSCRIPTEN__
  splitQuads();
#endif
  // A second upload replaces the buffers rather than orphaning the first set.
  deleteBuffers();
  vertexBuffer = createBuffer(GL_ARRAY_BUFFER, vertices, vertexFloatCount);
  if (hasNormals()) normalBuffer = createBuffer(GL_ARRAY_BUFFER, normals, normalFloatCount);
  if (hasTexCoords()) texCoordBuffer = createBuffer(GL_ARRAY_BUFFER, texCoordArray, texCoordFloatCount);
  indexBuffer = createBuffer(GL_ELEMENT_ARRAY_BUFFER, indices, indexCount);
}

void Mesh::draw(GLuint position, GLuint normal, GLuint texCoord) const {
  glUniformMatrix4fv(modelMatrixLocation, 1, GL_FALSE, glm::value_ptr(modelMatrix));
  enableStream(position, vertexBuffer, 4);
  if (hasNormals()) enableStream(normal, normalBuffer, 3);
  if (hasTexCoords()) enableStream(texCoord, texCoordBuffer, 2);

  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
  glDrawElements(primitiveMode, indexCount, GL_UNSIGNED_INT, nullptr);

  // Absent streams were never enabled, so their attribute state is left as the caller set it.
  glDisableVertexAttribArray(position);
  if (hasNormals()) glDisableVertexAttribArray(normal);
  if (hasTexCoords()) glDisableVertexAttribArray(texCoord);
}

void Mesh::deleteBuffers() {
  deleteBuffer(vertexBuffer);
  deleteBuffer(normalBuffer);
  deleteBuffer(texCoordBuffer);
  deleteBuffer(indexBuffer);
}
