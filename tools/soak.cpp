// lumarok-soak: the demo's own start-up, frames and shutdown for a long run at a small size,
// sampling resident memory and frame time every so many frames. Nothing is created or freed per
// frame, so after the first frames resident memory must stay flat and frame time must not drift.
// Prints one line per sample and a summary; exit status 1 when memory grew past the bound. Where the
// run is goes to standard error as it runs.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/demo_app.h"
#include "command_line.h"
#include "demo_driving.h"
#include "progress.h"
#include "run_setup.h"

namespace {

const char* const kTool = "lumarok-soak";

struct SoakSettings {
  long frames = 100000;
  WindowSize size{160, 120};
  long every = 1000;    // frames per sample
  long warmup = 2000;   // frames before the memory baseline: driver caches fill in the first ones
  long boundKb = 1024;  // growth allowed after the warm-up
};

long residentKb() {
  long pages = 0, resident = 0;  // 0 when the file cannot be read
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

int parseArguments(int argc, char** argv, SoakSettings& s) {
  CLI::App app{
      "A long run of the demo's frames at a small size, sampling resident memory and frame time; "
      "fails when memory grows past the bound after the warm-up.",
      kTool};
  useOneLineErrors(app);
  app.option_defaults()->always_capture_default();
  app.add_option("--frames", s.frames, "frames to run")->check(kAtLeastOne)->capture_default_str();
  app.add_option("--size", s.size, "window size")->type_name("WxH")->capture_default_str();
  app.add_option("--every", s.every, "frames per sample")->check(kAtLeastOne)->capture_default_str();
  app.add_option("--warmup", s.warmup, "frames before the memory baseline")->check(kAtLeastZero);
  app.add_option("--bound-kb", s.boundKb, "growth allowed after the warm-up")->check(kAtLeastZero);
  CLI11_PARSE(app, argc, argv);
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  SoakSettings s;
  if (int status = parseArguments(argc, argv, s); status >= 0) return status;
  if (prepareRun(argc, argv, kTool, s.size).empty()) return 2;
  OptionMap options = windowOptions(s.size);
  DemoApp app;
  app.options = &options;
  QuietStdout quiet;
  quiet.begin();
  if (!app.init()) {
    quiet.end();
    std::printf("%s: start-up failed\n", kTool);
    return 2;
  }
  std::fprintf(quiet.out, "frame rss_kb frame_ms\n");
  long baselineKb = 0, peakKb = 0;
  std::vector<double> windowMs;
  long long windowStart = monotonicNs();
  Progress progress;
  progress.begin(stderr, windowStart);
  for (long frame = 1; frame <= s.frames && app.running; ++frame) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) app.handleEvent(event);
    app.drawFrame();
    long long now = monotonicNs();
    if (progress.due(now))
      progress.show(now, "soak: frame " + std::to_string(frame) + "/" + std::to_string(s.frames) + " at " +
                             std::to_string(s.size.width) + "x" + std::to_string(s.size.height) +
                             ", resident " + std::to_string(residentKb()) + " KB");
    if (frame % s.every != 0) continue;
    double ms = (now - windowStart) / 1e6 / s.every;
    windowStart = now;
    long rss = residentKb();
    if (frame >= s.warmup) {
      if (baselineKb == 0) baselineKb = rss;
      peakKb = std::max(peakKb, rss);
      windowMs.push_back(ms);
    }
    progress.clear();
    std::fprintf(quiet.out, "%ld %ld %.3f\n", frame, rss, ms);
    std::fflush(quiet.out);
  }
  progress.clear();
  app.shutdown();
  quiet.end();

  // Drift: the median frame time of the last fifth of the samples against the first fifth.
  const size_t fifth = std::min(std::max<size_t>(windowMs.size() / 5, 1), windowMs.size());
  const double early = median({windowMs.begin(), windowMs.begin() + fifth});
  const double late = median({windowMs.end() - fifth, windowMs.end()});
  long growth = peakKb - baselineKb;
  std::printf("soak: %ld frames at %dx%d\n", s.frames, s.size.width, s.size.height);
  std::printf("soak: resident %ld KB after %ld frames, peak %ld KB after it: growth %ld KB (bound %ld KB)\n",
              baselineKb, s.warmup, peakKb, growth, s.boundKb);
  std::printf("soak: frame time median %.3f ms early, %.3f ms late: ratio %.2f\n", early, late,
              early > 0 ? late / early : 0.0);
  bool flat = growth <= s.boundKb;
  std::printf("soak: %s\n", flat ? "memory flat" : "MEMORY GREW");
  return flat ? 0 : 1;
}
