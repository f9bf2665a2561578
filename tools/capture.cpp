// lumarok-capture: runs the demo's own start-up and frames in a window for a fixed number of frames,
// presses keys at exact frames through the demo's event handling, and saves chosen frames as PNG.
// Time in the demo is counted in frames, so the same command gives the same pictures.
#include <GL/glew.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/demo_app.h"
#include "png_image.h"
#include "tool_support.h"

namespace {

const char* const kTool = "lumarok-capture";

void printUsage(FILE* out) {
  std::fprintf(out,
               "usage: %s [--size WxH] [--frames N] [--keys F:KEY,...] [--shots F[:NAME],...] [--out DIR]\n"
               "       [--verbose]\n"
               "  --size    window size (default 1024x768)\n"
               "  --frames  frames to run (default: the last shot)\n"
               "  --keys    keys pressed and released before frame F, e.g. 120:s,240:t,360:b,480:p\n"
               "            (a-z, 0-9, left, right, up, down, space, escape, return)\n"
               "  --shots   frames to save, as DIR/NAME.png (default name frame-00060)\n"
               "  --out     output directory (default captures)\n"
               "  --verbose keep the demo's own start-up lines on standard output\n",
               kTool);
}

struct CaptureSettings {
  int width = DemoApp::kDefaultWidth;
  int height = DemoApp::kDefaultHeight;
  int frames = 0;
  std::vector<TimedKey> keys;
  std::vector<Shot> shots;
  std::string outDir = "captures";
  bool verbose = false;
};

// False (after printing why) on a malformed command line.
bool parseArguments(int argc, char** argv, CaptureSettings& settings) {
  std::string error;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--verbose") {
      settings.verbose = true;
      continue;
    }
    if (arg == "--help") {
      printUsage(stdout);
      std::exit(0);
    }
    if (i + 1 >= argc) {
      error = arg.rfind("--", 0) == 0 ? arg + " needs a value" : "unexpected argument " + arg;
      break;
    }
    std::string value = argv[++i];
    if (arg == "--size") {
      if (!parseSize(value, settings.width, settings.height)) error = "bad size '" + value + "' (want WxH)";
    } else if (arg == "--frames") {
      settings.frames = std::atoi(value.c_str());
      if (settings.frames < 1 || value.find_first_not_of("0123456789") != std::string::npos)
        error = "bad frame count '" + value + "'";
    } else if (arg == "--keys") {
      parseKeyTimeline(value, settings.keys, error);
    } else if (arg == "--shots") {
      parseShots(value, settings.shots, error);
    } else if (arg == "--out") {
      settings.outDir = value;
    } else {
      error = "unknown option " + arg;
    }
    if (!error.empty()) break;
  }
  if (error.empty() && settings.frames == 0)
    settings.frames = settings.shots.empty() ? 1 : settings.shots.back().frame;
  if (error.empty() && !settings.shots.empty() && settings.shots.back().frame > settings.frames)
    error = "shot at frame " + std::to_string(settings.shots.back().frame) + " lies past the last frame " +
            std::to_string(settings.frames);
  if (error.empty()) return true;
  std::fprintf(stderr, "%s: %s\n", kTool, error.c_str());
  printUsage(stderr);
  return false;
}

// Filled by the pass marker after the frame's last pass, before the swap. The back buffer is read
// there because Mesa's software GLX keeps no front buffer to read after the swap (it reads black).
struct BackBufferGrab {
  bool wanted = false;
  bool taken = false;
  int width = 0;
  int height = 0;
  RgbImage image;
};

void grabAfterLastPass(int pass, void* user) {
  auto* grab = static_cast<BackBufferGrab*>(user);
  if (pass != 3 || !grab->wanted) return;
  glReadBuffer(GL_BACK);
  grab->image = readGlPixels(grab->width, grab->height);
  grab->taken = true;
}

// Takes what the window system queued; only a close request matters, keys come from the timeline.
bool windowClosed() {
  bool closed = false;
  SDL_Event event;
  while (SDL_PollEvent(&event))
    if (event.type == SDL_QUIT) closed = true;
  return closed;
}

int runCapture(const CaptureSettings& settings, FILE* out) {
  DemoApp app;
  OptionMap options = windowOptions(settings.width, settings.height);
  app.options = &options;
  if (!app.init()) {
    std::fprintf(stderr, "%s: the demo did not start (no window)\n", kTool);
    return 1;
  }
  BackBufferGrab grab;
  grab.width = app.windowWidth;
  grab.height = app.windowHeight;
  app.passMarker = grabAfterLastPass;
  app.passMarkerUser = &grab;
  size_t nextKey = 0, nextShot = 0;
  int status = 0;
  for (int frame = 1; frame <= settings.frames && status == 0; ++frame) {
    if (windowClosed()) {
      std::fprintf(stderr, "%s: window closed before frame %d\n", kTool, frame);
      status = 1;
      break;
    }
    for (; nextKey < settings.keys.size() && settings.keys[nextKey].frame == frame; ++nextKey)
      pressKey(app, settings.keys[nextKey].key);
    grab.wanted = nextShot < settings.shots.size() && settings.shots[nextShot].frame == frame;
    grab.taken = false;
    app.drawFrame();
    if (!grab.wanted) continue;
    if (!grab.taken) {
      std::fprintf(stderr, "%s: the frame never reported its last pass; nothing to read\n", kTool);
      status = 1;
      break;
    }
    for (; nextShot < settings.shots.size() && settings.shots[nextShot].frame == frame; ++nextShot) {
      std::string path = settings.outDir + "/" + settings.shots[nextShot].name + ".png";
      if (!writePng(path, grab.image)) {
        std::fprintf(stderr, "%s: could not write %s\n", kTool, path.c_str());
        status = 1;
        break;
      }
      std::fprintf(out, "wrote %s (frame %d)\n", path.c_str(), frame);
    }
  }
  app.shutdown();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  CaptureSettings settings;
  if (!parseArguments(argc, argv, settings)) return 2;
  ensureDisplay(argc, argv, kTool, settings.width, settings.height);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  settings.outDir = absolutePath(settings.outDir);
  if (!makeDirectories(settings.outDir)) {
    std::fprintf(stderr, "%s: cannot create %s\n", kTool, settings.outDir.c_str());
    return 1;
  }
  if (!enterRunDirectory()) {
    std::fprintf(stderr, "%s: no shaders/ beside the binary (it runs from the build directory)\n", kTool);
    return 1;
  }
  QuietStdout quiet;
  if (!settings.verbose) quiet.begin();
  int status = runCapture(settings, quiet.out);
  if (status != 0) quiet.replay(stderr);
  if (status == 0)
    std::fprintf(quiet.out, "%s: %d frames at %dx%d, %zu pictures in %s\n", kTool, settings.frames,
                 settings.width, settings.height, settings.shots.size(), settings.outDir.c_str());
  quiet.end();
  return status;
}
