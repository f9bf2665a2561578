// lumarok-capture: runs the demo's own start-up and frames in a window for a fixed number of frames,
// presses keys at exact frames through the demo's event handling, saves chosen frames as PNG and a
// range of frames as an animation, which ffmpeg encodes from raw frames sent down a pipe.
// Time in the demo is counted in frames, so the same command gives the same pictures.
#include <GL/glew.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/demo_app.h"
#include "command_line.h"
#include "demo_driving.h"
#include "png_image.h"
#include "progress.h"
#include "run_setup.h"

namespace fs = std::filesystem;

namespace {

const char* const kTool = "lumarok-capture";

struct CaptureSettings {
  WindowSize size{DemoApp::kDefaultWidth, DemoApp::kDefaultHeight};
  int frames = 1;
  std::vector<TimedKey> keys;
  std::vector<Shot> shots;
  Animation animation;  // none while first is 0
  int animationStep = 1;
  int animationWidth = 0;  // 0: the window's
  std::string outDir = "captures";
  bool verbose = false;
  bool singleSample = false;
};

// A CLI11 check that parses the option's text into `value` once, reporting the parser's message.
template <typename T>
CLI::Validator parsedInto(T& value, std::string (*parse)(const std::string&, T&)) {
  return CLI::Validator([&value, parse](std::string& text) { return parse(text, value); }, "");
}

int parseArguments(int argc, char** argv, CaptureSettings& s) {
  CLI::App app{
      "Runs the demo's frames in a window, presses keys at exact frames, saves pictures of chosen "
      "frames (PNG) and an animation of a frame range (encoded by ffmpeg).",
      kTool};
  useOneLineErrors(app);
  std::string keys, shots, animation;
  app.add_option("--size", s.size, "window size")->type_name("WxH")->capture_default_str();
  app.add_option("--frames", s.frames, "frames to run, at least up to the last shot or animation frame")
      ->check(kAtLeastOne);
  app.add_option("--keys", keys,
                 "keys pressed and released before frame F, e.g. 120:s,240:t,360:b,480:p "
                 "(a-z, 0-9, left, right, up, down, space, escape, return)")
      ->type_name("F:KEY,...")
      ->check(parsedInto(s.keys, parseKeyTimeline));
  app.add_option("--shots", shots, "frames to save, as DIR/NAME.png (default name frame-00060)")
      ->type_name("F[:NAME],...")
      ->check(parsedInto(s.shots, parseShots));
  app.add_option("--animation", animation,
                 "frames FROM to TO into DIR/FILE; the extension picks the format: .gif (a palette of its "
                 "own), .apng, .webm")
      ->type_name("FROM-TO:FILE")
      ->check(parsedInto(s.animation, parseAnimation));
  app.add_option("--animation-step", s.animationStep,
                 "every Nth frame of the range, shown at 100/N frames a second (the demo's own pace)")
      ->check(kAtLeastOne)
      ->capture_default_str();
  app.add_option("--animation-width", s.animationWidth, "width of the animation (default: the window's)")
      ->check(kAtLeastOne);
  app.add_option("--out", s.outDir, "output directory")->capture_default_str();
  app.add_flag("--single-sample", s.singleSample,
               "a window without multisampling, as drivers without it (softpipe) draw every frame");
  app.add_flag("--verbose", s.verbose, "keep the demo's own start-up lines on standard output");
  CLI11_PARSE(app, argc, argv);
  if (!s.shots.empty()) s.frames = std::max(s.frames, s.shots.back().frame);
  s.frames = std::max(s.frames, s.animation.last);
  return -1;
}

// Filled by the pass marker after every frame's last pass, before the swap: Mesa's software GLX
// keeps no front buffer to read after the swap (it reads black).
struct BackBufferGrab {
  bool wanted = false;
  RgbImage image;  // its size set before the first frame
};

void grabAfterLastPass(int pass, void* user) {
  auto* grab = static_cast<BackBufferGrab*>(user);
  if (pass != 3 || !grab->wanted) return;
  glReadBuffer(GL_BACK);
  grab->image = readGlPixels(grab->image.width, grab->image.height);
}

// ffmpeg reading raw RGB frames on its standard input. A GIF gets a palette made from its own
// frames (palettegen, with paletteuse redrawing only what changed): the fixed 256-colour palette
// bands the sky and the shadows. The demo advances 0.01 s a frame, so 100/step frames a second
// play the run at its own pace.
FILE* startEncoder(const CaptureSettings& s, int width, int height, const std::string& path) {
  const std::string extension = fs::path(path).extension().string();
  std::string filters =
      "scale=" + std::to_string(s.animationWidth > 0 ? s.animationWidth : width) + ":-2:flags=lanczos";
  if (extension == ".gif")
    filters +=
        ",split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse=dither=bayer:bayer_scale=4:"
        "diff_mode=rectangle";
  const std::string command = "ffmpeg -loglevel error -y -f rawvideo -pix_fmt rgb24 -video_size " +
                              std::to_string(width) + "x" + std::to_string(height) + " -framerate 100/" +
                              std::to_string(s.animationStep) + " -i pipe:0 -filter_complex '" + filters +
                              "'" + (extension == ".apng" ? " -plays 0 " : " ") + shellQuoted(path);
  return popen(command.c_str(), "w");
}

// Takes what the window system queued; only a close request matters, keys come from the timeline.
bool windowClosed() {
  bool closed = false;
  SDL_Event event;
  while (SDL_PollEvent(&event)) closed = closed || event.type == SDL_QUIT;
  return closed;
}

// Every error GL has recorded since the last call, by name ("GL_INVALID_ENUM, GL_INVALID_OPERATION"),
// emptying GL's error flags; "" when there were none.
std::string takeGlErrors() {
  // GL's error codes, from 0x0500 on in this order.
  static const char* const kNames[] = {"GL_INVALID_ENUM",
                                       "GL_INVALID_VALUE",
                                       "GL_INVALID_OPERATION",
                                       "GL_STACK_OVERFLOW",
                                       "GL_STACK_UNDERFLOW",
                                       "GL_OUT_OF_MEMORY",
                                       "GL_INVALID_FRAMEBUFFER_OPERATION"};
  std::string names;
  // Bounded: a context that is gone reports an error on every call.
  for (int i = 0; i < 16; ++i) {
    const GLenum error = glGetError(), index = error - GL_INVALID_ENUM;
    if (error == GL_NO_ERROR) break;
    names += (names.empty() ? "" : ", ") +
             (index < 7 ? std::string(kNames[index]) : "GL error " + std::to_string(error));
  }
  return names;
}

int runCapture(const CaptureSettings& s, FILE* out) {
  Progress progress;
  progress.begin(stderr, monotonicNs());
  const auto fail = [&](const std::string& what) {
    progress.clear();
    std::fprintf(stderr, "%s: %s\n", kTool, what.c_str());
    return 1;
  };
  DemoApp app;
  OptionMap options = windowOptions(s.size);
  app.options = &options;
  app.multisample = !s.singleSample;
  if (!app.init()) return fail("the demo did not start (no window)");
  BackBufferGrab grab{false, {app.windowWidth, app.windowHeight, {}}};
  app.passMarker = grabAfterLastPass;
  app.passMarkerUser = &grab;
  const Animation& animation = s.animation;
  const std::string animationPath = (fs::path(s.outDir) / animation.file).string();
  FILE* encoder = nullptr;
  size_t nextKey = 0, nextShot = 0;
  // Every run is checked for GL errors: one at start-up or in a frame fails it, named.
  int status = 0;
  if (const std::string errors = takeGlErrors(); !errors.empty()) status = fail(errors + " at start-up");
  for (int frame = 1; frame <= s.frames && status == 0; ++frame) {
    if (windowClosed()) {
      status = fail("window closed before frame " + std::to_string(frame));
      break;
    }
    for (; nextKey < s.keys.size() && s.keys[nextKey].frame == frame; ++nextKey)
      pressKey(app, s.keys[nextKey].key);
    const bool animated = frame >= animation.first && frame <= animation.last &&
                          (frame - animation.first) % s.animationStep == 0;
    grab.wanted = animated || (nextShot < s.shots.size() && s.shots[nextShot].frame == frame);
    app.drawFrame();
    if (const std::string errors = takeGlErrors(); !errors.empty()) {
      status = fail(errors + " in frame " + std::to_string(frame));
      break;
    }
    if (const long long now = monotonicNs(); progress.due(now))
      progress.show(now,
                    std::string(kTool) + ": frame " + std::to_string(frame) + "/" + std::to_string(s.frames));
    if (!grab.wanted) continue;
    for (; nextShot < s.shots.size() && s.shots[nextShot].frame == frame; ++nextShot) {
      const std::string path = (fs::path(s.outDir) / (s.shots[nextShot].name + ".png")).string();
      if (!writePng(path, grab.image)) {
        status = fail("could not write " + path);
        break;
      }
      progress.clear();
      std::fprintf(out, "wrote %s (frame %d)\n", path.c_str(), frame);
    }
    if (!animated || status != 0) continue;
    if (encoder == nullptr) encoder = startEncoder(s, grab.image.width, grab.image.height, animationPath);
    if (encoder == nullptr ||
        std::fwrite(grab.image.pixels.data(), grab.image.pixels.size(), 1, encoder) != 1)
      status = fail("ffmpeg took no frames for " + animationPath);
  }
  progress.clear();
  if (encoder != nullptr) {
    if (pclose(encoder) != 0 && status == 0) status = fail("ffmpeg could not encode " + animationPath);
    std::error_code error;
    if (status != 0) fs::remove(animationPath, error);  // no half animation left behind
    if (status == 0)
      std::fprintf(out, "wrote %s (%d frames from %d to %d)\n", animationPath.c_str(),
                   (animation.last - animation.first) / s.animationStep + 1, animation.first, animation.last);
  }
  app.shutdown();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  CaptureSettings settings;
  if (int status = parseArguments(argc, argv, settings); status >= 0) return status;
  if (settings.animation.first > 0 && std::system("command -v ffmpeg >/dev/null") != 0) {
    std::fprintf(stderr, "%s: --animation needs ffmpeg (scripts/setup.sh installs it)\n", kTool);
    return 1;
  }
  std::error_code error;
  settings.outDir = fs::absolute(settings.outDir, error).string();
  if (prepareRun(argc, argv, kTool, settings.size).empty()) return 1;
  if (fs::create_directories(settings.outDir, error), !fs::is_directory(settings.outDir, error)) {
    std::fprintf(stderr, "%s: cannot create %s\n", kTool, settings.outDir.c_str());
    return 1;
  }
  QuietStdout quiet;
  if (!settings.verbose) quiet.begin();
  int status = runCapture(settings, quiet.out);
  if (status == 0)
    std::fprintf(quiet.out, "%s: %d frames at %dx%d, %zu pictures%s in %s\n", kTool, settings.frames,
                 settings.size.width, settings.size.height, settings.shots.size(),
                 settings.animation.first > 0 ? " and an animation" : "", settings.outDir.c_str());
  quiet.end(status != 0);
  return status;
}
