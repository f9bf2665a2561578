// The shape builders on the CPU: counts, chosen vertices, normals, index lists and winding. A wrong
// winding here shows up on screen as faces vanishing under back-face culling.
#include <gtest/gtest.h>

#include <algorithm>
#include <glm/geometric.hpp>
#include <glm/vec3.hpp>

#include "geometry/mesh.h"

namespace {

glm::vec3 position(const Mesh& m, unsigned k) {
  return {m.vertices[4 * k], m.vertices[4 * k + 1], m.vertices[4 * k + 2]};
}
glm::vec3 normal(const Mesh& m, unsigned k) {
  return {m.normals[3 * k], m.normals[3 * k + 1], m.normals[3 * k + 2]};
}
// Normal of triangle t by the right-hand rule, not normalised.
glm::vec3 faceNormal(const Mesh& m, int t) {
  const unsigned* i = m.indices + 3 * t;
  return glm::cross(position(m, i[1]) - position(m, i[0]), position(m, i[2]) - position(m, i[0]));
}

// Against the rounded figures worked out by hand for the chosen vertices.
void expectNear(const glm::vec3& got, const glm::vec3& want, float tol = 1e-6f) {
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], tol) << "component " << i;
}

void expectCounts(const Mesh& m, int vertexCount, int indexCount, GLenum mode) {
  EXPECT_EQ(m.vertexFloatCount, 4 * vertexCount);
  EXPECT_EQ(m.normalFloatCount, 3 * vertexCount);
  EXPECT_EQ(m.texCoordFloatCount, 2 * vertexCount);
  EXPECT_EQ(m.indexCount, indexCount);
  EXPECT_EQ(m.primitiveMode, mode);
  ASSERT_TRUE(m.hasNormals() && m.hasTexCoords());
  for (int k = 0; k < vertexCount; ++k) EXPECT_EQ(m.vertices[4 * k + 3], 1.0f) << "w of vertex " << k;
  for (int n = 0; n < indexCount; ++n) EXPECT_LT(m.indices[n], static_cast<unsigned>(vertexCount));
}

}  // namespace

TEST(MeshConstruction, StartsEmptyAndRebuildingReplacesArraysInsteadOfLeakingThem) {
  Mesh mesh(7);
  EXPECT_EQ(mesh.vertices, nullptr);
  EXPECT_FALSE(mesh.hasNormals() || mesh.hasTexCoords());
  EXPECT_EQ(mesh.modelMatrix, glm::mat4(1.0f));
  EXPECT_EQ(mesh.modelMatrixLocation, 7);
  EXPECT_EQ(mesh.vertexBuffer | mesh.normalBuffer | mesh.texCoordBuffer | mesh.indexBuffer, 0u);
  mesh.createSphere(0.5f);
  mesh.createCube(0.5f);  // under ASan a leaked sphere array fails the run
  expectCounts(mesh, 24, 36, GL_TRIANGLES);
  mesh.releaseArrays();
  mesh.releaseArrays();
  EXPECT_EQ(mesh.vertices, nullptr);
  EXPECT_EQ(mesh.vertexFloatCount, 0);
}

TEST(Plane, IsOneUpwardQuadOfEdgeTen) {
  Mesh plane(0);
  plane.createPlane();
  expectCounts(plane, 4, 4, GL_QUADS);
  for (unsigned n = 0; n < 4; ++n) {
    EXPECT_EQ(plane.indices[n], n);
    EXPECT_EQ(normal(plane, n), glm::vec3(0, 1, 0));
  }
  EXPECT_EQ(position(plane, 0), glm::vec3(-5, 0, 5));
  EXPECT_EQ(position(plane, 2), glm::vec3(5, 0, -5));
  EXPECT_EQ(plane.texCoordArray[4], 1.0f);
  EXPECT_EQ(plane.texCoordArray[5], 0.0f);
  // Counter-clockwise from above, so culling keeps the upper side.
  EXPECT_GT(glm::cross(position(plane, 1) - position(plane, 0), position(plane, 2) - position(plane, 0)).y,
            0.0f);
}

TEST(Sphere, GridVerticesAndIndexListMatchTheSinglePrecisionFormulas) {
  Mesh s(0);
  s.createSphere(0.5f);
  expectCounts(s, 1089, 6144, GL_TRIANGLES);  // a 33 by 33 grid
  const float* uv = s.texCoordArray;
  expectNear(position(s, 0), {0.0f, 0.5f, 0.0f});
  expectNear(normal(s, 0), {0.0f, 1.0f, 0.0f});
  expectNear(position(s, 33), {0.0f, 0.490393f, 0.0975423f});
  expectNear(position(s, 34), {0.0190290f, 0.490393f, 0.0956682f});
  EXPECT_EQ(uv[0], 0.0f);
  EXPECT_EQ(uv[68], 0.03125f);
  EXPECT_EQ(uv[69], 0.0f);
  // 3.1415 falls short of pi: the equator ring sits slightly above y = 0, the last ring off the pole.
  expectNear(position(s, 264), {0.0f, 0.0000232f, 0.5f}, 2e-7f);
  expectNear(position(s, 1088), {0.0f, 0.5f, -0.0000927f}, 2e-7f);
  EXPECT_EQ(uv[2 * 1088], 1.0f);
  // v steps down by 1/31 per ring from 1/31 on ring 0.
  for (int r = 0; r < 33; ++r) EXPECT_NEAR(uv[2 * 33 * r + 1], (1.0f - r) / 31.0f, 1e-6f) << "ring " << r;
  EXPECT_EQ(std::vector<unsigned>(s.indices, s.indices + 12),
            (std::vector<unsigned>{0, 33, 34, 0, 34, 1, 1, 34, 35, 1, 35, 2}));
  EXPECT_EQ(std::vector<unsigned>(s.indices + 6138, s.indices + 6144),
            (std::vector<unsigned>{1054, 1087, 1088, 1054, 1088, 1055}));
  EXPECT_EQ(*std::max_element(s.indices, s.indices + 6144), 1088u);
}

TEST(Sphere, NormalsAreUnitAndIndependentOfRadius) {
  Mesh small(0), large(0);
  small.createSphere(0.5f);
  large.createSphere(2.0f);
  expectNear(position(large, 33), {0.0f, 1.96157f, 0.390169f}, 1e-5f);
  for (unsigned k = 0; k < 1089; ++k) {
    EXPECT_NEAR(glm::length(normal(large, k)), 1.0f, 1e-6f) << "vertex " << k;
    EXPECT_LT(glm::length(normal(small, k) - normal(large, k)), 1e-6f) << "vertex " << k;
  }
}

// The first sixteen rows form the visible sphere; the full turn's second half winds inward and is
// culled. Triangles of (almost) zero area, at the pole and beside ring 16, have no facing to test.
TEST(Sphere, FirstSixteenRowsFaceOutwardAndTheRetracedHalfFacesInward) {
  Mesh s(0);
  s.createSphere(0.5f);
  int outward = 0, inward = 0;
  for (int t = 0; t < 2048; ++t) {
    const glm::vec3 n = faceNormal(s, t);
    if (glm::length(n) < 1e-5f) continue;
    const float facing = glm::dot(n, position(s, s.indices[3 * t]));
    if (t / 64 < 16) {
      EXPECT_GT(facing, 0.0f) << "triangle " << t;
      ++outward;
    } else if (facing < 0.0f) {
      ++inward;
    }
  }
  // Row 0 loses its 32 pole triangles, row 15 its 32 slivers whose base lies on the tiny ring 16.
  EXPECT_EQ(outward, 16 * 64 - 64);
  EXPECT_GE(inward, 15 * 64);
}

TEST(Cube, CornersScaleWithHalfSizeWhileNormalsAndTexCoordsDoNot) {
  Mesh small(0), large(0);
  small.createCube(0.5f);
  large.createCube(2.0f);
  expectCounts(small, 24, 36, GL_TRIANGLES);
  for (int f = 0; f < 96; ++f) {
    EXPECT_EQ(std::abs(small.vertices[f]), (f % 4 == 3) ? 1.0f : 0.5f);
    EXPECT_EQ(large.vertices[f], (f % 4 == 3) ? 1.0f : 4.0f * small.vertices[f]);
  }
  EXPECT_TRUE(std::equal(small.normals, small.normals + 72, large.normals));
  EXPECT_TRUE(std::equal(small.texCoordArray, small.texCoordArray + 48, large.texCoordArray));
  // The top face's texture runs opposite to the bottom face's.
  EXPECT_EQ(small.texCoordArray[0], 0.0f);
  EXPECT_EQ(small.texCoordArray[8], 1.0f);
}

TEST(Cube, EveryTriangleIsCounterClockwiseFromOutside) {
  Mesh cube(0);
  cube.createCube(0.5f);
  EXPECT_EQ(std::vector<unsigned>(cube.indices, cube.indices + 3), (std::vector<unsigned>{0, 2, 1}));
  EXPECT_EQ(glm::normalize(faceNormal(cube, 0)), glm::vec3(0, -1, 0));
  for (int t = 0; t < 12; ++t) {
    const glm::vec3 n = glm::normalize(faceNormal(cube, t));
    for (int corner = 0; corner < 3; ++corner)
      EXPECT_NEAR(glm::dot(n, normal(cube, cube.indices[3 * t + corner])), 1.0f, 1e-6f) << "triangle " << t;
    EXPECT_GT(glm::dot(n, position(cube, cube.indices[3 * t])), 0.0f) << "triangle " << t;
  }
}
