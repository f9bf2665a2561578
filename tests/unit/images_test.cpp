// The image tool's logic: BMP encoding, the cube faces' texel directions against GL's major-axis
// table, the environment's sky above and ground below, seamless face edges, and a surface texture
// with detail that tiles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "scene_images.h"

namespace {

using images::CubeFace;
using images::Rgb;
using images::Vec3;

// GL's selection, written forwards from its table: which face and texel a direction samples.
void glCubeLookup(Vec3 r, int size, int& faceIndex, int& column, int& row) {
  const float ax = std::fabs(r.x), ay = std::fabs(r.y), az = std::fabs(r.z);
  float sc, tc, ma;
  if (ax >= ay && ax >= az)
    ma = ax, faceIndex = r.x > 0 ? 0 : 1, sc = r.x > 0 ? -r.z : r.z, tc = -r.y;
  else if (ay >= az)
    ma = ay, faceIndex = r.y > 0 ? 2 : 3, sc = r.x, tc = r.y > 0 ? r.z : -r.z;
  else
    ma = az, faceIndex = r.z > 0 ? 4 : 5, sc = r.z > 0 ? r.x : -r.x, tc = -r.y;
  const float s = (sc / ma + 1.0f) / 2.0f, t = (tc / ma + 1.0f) / 2.0f;
  // Like GL, clamp to the face: a direction through a corner gives s or t of exactly 1.
  column = std::clamp(static_cast<int>(std::floor(s * size)), 0, size - 1);
  row = std::clamp(static_cast<int>(std::floor(t * size)), 0, size - 1);
}

float difference(Rgb a, Rgb b) { return std::fabs(a.r - b.r) + std::fabs(a.g - b.g) + std::fabs(a.b - b.b); }

Rgb average(const images::Image& image, int rowFrom, int rowTo) {
  Rgb sum = {0, 0, 0};
  int n = 0;
  for (int y = rowFrom; y < rowTo; ++y)
    for (int x = 0; x < image.width; ++x, ++n) sum = images::add(sum, image.get(x, y));
  return images::scale(sum, 1.0f / static_cast<float>(n));
}

TEST(CubeFaces, EveryTexelDirectionSamplesThatTexelUnderGlsSelection) {
  const int size = images::kFaceSize;
  for (int f = 0; f < 6; ++f)
    for (int row = 0; row < size; ++row)
      for (int column = 0; column < size; ++column) {
        int face = -1, c = -1, r = -1;
        glCubeLookup(images::faceTexelDirection(images::kCubeFaces[f], column, row, size), size, face, c, r);
        ASSERT_TRUE(face == f && c == column && r == row)
            << images::kCubeFaces[f].fileName << " " << column << "," << row << " samples face " << face
            << " " << c << "," << r;
      }
}

TEST(CubeFaces, FilesFollowTheNamedMapping) {
  const char* names[6] = {"cm_left.bmp", "cm_right.bmp", "cm_bottom.bmp",
                          "cm_top.bmp",  "cm_back.bmp",  "cm_front.bmp"};
  for (int f = 0; f < 6; ++f)  // +X, -X, +Y, -Y, +Z, -Z
    EXPECT_TRUE(std::string(images::kCubeFaces[f].fileName) == names[f] &&
                images::kCubeFaces[f].axis == f / 2 && images::kCubeFaces[f].sign == (f % 2 == 0 ? 1 : -1))
        << names[f];
}

TEST(Environment, SkyAboveGroundBelowAndSideFacesShowTheHorizon) {
  const images::Image up = images::renderFace(images::kCubeFaces[2], 64);    // cm_bottom: +Y
  const images::Image down = images::renderFace(images::kCubeFaces[3], 64);  // cm_top: -Y
  const Rgb sky = average(up, 0, 64), ground = average(down, 0, 64);
  EXPECT_GT(sky.b, sky.r + 0.15f) << "the face seen looking up is blue sky";
  EXPECT_GT(ground.g, ground.b + 0.1f) << "the face seen looking down is green ground";
  for (int f : {0, 1, 4, 5}) {
    const images::Image side = images::renderFace(images::kCubeFaces[f], 64);
    const Rgb top = average(side, 0, 8), bottom = average(side, 56, 64);
    EXPECT_GT(top.b, top.r) << images::kCubeFaces[f].fileName << ": its top row is sky";
    EXPECT_GT(bottom.g, bottom.b) << images::kCubeFaces[f].fileName << ": its bottom row is ground";
  }
}

TEST(Environment, EdgeTexelsMatchTheirNeighboursOnTheAdjacentFace) {
  const int size = images::kFaceSize;
  std::vector<images::Image> faces;
  for (int f = 0; f < 6; ++f) faces.push_back(images::renderFace(images::kCubeFaces[f], size));
  float worst = 0.0f, total = 0.0f;
  int pairs = 0;
  for (int f = 0; f < 6; ++f)
    for (int i = 0; i < size; ++i) {
      const int edge[4][2] = {{i, 0}, {i, size - 1}, {0, i}, {size - 1, i}};
      for (const auto& e : edge) {
        // Step one texel beyond the edge along the face: the direction lands on the next face.
        const Vec3 d = images::faceTexelDirection(images::kCubeFaces[f], e[0], e[1], size);
        const Vec3 mid = images::faceTexelDirection(images::kCubeFaces[f], size / 2, size / 2, size);
        const float k = 1.0f + 2.0f / size;
        const Vec3 beyond = {d.x * k - mid.x * (k - 1), d.y * k - mid.y * (k - 1), d.z * k - mid.z * (k - 1)};
        int face = -1, c = -1, r = -1;
        glCubeLookup(beyond, size, face, c, r);
        if (face == f) continue;
        const float diff = difference(faces[f].get(e[0], e[1]), faces[face].get(c, r));
        worst = std::max(worst, diff);
        total += diff;
        ++pairs;
      }
    }
  // Within a face, neighbouring texels differ by the environment's own detail; across an edge the
  // step must be no larger (a mirrored or rotated face would make it many times larger).
  float inside = 0.0f;
  int insidePairs = 0;
  for (int f = 0; f < 6; ++f)
    for (int y = 0; y < size; ++y)
      for (int x = 0; x + 1 < size; ++x, ++insidePairs)
        inside += difference(faces[f].get(x, y), faces[f].get(x + 1, y));
  ASSERT_GT(pairs, 6 * size);
  EXPECT_LT(total / pairs, 2.0f * inside / insidePairs + 0.01f) << "mean colour step across face edges";
  EXPECT_LT(worst, 1.5f);
}

// The surface texture's full picture: the smooth colour in rgb times twice the detail in alpha.
Rgb fullColour(const images::Image& image, int x, int y) {
  return images::scale(image.get(x, y),
                       2.0f * image.alpha[static_cast<size_t>(y) * image.width + x] / 255.0f);
}

TEST(SurfaceTexture, HasDetailAndTilesOverASmoothColour) {
  const images::Image image = images::renderSurface(images::kSurfaceSize);
  ASSERT_EQ(image.alpha.size(), static_cast<size_t>(image.width * image.height));
  float sum = 0.0f, sumSquares = 0.0f, smoothStep = 0.0f, fullStep = 0.0f;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const float l = images::luminance(fullColour(image, x, y));
      sum += l;
      sumSquares += l * l;
      // Neighbouring texels: the smooth band changes little, the full picture steps at grout.
      const int right = (x + 1) % image.width;
      smoothStep = std::max(smoothStep, difference(image.get(x, y), image.get(right, y)));
      fullStep = std::max(fullStep, difference(fullColour(image, x, y), fullColour(image, right, y)));
    }
  const float n = static_cast<float>(image.width * image.height);
  const float deviation = std::sqrt(sumSquares / n - (sum / n) * (sum / n));
  EXPECT_GT(deviation, 0.1f) << "not a flat colour";
  EXPECT_GT(fullStep, 0.3f) << "no sharp detail";
  EXPECT_LT(smoothStep, 0.5f * fullStep) << "the colour band is not smooth";
  // Its left and right edges, and its top and bottom, are both grout: repeated, it shows no seam.
  for (int i = 0; i < image.width; ++i) {
    EXPECT_LT(difference(fullColour(image, 0, i), fullColour(image, image.width - 1, i)), 0.1f);
    EXPECT_LT(difference(fullColour(image, i, 0), fullColour(image, i, image.height - 1)), 0.1f);
  }
}

TEST(Bmp, TwentyFourBitBottomUpBgrWithPaddedRows) {
  images::Image image(3, 2);            // three pixels: rows of 9 bytes padded to 12
  image.set(0, 0, {1.0f, 0.0f, 0.0f});  // top left red
  image.set(0, 1, {0.0f, 0.0f, 1.0f});  // bottom left blue
  const std::vector<uint8_t> bmp = images::encodeBmp(image);
  ASSERT_EQ(bmp.size(), 54u + 2 * 12);
  // Size, data offset, width, height (positive: bottom row first), 24 bits, no compression.
  const std::pair<size_t, int> fields[] = {{2, 78}, {10, 54}, {18, 3}, {22, 2}, {28, 24}, {30, 0}};
  EXPECT_EQ(std::string(bmp.begin(), bmp.begin() + 2), "BM");
  for (const auto& field : fields)
    EXPECT_EQ(bmp[field.first] | bmp[field.first + 1] << 8 | bmp[field.first + 2] << 16, field.second)
        << field.first;
  // First stored pixel is the bottom-left one, blue, in B, G, R order; the top row follows.
  EXPECT_EQ(std::vector<int>(bmp.begin() + 54, bmp.begin() + 57), (std::vector<int>{255, 0, 0}));
  EXPECT_EQ(std::vector<int>(bmp.begin() + 66, bmp.begin() + 69), (std::vector<int>{0, 0, 255}));
}

}  // namespace
