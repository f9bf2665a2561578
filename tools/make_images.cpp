// lumarok-images: writes the demo's seven BMP images into a directory (the run directory's res): a
// tiled surface texture, test.bmp, and six cube faces cut from one environment function of direction,
// so the faces meet without seams whatever their orientation.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <glm/common.hpp>
#include <glm/ext/vector_int3.hpp>
#include <glm/geometric.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>
#include <string>
#include <vector>

namespace {

using Rgb = glm::vec3;

float clamp01(float v) { return glm::clamp(v, 0.0f, 1.0f); }
// a + (b - a) t: glm::mix, a (1 - t) + b t, rounds differently and would move a texel here and there.
template <typename T>
T blend(T a, T b, float t) {
  return a + (b - a) * t;
}

// Value noise on the integer lattice, smooth and repeatable (no global state).
float latticeValue(int x, int y, int z) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
               static_cast<uint32_t>(z) * 2147483647u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return static_cast<float>(h & 0xFFFFu) / 65535.0f;
}

float valueNoise(glm::vec3 p) {
  const glm::vec3 cell = glm::floor(p), t = glm::smoothstep(glm::vec3(0.0f), glm::vec3(1.0f), p - cell);
  const glm::ivec3 i(cell);
  const auto edge = [&](int dy, int dz) {  // along x, at the lattice's y + dy and z + dz
    return blend(latticeValue(i.x, i.y + dy, i.z + dz), latticeValue(i.x + 1, i.y + dy, i.z + dz), t.x);
  };
  return blend(blend(edge(0, 0), edge(1, 0), t.y), blend(edge(0, 1), edge(1, 1), t.y), t.z);
}

float fractalNoise(glm::vec3 p, int octaves) {
  float sum = 0.0f, amplitude = 0.5f, total = 0.0f;
  for (int i = 0; i < octaves; ++i) {
    sum += amplitude * valueNoise(p);
    total += amplitude;
    p *= 2.03f;
    amplitude *= 0.5f;
  }
  return sum / total;
}

// Where the sun sits: towards the light's start position, low over the horizon.
const glm::vec3 kSunDirection = glm::vec3(0.0f, 1.0f, 3.5f) / glm::length(glm::vec3(0.0f, 1.0f, 3.5f));

// The world seen from the scene in direction `d` (any length): sky with sun, clouds and a ring of
// hills above the horizon, fields below it, haze at the horizon.
Rgb environmentColor(glm::vec3 d) {
  d /= glm::length(d);
  const float elevation = d.y;
  const float azimuth = std::atan2(d.x, d.z);
  const Rgb haze = {0.80f, 0.85f, 0.90f};

  if (elevation >= 0.0f) {
    // Integer frequencies keep the hills continuous where the azimuth wraps.
    const float hills = 0.05f + 0.030f * std::sin(3.0f * azimuth + 1.0f) +
                        0.020f * std::sin(7.0f * azimuth + 2.0f) + 0.010f * std::sin(17.0f * azimuth + 0.5f);
    if (elevation < hills) {
      const float shade = fractalNoise(d * 40.0f, 3);
      const Rgb hill = blend(Rgb{0.28f, 0.38f, 0.32f}, Rgb{0.40f, 0.48f, 0.40f}, shade);
      return blend(hill, haze, 0.45f + 0.35f * (1.0f - elevation / hills));
    }
    const Rgb zenith = {0.16f, 0.36f, 0.78f};
    Rgb sky = blend(haze, zenith, std::pow(clamp01(elevation), 0.45f));
    // Clouds live on a plane above the scene; they thin out towards the horizon.
    const float reach = 1.0f / (elevation + 0.15f);
    const float cloud = fractalNoise({d.x * reach * 2.0f, 7.3f, d.z * reach * 2.0f}, 5);
    const float cover = glm::smoothstep(0.50f, 0.72f, cloud) * glm::smoothstep(0.02f, 0.25f, elevation);
    sky = blend(sky, Rgb{0.97f, 0.97f, 0.98f}, 0.85f * cover);
    const float toSun = glm::dot(d, kSunDirection);
    const float glow = std::pow(clamp01(toSun), 48.0f) * 0.45f + std::pow(clamp01(toSun), 6.0f) * 0.12f;
    sky += Rgb{1.0f, 0.85f, 0.55f} * glow;
    if (toSun > 0.9990f) sky = {1.0f, 0.98f, 0.90f};
    return sky;
  }

  // Fields on a plane below the scene: a patchwork of greens and ochres with furrow detail.
  const float reach = 1.0f / (-elevation + 0.02f);
  const float fx = d.x * reach * 0.8f, fz = d.z * reach * 0.8f;
  const float patch = valueNoise({std::floor(fx) * 1.7f, 3.1f, std::floor(fz) * 1.7f});
  Rgb field = patch < 0.33f   ? Rgb{0.30f, 0.45f, 0.18f}
              : patch < 0.66f ? Rgb{0.42f, 0.52f, 0.22f}
                              : Rgb{0.58f, 0.50f, 0.28f};
  const float detail = fractalNoise({fx * 6.0f, 1.0f, fz * 6.0f}, 3);
  field *= 0.75f + 0.45f * detail;
  const float furrow = 0.5f + 0.5f * std::sin((fx + fz) * 40.0f);
  field *= 0.92f + 0.08f * furrow;
  return blend(field, haze, std::exp(-(-elevation) * 9.0f) * 0.85f);
}

// The cube-map faces in GL's target order, with the file each is loaded from: the image named
// left fills positive X, bottom positive Y and back positive Z.
struct CubeFace {
  const char* fileName;
  int axis;  // 0 x, 1 y, 2 z
  int sign;  // +1 or -1
};
constexpr CubeFace kCubeFaces[6] = {
    {"cm_left.bmp", 0, +1}, {"cm_right.bmp", 0, -1}, {"cm_bottom.bmp", 1, +1},
    {"cm_top.bmp", 1, -1},  {"cm_back.bmp", 2, +1},  {"cm_front.bmp", 2, -1},
};
constexpr int kFaceSize = 128;
constexpr int kSurfaceSize = 256;

// Direction sampled by texel (column, row) of a face: GL's major-axis table read backwards, with
// s growing to the right and t growing with the row, the image's top row being texture row 0.
glm::vec3 faceTexelDirection(const CubeFace& face, int column, int row, int size) {
  const float sc = 2.0f * (static_cast<float>(column) + 0.5f) / static_cast<float>(size) - 1.0f;
  const float tc = 2.0f * (static_cast<float>(row) + 0.5f) / static_cast<float>(size) - 1.0f;
  const float m = static_cast<float>(face.sign);
  switch (face.axis * 2 + (face.sign > 0 ? 0 : 1)) {
    case 0: return {m, -tc, -sc};   // +X: sc = -rz, tc = -ry
    case 1: return {m, -tc, sc};    // -X: sc = +rz, tc = -ry
    case 2: return {sc, m, tc};     // +Y: sc = +rx, tc = +rz
    case 3: return {sc, m, -tc};    // -Y: sc = +rx, tc = -rz
    case 4: return {sc, -tc, m};    // +Z: sc = +rx, tc = -ry
    default: return {-sc, -tc, m};  // -Z: sc = -rx, tc = -ry
  }
}

// An image is its texels, top row first, each colour and alpha from 0 to 1.
using Texels = std::vector<glm::vec4>;

Texels renderFace(const CubeFace& face, int size) {
  Texels texels;
  for (int row = 0; row < size; ++row)
    for (int column = 0; column < size; ++column)
      texels.emplace_back(environmentColor(faceTexelDirection(face, column, row, size)), 1.0f);
  return texels;
}

// Terracotta and sandstone tiles in a checker of 8 by 8, with grout, bevelled edges and grain; the
// pattern repeats at the image's edges, so it also tiles.
Rgb surfaceColor(int x, int y, int size) {
  const int tile = size / 8;
  const int tx = x / tile, ty = y / tile;
  const float u = static_cast<float>(x % tile) + 0.5f, v = static_cast<float>(y % tile) + 0.5f;
  const float edge =
      std::fmin(std::fmin(u, static_cast<float>(tile) - u), std::fmin(v, static_cast<float>(tile) - v));
  const Rgb grout = {0.30f, 0.28f, 0.26f};
  if (edge < 1.5f) return grout;
  const bool dark = ((tx + ty) & 1) != 0;
  Rgb base = dark ? Rgb{0.62f, 0.30f, 0.18f} : Rgb{0.86f, 0.76f, 0.58f};
  const float tileTint = latticeValue(tx, ty, 11) * 0.14f - 0.07f;
  const float grain = fractalNoise({x * 0.21f, y * 0.21f, dark ? 3.0f : 5.0f}, 4);
  const float speck = latticeValue(x, y, 29) > 0.97f ? -0.10f : 0.0f;
  base *= 0.80f + 0.35f * grain + tileTint + speck;
  // A bevel: lit from the top left, shaded at the bottom right.
  if (edge < 4.0f) {
    const bool lit = (u < 4.0f && u <= v) || (v < 4.0f && v < u);
    base *= lit ? 1.12f : 0.80f;
  }
  return base;
}

float luminance(Rgb c) { return 0.2126f * c.r + 0.7152f * c.g + 0.0722f * c.b; }

// The surface texture in two bands, so the shader can drop the fine one where it would alias
// (a single-level texture has no mipmaps to do that): rgb holds the tiles' local average, a
// Gaussian blur over a few texels that wraps like the pattern, and alpha the detail (grout,
// bevels, grain) as the brightness of the full picture against that average, halved. Their
// product is the full picture up to the grout's hue.
Texels renderSurface(int size) {
  // Wide enough to take the grout and grain out of a cube face a few pixels across, narrow enough
  // to keep the tiles' colours apart where the ground is seen large.
  constexpr float kSigma = 1.5f;
  constexpr int kReach = 5;
  float weights[2 * kReach + 1], total = 0.0f;
  for (int i = -kReach; i <= kReach; ++i)
    total += weights[i + kReach] = std::exp(-0.5f * i * i / (kSigma * kSigma));
  std::vector<Rgb> full(static_cast<size_t>(size) * size), across(full.size()), average(full.size());
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) full[static_cast<size_t>(y) * size + x] = surfaceColor(x, y, size);
  auto blur = [&](const std::vector<Rgb>& from, std::vector<Rgb>& to, int dx, int dy) {
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        Rgb sum(0.0f);
        for (int i = -kReach; i <= kReach; ++i) {
          const int sx = (x + i * dx + size) % size, sy = (y + i * dy + size) % size;
          sum += from[static_cast<size_t>(sy) * size + sx] * (weights[i + kReach] / total);
        }
        to[static_cast<size_t>(y) * size + x] = sum;
      }
  };
  blur(full, across, 1, 0);
  blur(across, average, 0, 1);
  Texels texels(full.size());
  for (size_t i = 0; i < full.size(); ++i) {
    // 254 at most: the shader takes a full 255 for an image without the detail band.
    const float detail = luminance(full[i]) / std::fmax(luminance(average[i]), 1e-3f);
    texels[i] = glm::vec4(average[i], std::fmin(detail * 0.5f, 254.0f / 255.0f));
  }
  return texels;
}

// An uncompressed BMP with a BITMAPINFOHEADER, rows stored bottom-up, each padded to four bytes:
// 24-bit BGR, or 32-bit BGRA with the texels' alpha.
bool writeBmp(const std::string& path, uint32_t size, uint32_t bytesPerPixel, const Texels& texels) {
  const uint32_t rowBytes = (size * bytesPerPixel + 3) & ~3u, pixelBytes = rowBytes * size;
  // The file header (size, reserved, offset of the pixels), then the info header (its size, width,
  // height, planes, bits per pixel, no compression, pixel bytes, 72 dpi both ways, no palette).
  const uint32_t fields[][2] = {
      {54 + pixelBytes, 4},   {0, 4}, {54, 4},         {40, 4},   {size, 4}, {size, 4}, {1, 2},
      {8 * bytesPerPixel, 2}, {0, 4}, {pixelBytes, 4}, {2835, 4}, {2835, 4}, {0, 4},    {0, 4}};
  std::vector<uint8_t> out = {'B', 'M'};
  for (const auto& [value, bytes] : fields)
    for (uint32_t i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  for (uint32_t row = size; row-- > 0;) {
    for (uint32_t x = 0; x < size; ++x)
      for (uint32_t channel : {2, 1, 0, 3})
        if (channel < bytesPerPixel)
          out.push_back(static_cast<uint8_t>(clamp01(texels[row * size + x][channel]) * 255.0f + 0.5f));
    out.resize(out.size() + rowBytes - size * bytesPerPixel);
  }
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  file.close();
  return !file.fail();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: lumarok-images <output directory>\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = writeBmp(dir + "/test.bmp", kSurfaceSize, 4, renderSurface(kSurfaceSize));
  for (const CubeFace& face : kCubeFaces)
    ok = writeBmp(dir + "/" + face.fileName, kFaceSize, 3, renderFace(face, kFaceSize)) && ok;
  if (!ok) {
    std::printf("lumarok-images: could not write the images into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
