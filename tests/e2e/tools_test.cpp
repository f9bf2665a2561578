// The tools end to end. lumarok-capture: the golden frames, each shot matching its reference in
// tests/golden within a tolerance that absorbs Mesa's rounding on another CPU, but not a shadow,
// reflection, blur or surface texture gone wrong, nor a key acting a frame early or late; and the
// animation holding the frames asked for. LUMAROK_CAPTURE names another build's capture tool, as the
// words that start it (scripts/test.sh: the Windows one through Wine). lumarok-bench: its report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>

#include "png_image.h"

namespace {

const std::string kGolden = LUMAROK_SOURCE_DIR "/tests/golden/";

// What `command`, run by sh, writes to standard output, and its exit status.
std::string output(const std::string& command, int& status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  for (char buffer[512]; pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr;)
    out += buffer;
  status = pipe != nullptr ? pclose(pipe) : -1;
  return out;
}

// Runs lumarok-capture with `arguments` into a fresh test-output/NAME, under `environment` (VAR=VALUE
// words); returns that directory, or "" when the tool failed, with what it said on standard error.
std::string capture(const std::string& name, const std::string& arguments,
                    const std::string& environment = "", std::string* complaint = nullptr) {
  const char* tool = std::getenv("LUMAROK_CAPTURE");
  const std::string dir = LUMAROK_BINARY_DIR "/test-output/" + name;
  int status = -1;
  const std::string said = output("rm -rf " + dir + " && mkdir -p " + dir + " && env " + environment + " " +
                                      (tool != nullptr ? tool : LUMAROK_BINARY_DIR "/lumarok-capture") + " " +
                                      arguments + " --out " + dir + " 2>&1 >/dev/null",
                                  status);
  if (complaint != nullptr) *complaint = said;
  return status == 0 ? dir : "";
}

// The shares of pixels off by more than 8 levels in a channel, in the whole image and in the worst of
// 16 by 16 tiles, and the mean difference per channel: rounding moves a few pixels a little here and
// there, a fault many where it acts, and a change of shading all of them a few levels.
struct Difference {
  double image = 1, worstTile = 1, mean = 255;
};

Difference differing(const std::string& pathA, const std::string& pathB) {
  RgbImage a, b;
  if (!readPng(pathA, a) || !readPng(pathB, b) || a.width != b.width || a.height != b.height) return {};
  std::vector<double> tiles(256);
  Difference d{0, 0, 0};
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      int largest = 0;
      for (int c = 0; c < 3; ++c) largest = std::max(largest, std::abs(a.at(x, y)[c] - b.at(x, y)[c]));
      for (int c = 0; c < 3; ++c)
        d.mean += std::abs(a.at(x, y)[c] - b.at(x, y)[c]) / (3.0 * a.width * a.height);
      if (largest > 8) tiles[y * 16 / a.height * 16 + x * 16 / a.width] += 256.0 / (a.width * a.height);
    }
  for (double tile : tiles) d.image += tile / 256;
  d.worstTile = *std::max_element(tiles.begin(), tiles.end());
  return d;
}

// The GL implementations the golden frames are drawn on: Mesa's llvmpipe as installed, held to the
// versions older contexts offer (GL 2.1 is macOS's legacy profile; the legacy row also takes away the
// ARB framebuffer objects, texel fetches and gathers, so every fallback draws), and softpipe, a
// rasteriser of its own. Each must draw the same picture without a GL error; the capture tool fails a
// run on any. Softpipe takes about 0.15 s a frame and has no multisampled windows, so it draws one
// scenario with every effect, single sampled.
struct Driver {
  const char* name;
  const char* environment;
  const char* onlyScenario;  // nullptr: every scenario
};
constexpr Driver kDrivers[] = {
    {"llvmpipe", "", nullptr},
    {"gl21", "MESA_GL_VERSION_OVERRIDE=2.1 MESA_GLSL_VERSION_OVERRIDE=120", nullptr},
    {"gl30", "MESA_GL_VERSION_OVERRIDE=3.0 MESA_GLSL_VERSION_OVERRIDE=130", nullptr},
    {"gl21_legacy",
     "MESA_GL_VERSION_OVERRIDE=2.1 MESA_GLSL_VERSION_OVERRIDE=120 "
     "MESA_EXTENSION_OVERRIDE='-GL_ARB_framebuffer_object -GL_ARB_texture_gather -GL_EXT_gpu_shader4'",
     "path"},
    {"softpipe", "GALLIUM_DRIVER=softpipe", "path-single-sampled"},
};

// A run of tests/golden/scenarios.json on one of them: the capture tool's options, the shots' names.
struct GoldenRun {
  Driver driver;
  std::string options;
  std::vector<std::string> names;
};

void PrintTo(const GoldenRun& run, std::ostream* out) { *out << run.names[0] << " on " << run.driver.name; }

std::vector<GoldenRun> goldenRuns() {
  std::vector<GoldenRun> list;
  const auto joined = [](const nlohmann::json& events, const char* what) {
    std::string text;
    for (const auto& event : events)
      text += (text.empty() ? "" : ",") + std::to_string(event["frame"].get<int>()) + ":" +
              event[what].get<std::string>();
    return text;
  };
  const auto scenarios = nlohmann::json::parse(std::ifstream(kGolden + "scenarios.json"));
  for (const auto& run : scenarios["runs"]) {
    std::string options =
        "--size " + run["size"].get<std::string>() + " --shots " + joined(run["shots"], "name");
    if (!run["keys"].empty()) options += " --keys " + joined(run["keys"], "key");
    if (run.value("singleSample", false)) options += " --single-sample";
    std::vector<std::string> names;
    for (const auto& shot : run["shots"]) names.push_back(shot["name"]);
    for (const Driver& driver : kDrivers)
      if (driver.onlyScenario == nullptr || names[0] == driver.onlyScenario)
        list.push_back({driver, options, names});
  }
  return list;
}

class GoldenFrame : public ::testing::TestWithParam<GoldenRun> {};

TEST_P(GoldenFrame, MatchesItsReference) {
  const auto& [driver, options, names] = GetParam();
  std::string complaint;
  const std::string dir =
      capture("golden-" + std::string(driver.name) + "-" + names[0], options, driver.environment, &complaint);
  ASSERT_FALSE(dir.empty()) << complaint;
  for (const std::string& name : names) {
    // Every driver here draws its goldens to the pixel but softpipe, 0.003 levels off on the mean.
    const Difference d = differing(dir + "/" + name + ".png", kGolden + name + ".png");
    EXPECT_TRUE(d.image <= 0.005 && d.worstTile <= 0.03 && d.mean <= 0.5)
        << name << " on " << driver.name << ": " << d.image * 100 << "% of the pixels differ, "
        << d.worstTile * 100 << "% in the worst tile, " << d.mean
        << " levels on the mean (scripts/refresh-goldens.sh remakes the references after a deliberate "
           "change)";
  }
}

INSTANTIATE_TEST_SUITE_P(Drivers, GoldenFrame, ::testing::ValuesIn(goldenRuns()),
                         [](const ::testing::TestParamInfo<GoldenRun>& info) {
                           std::string name = info.param.driver.name + std::string("_") + info.param.names[0];
                           std::replace_if(
                               name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
                           return name;
                         });

// The references themselves: refreshed from a build whose effect did nothing, a golden would look like
// its plain counterpart and the test above would guard a broken picture.
TEST(GoldenReferences, EachEffectVisiblyChangesThePlainFrame) {
  for (auto [effect, plain] :
       {std::pair{"shadows", "plain"}, {"reflection", "plain"}, {"blur", "stepped"}, {"path", "plain"}})
    EXPECT_GT(differing(kGolden + effect + ".png", kGolden + plain + ".png").worstTile, 0.10) << effect;
}

// The animation holds every step-th frame of its range at the asked width, as ffprobe counts them.
TEST(Capture, AnimationHoldsTheAskedFramesAtTheAskedWidth) {
  const std::string dir =
      capture("animation", "--size 160x120 --animation 5-24:a.gif --animation-step 2 --animation-width 80");
  ASSERT_FALSE(dir.empty());
  int status = -1;
  EXPECT_EQ(
      output("ffprobe -v error -count_frames -show_entries stream=width,height,nb_read_frames -of csv=p=0 " +
                 dir + "/a.gif",
             status),
      "80,60,10\n");
}

// On a tiny window and few frames: every figure is there, in the table and in the JSON, which jq reads
// (valid JSON, one entry per size and mode), and the passes allocate nothing on the heap. The figures
// themselves are not judged.
TEST(Bench, ReportsEveryFigureAndNoHeapAllocationInThePasses) {
  const std::string json = std::string(LUMAROK_BINARY_DIR) + "/test-output/bench.json";
  int status = -1;
  const std::string out =
      output("rm -f " + json + "; " + LUMAROK_BINARY_DIR +
                 "/lumarok-bench --sizes 64x48,96x72 --frames 8 --warmup 4 --rounds 2 --json " + json,
             status);
  ASSERT_EQ(status, 0) << out;
  for (const char* text :
       {"64x48     off", "64x48     on", "96x72     floor", "full/floor", "start-up to first frame",
        "peak RSS", "samples (GL_SAMPLES", ", 0 of them in the passes"})
    EXPECT_NE(out.find(text), std::string::npos) << text << " missing from\n" << out;
  const std::string check = output(
      "jq -e '(.sizes | length) == 2 and all(.sizes[]; .full_to_floor > 0 and .peak_rss_kb > 0 and "
      ".startup_ms > 0 "
      "and (.modes | length) == 3 and all(.modes[]; .median_ms > 0 and .p99_ms > 0 and .shadow_ms > 0 and "
      ".offscreen_ms > 0 and .final_ms > 0 and .heap_allocations_in_passes == 0))' " +
          json + " 2>&1 || cat " + json,
      status);
  EXPECT_EQ(check, "true\n");
}

}  // namespace
