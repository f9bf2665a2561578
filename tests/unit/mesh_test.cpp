// Splitting quads for WebGL, which draws none: the web build's ground is the desktop's quad as two
// triangles, and a wrong winding would have the ground culled away in the browser only.
#include "geometry/mesh.h"

#include <gtest/gtest.h>

#include <glm/geometric.hpp>
#include <set>
#include <vector>

namespace {

glm::vec3 position(const Mesh& mesh, unsigned vertex) {
  const float* p = mesh.vertices + 4 * vertex;
  return {p[0], p[1], p[2]};
}

TEST(SplitQuads, TheGroundBecomesTwoTrianglesFacingUpOverItsFourCorners) {
  Mesh ground(-1);
  ground.createPlane();
  ground.splitQuads();
  ASSERT_EQ(ground.primitiveMode, static_cast<GLenum>(GL_TRIANGLES));
  ASSERT_EQ(ground.indexCount, 6);
  std::set<unsigned> corners;
  float area = 0;
  for (int t = 0; t < 2; ++t) {
    const unsigned* tri = ground.indices + 3 * t;
    const glm::vec3 normal = glm::cross(position(ground, tri[1]) - position(ground, tri[0]),
                                        position(ground, tri[2]) - position(ground, tri[0]));
    EXPECT_GT(normal.y, 0.0f) << "triangle " << t << " winds clockwise seen from above: culled";
    area += glm::length(normal) / 2;
    corners.insert(tri, tri + 3);
  }
  EXPECT_EQ(corners.size(), 4u);
  EXPECT_FLOAT_EQ(area, 100.0f);  // the whole 10 by 10 square, no overlap
}

TEST(SplitQuads, LeavesTriangleMeshesAsTheyAre) {
  Mesh cube(-1);
  cube.createCube(0.5f);
  const std::vector<unsigned> before(cube.indices, cube.indices + cube.indexCount);
  cube.splitQuads();
  EXPECT_EQ(std::vector<unsigned>(cube.indices, cube.indices + cube.indexCount), before);
}

}  // namespace
