// lumarok-capture end to end: keys act at their exact frame, the same command gives the same pixels.
// (The golden frames, which run it too, are in golden_test.cpp.)
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "png_image.h"

namespace {

const std::string kCapture = std::string(LUMAROK_BINARY_DIR) + "/lumarok-capture";

// A pixel differs when any channel is off by more than this; llvmpipe on another vector width moves
// edges and filtered texels by a few levels, never by this much.
constexpr int kChannelThreshold = 24;
// The image is cut into a grid of tiles; a real fault (a shadow gone, a blur or reflection broken)
// changes many pixels of the few tiles it covers, rounding changes a few pixels here and there.
constexpr int kTiles = 16;
constexpr double kMaxDifferingFraction = 0.005, kMaxTileDifferingFraction = 0.03;
// Two frames meant to show different things must differ at least this much in some tile.
constexpr double kMinEffectTileFraction = 0.10;

struct ImageDiff {
  bool sameSize = false;
  double differingFraction = 1.0, worstTileFraction = 1.0;
  int worstTile = -1;

  bool withinTolerance() const {
    return sameSize && differingFraction <= kMaxDifferingFraction &&
           worstTileFraction <= kMaxTileDifferingFraction;
  }
  std::string describe() const {
    if (!sameSize) return "sizes differ";
    std::ostringstream out;
    out << differingFraction * 100 << "% of pixels differ; worst tile (" << worstTile % kTiles << ", "
        << worstTile / kTiles << " from top left, of " << kTiles << "x" << kTiles << ") "
        << worstTileFraction * 100 << "%";
    return out.str();
  }
};

ImageDiff compareImages(const RgbImage& a, const RgbImage& b) {
  ImageDiff diff;
  diff.sameSize = a.width == b.width && a.height == b.height && !a.empty();
  if (!diff.sameSize) return diff;
  std::vector<int> tileDiffering(kTiles * kTiles, 0), tilePixels(kTiles * kTiles, 0);
  long differing = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      bool differs = false;
      for (int c = 0; c < 3; ++c)
        differs = differs || std::abs(a.at(x, y)[c] - b.at(x, y)[c]) > kChannelThreshold;
      const int tile = (y * kTiles / a.height) * kTiles + x * kTiles / a.width;
      ++tilePixels[tile];
      tileDiffering[tile] += differs;
      differing += differs;
    }
  diff.differingFraction = static_cast<double>(differing) / (static_cast<double>(a.width) * a.height);
  diff.worstTileFraction = -1.0;
  for (int t = 0; t < kTiles * kTiles; ++t) {
    const double fraction = static_cast<double>(tileDiffering[t]) / tilePixels[t];
    if (fraction > diff.worstTileFraction) diff.worstTileFraction = fraction, diff.worstTile = t;
  }
  return diff;
}

struct RunResult {
  int exitCode = -1;
  std::string out, err;
};

// Runs the capture tool with its arguments (none may contain a single quote), writing into `outDir`.
RunResult runCapture(const std::vector<std::string>& args, const std::string& outDir) {
  std::string command = "mkdir -p '" + outDir + "' && rm -f '" + outDir + "'/*.png && '" + kCapture + "'";
  for (const std::string& arg : args) command += " '" + arg + "'";
  command += " --out '" + outDir + "' 2>'" + outDir + "/stderr.txt'";
  RunResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) result.out += buffer;
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream err(outDir + "/stderr.txt");
  result.err.assign(std::istreambuf_iterator<char>(err), {});
  return result;
}

std::string outputDir(const std::string& name) {
  return std::string(LUMAROK_BINARY_DIR) + "/test-output/" + name;
}

RgbImage loadImage(const std::string& path) {
  RgbImage image;
  EXPECT_TRUE(readPng(path, image)) << "cannot read " << path;
  return image;
}

TEST(Capture, KeysActAtTheirExactFrameAndTheSameRunGivesTheSamePixels) {
  const std::string plainDir = outputDir("exact-plain"), keyedDir = outputDir("exact-keyed");
  const RunResult plain = runCapture({"--size", "320x240", "--shots", "19:a,20:b"}, plainDir);
  const RunResult keyed =
      runCapture({"--size", "320x240", "--keys", "20:s", "--shots", "19:a,20:b"}, keyedDir);
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  ASSERT_EQ(keyed.exitCode, 0) << keyed.err;
  // Before the press the two runs are the same run: pixel for pixel, in two processes.
  const RgbImage plainBefore = loadImage(plainDir + "/a.png");
  EXPECT_FALSE(plainBefore.pixels.empty());
  EXPECT_EQ(plainBefore.pixels, loadImage(keyedDir + "/a.png").pixels);
  // The frame the press was given for already shows the shadows.
  const ImageDiff diff = compareImages(loadImage(plainDir + "/b.png"), loadImage(keyedDir + "/b.png"));
  EXPECT_GT(diff.worstTileFraction, kMinEffectTileFraction) << diff.describe();
}

// The animation holds every step-th frame of its range at the asked width, as ffprobe counts them.
TEST(Capture, AnimationHoldsTheAskedFramesAtTheAskedWidth) {
  const std::string dir = outputDir("animation");
  const RunResult run = runCapture(
      {"--size", "160x120", "--animation", "5-24:a.gif", "--animation-step", "2", "--animation-width", "80"},
      dir);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  FILE* probe =
      popen(("ffprobe -v error -count_frames -show_entries stream=width,height,nb_read_frames -of csv=p=0 " +
             dir + "/a.gif")
                .c_str(),
            "r");
  char line[64] = {};
  EXPECT_TRUE(probe != nullptr && std::fgets(line, sizeof line, probe) != nullptr);
  EXPECT_STREQ(line, "80,60,10\n");
  if (probe != nullptr) pclose(probe);
}

}  // namespace
