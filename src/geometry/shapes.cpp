// The three procedural shapes: ground square, sphere and cube. Computed in single precision with
// fixed constants, so the vertices are reproducible to the last bit; front faces wind counter-clockwise
// seen from outside because the renderer culls back faces.
#include <cmath>
#include <cstring>

#include "geometry/mesh.h"

namespace {

// Sets the counts and allocates the arrays for the given number of vertices and indices.
void allocate(Mesh& mesh, int vertexCount, int indexCount) {
  mesh.releaseArrays();
  mesh.vertexFloatCount = 4 * vertexCount;
  mesh.normalFloatCount = 3 * vertexCount;
  mesh.texCoordFloatCount = 2 * vertexCount;
  mesh.indexCount = indexCount;
  mesh.vertices = new float[mesh.vertexFloatCount];
  mesh.normals = new float[mesh.normalFloatCount];
  mesh.texCoordArray = new float[mesh.texCoordFloatCount];
  mesh.indices = new unsigned[mesh.indexCount];
}

constexpr int kSphereRings = 33;
constexpr int kSphereColumns = 33;

}  // namespace

void Mesh::createPlane() {
  static const float kVertices[] = {-5, 0, 5, 1, 5, 0, 5, 1, 5, 0, -5, 1, -5, 0, -5, 1};
  static const float kNormals[] = {0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0};
  static const float kTexCoords[] = {0, 1, 1, 1, 1, 0, 0, 0};
  static const unsigned kIndices[] = {0, 1, 2, 3};  // counter-clockwise seen from above

  allocate(*this, 4, 4);
  primitiveMode = GL_QUADS;
  std::memcpy(vertices, kVertices, sizeof kVertices);
  std::memcpy(normals, kNormals, sizeof kNormals);
  std::memcpy(texCoordArray, kTexCoords, sizeof kTexCoords);
  std::memcpy(indices, kIndices, sizeof kIndices);
}

void Mesh::createSphere(float radius) {
  allocate(*this, kSphereRings * kSphereColumns, (kSphereRings - 1) * (kSphereColumns - 1) * 6);
  primitiveMode = GL_TRIANGLES;

  const float sphereStep = 3.1415f / 16;
  // Deliberate: the polar angle runs a full turn, so rings 17 to 32 retrace the surface with
  // inward-facing triangles that culling removes; the look of the sphere depends on it.
  for (int r = 0; r < kSphereRings; ++r) {
    const float theta = r * sphereStep;
    const float y = radius * std::cos(theta);
    const float ringRadius = radius * std::sin(theta);
    const float v = (1.0f - r) / 31.0f;
    for (int i = 0; i < kSphereColumns; ++i) {
      const float phi = i * sphereStep;
      const float x = ringRadius * std::sin(phi);
      const float z = ringRadius * std::cos(phi);
      const int k = kSphereColumns * r + i;
      float* position = vertices + 4 * k;
      position[0] = x;
      position[1] = y;
      position[2] = z;
      position[3] = 1.0f;
      float* normal = normals + 3 * k;
      normal[0] = x / radius;
      normal[1] = y / radius;
      normal[2] = z / radius;
      texCoordArray[2 * k] = i / 32.0f;
      texCoordArray[2 * k + 1] = v;
    }
  }

  unsigned* out = indices;
  for (unsigned r = 0; r + 1 < kSphereRings; ++r) {
    for (unsigned i = 0; i + 1 < kSphereColumns; ++i) {
      const unsigned c = kSphereColumns * r + i;
      const unsigned quad[] = {c, c + 33, c + 34, c, c + 34, c + 1};
      for (unsigned index : quad) *out++ = index;
    }
  }
}

void Mesh::createCube(float halfSize) {
  // Six faces of four corners each, in the order bottom, top, back, front, left, right.
  static const signed char kSigns[24][3] = {
      {-1, -1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, -1, -1},  // bottom
      {-1, 1, -1},  {-1, 1, 1},  {1, 1, 1},  {1, 1, -1},   // top
      {-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}, {1, -1, -1},  // back
      {-1, -1, 1},  {-1, 1, 1},  {1, 1, 1},  {1, -1, 1},   // front
      {-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1},  // left
      {1, -1, -1},  {1, -1, 1},  {1, 1, 1},  {1, 1, -1},   // right
  };
  static const float kFaceNormals[6][3] = {{0, -1, 0}, {0, 1, 0},  {0, 0, -1},
                                           {0, 0, 1},  {-1, 0, 0}, {1, 0, 0}};
  // The top face runs its texture opposite to the bottom face's.
  static const float kTexCoords[48] = {
      0, 0, 0, 1, 1, 1, 1, 0,  // bottom
      1, 0, 1, 1, 0, 1, 0, 0,  // top
      0, 0, 0, 1, 1, 1, 1, 0,  // back
      0, 0, 0, 1, 1, 1, 1, 0,  // front
      0, 0, 0, 1, 1, 1, 1, 0,  // left
      0, 0, 0, 1, 1, 1, 1, 0,  // right
  };
  static const unsigned kIndices[36] = {
      0,  2,  1,  0,  3,  2,  4,  5,  6,  4,  6,  7,  8,  9,  10, 8,  10, 11,
      12, 15, 14, 12, 14, 13, 16, 17, 18, 16, 18, 19, 20, 23, 22, 20, 22, 21,
  };

  allocate(*this, 24, 36);
  primitiveMode = GL_TRIANGLES;
  for (int k = 0; k < 24; ++k) {
    for (int axis = 0; axis < 3; ++axis) {
      vertices[4 * k + axis] = kSigns[k][axis] * halfSize;
      normals[3 * k + axis] = kFaceNormals[k / 4][axis];
    }
    vertices[4 * k + 3] = 1.0f;
  }
  std::memcpy(texCoordArray, kTexCoords, sizeof kTexCoords);
  std::memcpy(indices, kIndices, sizeof kIndices);
}
