// lumarok-soak: the demo's own start-up, frames and shutdown for a long run at a small size,
// sampling resident memory and frame time every so many frames. Nothing is created or freed per
// frame, so after the first frames resident memory must stay flat and frame time must not drift.
// Prints one line per sample and a summary; exit status 1 when memory grew past the bound.
#include <GL/glew.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/demo_app.h"
#include "tool_support.h"

namespace {

struct SoakSettings {
  long frames = 100000;
  int width = 160, height = 120;
  long every = 1000;    // frames per sample
  long warmup = 2000;   // frames before the memory baseline: driver caches fill in the first ones
  long boundKb = 1024;  // growth allowed after the warm-up
};

long residentKb() {
  FILE* statm = std::fopen("/proc/self/statm", "r");
  long pages = 0, resident = 0;
  if (statm != nullptr) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool parseArguments(int argc, char** argv, SoakSettings& s) {
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string arg = argv[i], value = argv[i + 1];
    long number = std::atol(value.c_str());
    if (arg == "--frames" && number > 0)
      s.frames = number;
    else if (arg == "--every" && number > 0)
      s.every = number;
    else if (arg == "--warmup" && number >= 0)
      s.warmup = number;
    else if (arg == "--bound-kb" && number >= 0)
      s.boundKb = number;
    else if (arg == "--size" && parseSize(value, s.width, s.height))
      continue;
    else
      return false;
  }
  return argc % 2 == 1;
}

}  // namespace

int main(int argc, char** argv) {
  SoakSettings s;
  if (!parseArguments(argc, argv, s)) {
    std::printf(
        "usage: lumarok-soak [--frames N] [--size WxH] [--every N] [--warmup N] [--bound-kb N]\n"
        "  defaults: 100000 frames at 160x120, a sample every 1000 frames, memory baseline after 2000,\n"
        "  at most 1024 KB of growth after it\n");
    return 2;
  }
  setenv("SDL_AUDIODRIVER", "dummy", 0);  // as the demo itself: no sound card wanted
  ensureDisplay(argc, argv, "lumarok-soak", s.width, s.height);
  if (!enterRunDirectory()) {
    std::printf("lumarok-soak: no shaders/ beside the binary or in the working directory\n");
    return 2;
  }
  OptionMap options = windowOptions(s.width, s.height);
  DemoApp app;
  app.options = &options;
  QuietStdout quiet;
  quiet.begin();
  if (!app.init()) {
    quiet.end();
    std::printf("lumarok-soak: start-up failed\n");
    return 2;
  }
  std::fprintf(quiet.out, "frame rss_kb frame_ms\n");
  long baselineKb = 0, peakKb = 0;
  std::vector<double> windowMs;
  long long windowStart = monotonicNs();
  for (long frame = 1; frame <= s.frames && app.running; ++frame) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) app.handleEvent(event);
    app.drawFrame();
    if (frame % s.every != 0) continue;
    long long now = monotonicNs();
    double ms = (now - windowStart) / 1e6 / s.every;
    windowStart = now;
    long rss = residentKb();
    if (frame >= s.warmup) {
      if (baselineKb == 0) baselineKb = rss;
      peakKb = std::max(peakKb, rss);
      windowMs.push_back(ms);
    }
    std::fprintf(quiet.out, "%ld %ld %.3f\n", frame, rss, ms);
    std::fflush(quiet.out);
  }
  app.shutdown();
  quiet.end();

  // Drift: the median frame time of the last fifth of the samples against the first fifth.
  size_t fifth = std::max<size_t>(windowMs.size() / 5, 1);
  double early =
      median(std::vector<double>(windowMs.begin(), windowMs.begin() + std::min(fifth, windowMs.size())));
  double late =
      median(std::vector<double>(windowMs.end() - std::min(fifth, windowMs.size()), windowMs.end()));
  long growth = peakKb - baselineKb;
  std::printf("soak: %ld frames at %dx%d\n", s.frames, s.width, s.height);
  std::printf("soak: resident %ld KB after %ld frames, peak %ld KB after it: growth %ld KB (bound %ld KB)\n",
              baselineKb, s.warmup, peakKb, growth, s.boundKb);
  std::printf("soak: frame time median %.3f ms early, %.3f ms late: ratio %.2f\n", early, late,
              early > 0 ? late / early : 0.0);
  bool flat = growth <= s.boundKb;
  std::printf("soak: %s\n", flat ? "memory flat" : "MEMORY GREW");
  return flat ? 0 : 1;
}
