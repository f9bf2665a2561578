// lumarok-capture end to end: keys act at their exact frame, the same command gives the same pixels,
// and the golden frames of tests/golden match within a tolerance that absorbs Mesa's rounding on
// another CPU but not a broken shadow, reflection, blur or surface texture.
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
const std::string kGoldenDir = std::string(LUMAROK_SOURCE_DIR) + "/tests/golden";

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

// One line of tests/golden/scenarios.txt: a key timeline ("-" for none) and FRAME:NAME shots.
struct Scenario {
  std::string size, keys, shots;
  std::vector<std::pair<int, std::string>> frames;  // frame, name
};

std::vector<Scenario> loadScenarios() {
  std::vector<Scenario> scenarios;
  std::ifstream in(kGoldenDir + "/scenarios.txt");
  std::string size;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    Scenario s;
    if (!(fields >> s.keys >> s.shots) || s.keys[0] == '#') continue;
    if (s.keys == "size") {
      size = s.shots;
      continue;
    }
    s.size = size;
    if (s.keys == "-") s.keys.clear();
    std::stringstream shots(s.shots);
    for (std::string shot; std::getline(shots, shot, ',');)
      s.frames.push_back({std::atoi(shot.c_str()), shot.substr(shot.find(':') + 1)});
    scenarios.push_back(s);
  }
  return scenarios;
}

class GoldenFrame : public ::testing::TestWithParam<Scenario> {};

TEST_P(GoldenFrame, MatchesItsReference) {
  const Scenario& s = GetParam();
  const std::string dir = outputDir("golden-" + s.frames.front().second);
  std::vector<std::string> args = {"--size", s.size, "--shots", s.shots};
  if (!s.keys.empty()) args.insert(args.end(), {"--keys", s.keys});
  const RunResult run = runCapture(args, dir);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  for (const auto& frame : s.frames) {
    const std::string captured = dir + "/" + frame.second + ".png",
                      golden = kGoldenDir + "/" + frame.second + ".png";
    EXPECT_NE(run.out.find("wrote " + captured + " (frame " + std::to_string(frame.first) + ")\n"),
              std::string::npos)
        << run.out;
    const ImageDiff diff = compareImages(loadImage(captured), loadImage(golden));
    EXPECT_TRUE(diff.withinTolerance()) << frame.second << ": " << diff.describe()
                                        << "\n  captured: " << captured << "\n  reference: " << golden
                                        << "\n  (scripts/refresh-goldens.sh remakes the references after a "
                                           "deliberate change)";
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, GoldenFrame, ::testing::ValuesIn(loadScenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                           std::string name = info.param.frames.front().second;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// Guards the references themselves: refreshed from a build whose effect did nothing, a golden would
// look like its plain counterpart and the test above would protect a broken picture.
TEST(GoldenReferences, EachEffectVisiblyChangesThePlainFrame) {
  const std::pair<const char*, const char*> pairs[] = {
      {"shadows", "plain"}, {"reflection", "plain"}, {"blur", "stepped"}, {"path", "plain"}};
  for (const auto& pair : pairs) {
    const ImageDiff diff = compareImages(loadImage(kGoldenDir + "/" + pair.first + ".png"),
                                         loadImage(kGoldenDir + "/" + pair.second + ".png"));
    EXPECT_TRUE(diff.sameSize && diff.worstTileFraction > kMinEffectTileFraction)
        << pair.first << " vs " << pair.second << ": " << diff.describe();
  }
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
