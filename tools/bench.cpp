// lumarok-bench: frame times of the demo's own start-up and frame at several window sizes, with the
// effects off and on, per-pass GL timer queries, the CPU work outside GL, start-up time, peak memory
// and heap allocations per frame; and the floor, the same passes drawn with a trivial shader.
// Each size runs in a fresh process (this binary again), so start-up and peak memory are its own; it
// hands its figures back as JSON, which is also what --json writes.
#include <GL/glew.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/demo_app.h"
#include "command_line.h"
#include "demo_driving.h"
#include "physics/physics.h"
#include "progress.h"
#include "run_setup.h"

namespace fs = std::filesystem;

// Heap allocations through operator new on the thread that counts (the main thread, while frames
// run). Replacing the global operator reaches every C++ allocation of the process, the driver's too.
namespace {
thread_local bool tCountAllocations = false;
std::atomic<long long> gAllocations{0};
}  // namespace

void* operator new(size_t size) {
  if (tCountAllocations) gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  if (tCountAllocations) gAllocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}
// Memory from the replaced operator new comes from malloc, so free is the matching release; GCC
// cannot see the pairing once it inlines the replacements into their callers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
#pragma GCC diagnostic pop
void operator delete(void* p, size_t) noexcept { ::operator delete(p); }
// The array forms stay the library's, which call the ones above (under AddressSanitizer, its own
// array forms pair with each other instead, uncounted).

namespace {

const char* const kTool = "lumarok-bench";
// Warm-up frames when a mode comes round again; its shader variants exist by then.
constexpr int kRoundWarmup = 10;

// Ordered, so the modes keep the order they were asked in.
using Json = nlohmann::ordered_json;

struct BenchSettings {
  std::vector<WindowSize> sizes = {{320, 240}, {800, 600}, {1024, 768}};
  std::vector<std::string> modes = {"off", "on", "floor"};
  int frames = 300;
  int warmup = 60;
  int rounds = 3;
  std::string jsonPath;
  // Child side: one size, its figures as JSON on standard output.
  WindowSize childSize;
  long long spawnNs = 0, startNs = 0;
};

// Which effects a mode switches on, and whether it draws with the floor program.
struct ModeSpec {
  const char* name;
  bool shadows, reflection, blur, floor;
};
const ModeSpec kModes[] = {
    {"off", false, false, false, false},    {"on", true, true, true, false},
    {"shadows", true, false, false, false}, {"reflection", false, true, false, false},
    {"blur", false, false, true, false},    {"floor", true, true, true, true},
};

const ModeSpec& findMode(const std::string& name) {
  for (const ModeSpec& mode : kModes)
    if (name == mode.name) return mode;
  return kModes[0];  // not reached: the command line admits only the names above
}

int parseArguments(int argc, char** argv, BenchSettings& s) {
  CLI::App app{
      "Frame times of the demo's own frames at several window sizes, with the effects off and on, "
      "per-pass GPU times, CPU time, start-up time, peak memory, heap allocations, and the floor.",
      kTool};
  useOneLineErrors(app);
  app.option_defaults()->always_capture_default();
  std::vector<std::string> modeNames;
  for (const ModeSpec& mode : kModes) modeNames.push_back(mode.name);
  app.add_option("--sizes", s.sizes, "window sizes")->delimiter(',')->type_name("WxH,...");
  app.add_option("--modes", s.modes,
                 "off, on (shadows, reflection and blur), shadows, reflection, blur, floor (the same passes "
                 "with a transform-only, constant-colour shader)")
      ->delimiter(',')
      ->check(CLI::IsMember(modeNames));
  app.add_option("--frames", s.frames, "measured frames per mode, after the warm-up frames")
      ->check(kAtLeastOne);
  app.add_option("--warmup", s.warmup, "warm-up frames")->check(kAtLeastZero);
  app.add_option("--rounds", s.rounds, "the modes take turns this many times, sharing the frames")
      ->check(kAtLeastOne);
  app.add_option("--json", s.jsonPath, "also write the figures as JSON");
  // The parent runs this binary again for each size with these.
  app.add_option("--child-size", s.childSize)->group("");
  app.add_option("--child-spawned", s.spawnNs)->group("");
  app.add_option("--child-started", s.startNs)->group("");
  CLI11_PARSE(app, argc, argv);
  return -1;
}

// ---- one size, in the child process ----

// Samples of one mode, gathered over several rounds.
struct ModeSamples {
  std::vector<double> frameMs;
  long long elapsedNs = 0;
  double passSums[3] = {};
  int passFrames = 0;
  double cpuSumUs = 0;
  long long allocations = 0, passAllocations = 0;
};

// GL_TIME_ELAPSED queries around the three passes, in two sets so that a frame's results are read
// after the next frame, when the driver has long finished them.
struct PassTimer {
  GLuint queries[2][3] = {};
  int set = 0;
  bool pending[2] = {false, false};
  long long firstPassNs = 0;
  long long passAllocations = 0;  // heap allocations between the first pass and the end of the last

  void create() { glGenQueries(6, &queries[0][0]); }
  void destroy() { glDeleteQueries(6, &queries[0][0]); }
  // Adds the milliseconds of each pass of the set to `samples`, when it holds a finished frame.
  void collect(int which, ModeSamples& samples) {
    if (!pending[which]) return;
    for (int pass = 0; pass < 3; ++pass) {
      GLuint64 ns = 0;
      glGetQueryObjectui64v(queries[which][pass], GL_QUERY_RESULT, &ns);
      samples.passSums[pass] += static_cast<double>(ns) / 1e6;
    }
    ++samples.passFrames;
    pending[which] = false;
  }
};

void markPass(int pass, void* user) {
  auto* timer = static_cast<PassTimer*>(user);
  if (pass == 0) timer->firstPassNs = monotonicNs();
  if (pass == 0) timer->passAllocations -= gAllocations.load();
  if (pass == 3) timer->passAllocations += gAllocations.load();
  if (pass > 0) glEndQuery(GL_TIME_ELAPSED);
  if (pass < 3) glBeginQuery(GL_TIME_ELAPSED, timer->queries[timer->set][pass]);
  if (pass == 3) timer->pending[timer->set] = true;
}

// Swaps the demo's program for the floor program (and back) in place: the frame then draws the same
// passes, targets and meshes with it. The meshes keep their mMatrix location, so it moves too.
void swapPrograms(DemoApp& app, ShaderProgram& other) {
  std::swap(app.program, other);
  glUseProgram(app.program.shaderProgram);
  for (Mesh* mesh :
       {app.groundMesh.get(), app.leftCubeMesh.get(), app.rightCubeMesh.get(), app.sphereMesh.get()})
    mesh->modelMatrixLocation = app.program.locations.mMatrix;
}

// One round of a mode: switches set through the keys, warm-up frames (the driver builds its shader
// variants for the new state), then `frames` measured frames. `where` names the round for the
// progress line.
void measureRound(DemoApp& app, const ModeSpec& mode, int frames, int warmup, PassTimer& timer,
                  ModeSamples& samples, Progress& progress, const std::string& where) {
  setSwitches(app, mode.shadows, mode.reflection, mode.blur);
  for (int i = 0; i < warmup; ++i) {
    app.drawFrame();
    if (const long long now = monotonicNs(); progress.due(now))
      progress.show(now, where + ", warm-up frame " + std::to_string(i + 1));
  }
  glFinish();
  timer.pending[0] = timer.pending[1] = false;
  timer.passAllocations = 0;
  const long long allocationsBefore = gAllocations.load(), startNs = monotonicNs();
  for (int i = 0; i < frames; ++i) {
    timer.set = i % 2;
    const long long frameStart = monotonicNs();
    tCountAllocations = true;
    app.drawFrame();
    tCountAllocations = false;
    const long long frameEnd = monotonicNs();
    samples.frameMs.push_back(static_cast<double>(frameEnd - frameStart) / 1e6);
    samples.cpuSumUs += static_cast<double>(timer.firstPassNs - frameStart) / 1e3;
    timer.collect(1 - timer.set, samples);
    if (progress.due(frameEnd))
      progress.show(frameEnd, where + ", frame " + std::to_string(i + 1) + "/" + std::to_string(frames));
  }
  timer.collect(timer.set, samples);
  samples.elapsedNs += monotonicNs() - startNs;
  samples.allocations += gAllocations.load() - allocationsBefore;
  samples.passAllocations += timer.passAllocations;
}

Json summarise(ModeSamples& samples) {
  std::vector<double>& ms = samples.frameMs;  // never empty: every mode draws at least one frame
  std::sort(ms.begin(), ms.end());
  // The nearest-rank rule: the smallest sample with at least the fraction `p` of them at or below it.
  const auto percentile = [&ms](double p) {
    return ms[static_cast<size_t>(std::max(std::ceil(p * ms.size()), 1.0)) - 1];
  };
  const double frames = static_cast<double>(ms.size());
  Json mode = {{"fps", frames / (static_cast<double>(samples.elapsedNs) / 1e9)},
               {"median_ms", percentile(0.50)},
               {"p95_ms", percentile(0.95)},
               {"p99_ms", percentile(0.99)}};
  const char* const passNames[3] = {"shadow_ms", "offscreen_ms", "final_ms"};
  for (int p = 0; p < 3; ++p)
    mode[passNames[p]] = samples.passFrames > 0 ? samples.passSums[p] / samples.passFrames : 0;
  mode["cpu_before_passes_us"] = samples.cpuSumUs / frames;
  mode["heap_allocations"] = samples.allocations;
  mode["heap_allocations_in_passes"] = samples.passAllocations;
  return mode;
}

// The non-GL work of a frame, each function timed on its own: microseconds per call as "cpu_us",
// and allocations per call counted the same way, to tell whose they are.
void measureCpuWork(DemoApp& app, int calls, Json& size) {
  long long ns[3] = {}, allocations[3] = {};
  for (int i = 0; i < calls; ++i) {
    tCountAllocations = true;
    long long a0 = gAllocations.load(), t0 = monotonicNs();
    stepPhysics();
    long long a1 = gAllocations.load(), t1 = monotonicNs();
    app.updateSceneState();
    long long a2 = gAllocations.load(), t2 = monotonicNs();
    app.scene.updateViewMatrices();
    long long a3 = gAllocations.load(), t3 = monotonicNs();
    tCountAllocations = false;
    ns[0] += t1 - t0, ns[1] += t2 - t1, ns[2] += t3 - t2;
    allocations[0] += a1 - a0, allocations[1] += a2 - a1, allocations[2] += a3 - a2;
  }
  const char* const names[3] = {"physics", "scene", "matrices"};
  for (int f = 0; f < 3; ++f) {
    size["cpu_us"][names[f]] = ns[f] / 1e3 / calls;
    size["heap_allocations_per_call"][names[f]] = static_cast<double>(allocations[f]) / calls;
  }
}

int runOneSize(const BenchSettings& settings) {
  const long long mainNs = monotonicNs();
  const WindowSize windowSize = settings.childSize;
  Progress progress;
  progress.begin(stderr, settings.startNs);  // the whole run's time, not this size's
  QuietStdout quiet;
  quiet.begin();
  DemoApp app;
  OptionMap options = windowOptions(windowSize);
  app.options = &options;
  if (!app.init()) {
    quiet.end(true);
    std::fprintf(stderr, "%s: the demo did not start at %dx%d\n", kTool, windowSize.width, windowSize.height);
    return 1;
  }
  app.drawFrame();
  glFinish();
  long long firstFrameNs = monotonicNs();

  GLint samples = 0, sampleBuffers = 0;
  glGetIntegerv(GL_SAMPLES, &samples);
  glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
  // Copied now: the driver's string dies with the context at shutdown.
  const char* rendererName = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  Json size = {{"width", windowSize.width},
               {"height", windowSize.height},
               {"gl_samples", samples},
               {"gl_sample_buffers", sampleBuffers},
               {"startup_ms", (firstFrameNs - settings.spawnNs) / 1e6},
               {"startup_in_process_ms", (firstFrameNs - mainNs) / 1e6},
               {"renderer", rendererName != nullptr ? rendererName : "unknown"}};

  ShaderProgram floor;
  floor.load("shaders/floorVertex.txt", "shaders/floorFragment.txt");
  floor.queryLocations();
  glUseProgram(app.program.shaderProgram);

  PassTimer timer;
  timer.create();
  app.passMarker = markPass;
  app.passMarkerUser = &timer;
  // The modes take turns in rounds, so a change in the machine's load during the run touches all
  // of them alike and the ratios stay fair. The first round warms up fully, later ones briefly.
  std::vector<ModeSamples> gathered(settings.modes.size());
  for (int round = 0; round < settings.rounds; ++round) {
    int frames = settings.frames / settings.rounds + (round < settings.frames % settings.rounds ? 1 : 0);
    int warmup = round == 0 ? settings.warmup : std::min(settings.warmup, kRoundWarmup);
    for (size_t m = 0; m < settings.modes.size(); ++m) {
      const ModeSpec& mode = findMode(settings.modes[m]);
      std::ostringstream where;
      where << kTool << ": " << windowSize << " " << mode.name << ", round " << round + 1 << "/"
            << settings.rounds;
      if (mode.floor) swapPrograms(app, floor);
      measureRound(app, mode, frames, warmup, timer, gathered[m], progress, where.str());
      if (mode.floor) swapPrograms(app, floor);
    }
  }
  Json modes = Json::object();
  for (size_t m = 0; m < settings.modes.size(); ++m) modes[settings.modes[m]] = summarise(gathered[m]);
  app.passMarker = nullptr;
  timer.destroy();
  floor.destroy();
  measureCpuWork(app, 1000, size);
  if (modes.contains("on") && modes.contains("floor") && modes["floor"]["median_ms"] > 0)
    size["full_to_floor"] =
        modes["on"]["median_ms"].get<double>() / modes["floor"]["median_ms"].get<double>();
  size["modes"] = modes;
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  size["peak_rss_kb"] = usage.ru_maxrss;
  app.shutdown();
  quiet.end();
  progress.clear();
  std::printf("%s\n", size.dump().c_str());
  return std::ferror(stdout) ? 1 : 0;
}

// ---- the parent: one child per size, then the table ----

// Runs this binary again for one size and reads back its figures; a discarded value on failure.
Json runChild(const std::string& self, const BenchSettings& settings, WindowSize size) {
  std::ostringstream command;
  command << shellQuoted(self) << " --modes " << CLI::detail::join(settings.modes) << " --frames "
          << settings.frames << " --warmup " << settings.warmup << " --rounds " << settings.rounds
          << " --child-size " << size << " --child-started " << settings.startNs << " --child-spawned "
          << monotonicNs();
  std::fflush(stdout);
  FILE* pipe = popen(command.str().c_str(), "r");
  if (pipe == nullptr) return Json(Json::value_t::discarded);
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  if (pclose(pipe) != 0) return Json(Json::value_t::discarded);
  return Json::parse(text, nullptr, false);
}

std::string sizeLabel(const Json& size) {
  return std::to_string(size.value("width", 0)) + "x" + std::to_string(size.value("height", 0));
}

void printTable(const BenchSettings& settings, const Json& run) {
  std::printf("%s: %d frames per mode in %d rounds, after %d warm-up frames; renderer %s\n", kTool,
              settings.frames, settings.rounds, settings.warmup, run.value("renderer", "").c_str());
  std::printf("%-9s %-10s %7s %8s %8s %8s %9s %9s %9s %10s %7s\n", "size", "mode", "fps", "median", "p95",
              "p99", "shadow", "offscreen", "final", "cpu-before", "allocs");
  std::printf("%-9s %-10s %7s %8s %8s %8s %9s %9s %9s %10s %7s\n", "", "", "", "ms", "ms", "ms", "ms", "ms",
              "ms", "passes us", "");
  long long allocations = 0, passAllocations = 0, frames = 0;
  for (const Json& size : run["sizes"])
    for (const auto& [name, m] : size["modes"].items()) {
      std::printf("%-9s %-10s %7.1f %8.2f %8.2f %8.2f %9.2f %9.2f %9.2f %10.1f %7lld\n",
                  sizeLabel(size).c_str(), name.c_str(), m.value("fps", 0.0), m.value("median_ms", 0.0),
                  m.value("p95_ms", 0.0), m.value("p99_ms", 0.0), m.value("shadow_ms", 0.0),
                  m.value("offscreen_ms", 0.0), m.value("final_ms", 0.0),
                  m.value("cpu_before_passes_us", 0.0), m.value("heap_allocations", 0LL));
      allocations += m.value("heap_allocations", 0LL);
      passAllocations += m.value("heap_allocations_in_passes", 0LL);
      frames += settings.frames;
    }
  std::printf("\n");
  for (const Json& size : run["sizes"]) {
    const Json& cpu = size["cpu_us"];
    const double cpuUs = cpu.value("physics", 0.0) + cpu.value("scene", 0.0) + cpu.value("matrices", 0.0);
    std::printf("%-9s window %d samples (GL_SAMPLES; sample buffers %d)", sizeLabel(size).c_str(),
                size.value("gl_samples", 0), size.value("gl_sample_buffers", 0));
    if (size.contains("full_to_floor"))
      std::printf(", full/floor %.2f (median frame)", size.value("full_to_floor", 0.0));
    std::printf("\n%-9s start-up to first frame %.0f ms (%.0f ms of it after main), peak RSS %.1f MiB\n", "",
                size.value("startup_ms", 0.0), size.value("startup_in_process_ms", 0.0),
                size.value("peak_rss_kb", 0.0) / 1024.0);
    std::printf("%-9s own CPU work per frame %.1f us (physics %.1f, scene %.1f, matrices %.1f)", "", cpuUs,
                cpu.value("physics", 0.0), cpu.value("scene", 0.0), cpu.value("matrices", 0.0));
    const double onMs = size["modes"].contains("on") ? size["modes"]["on"].value("median_ms", 0.0) : 0.0;
    if (onMs > 0) std::printf(" = %.3f%% of the full frame", cpuUs / 10.0 / onMs);
    std::printf("\n");
  }
  std::printf(
      "heap allocations (operator new, main thread) in %lld measured frames: %lld, %lld of them in the "
      "passes\n",
      frames, allocations, passAllocations);
  const Json& perCall = run["sizes"][0]["heap_allocations_per_call"];
  std::printf("allocations per call: stepPhysics %.2f, updateSceneState %.2f, updateViewMatrices %.2f\n",
              perCall.value("physics", 0.0), perCall.value("scene", 0.0), perCall.value("matrices", 0.0));
}

}  // namespace

int main(int argc, char** argv) {
  BenchSettings settings;
  if (int status = parseArguments(argc, argv, settings); status >= 0) return status;
  // A child inherits the parent's set-up: display, working directory, environment.
  if (settings.childSize.width > 0) return runOneSize(settings);

  settings.startNs = monotonicNs();
  WindowSize largest{1, 1};
  for (const WindowSize& size : settings.sizes)
    largest = {std::max(largest.width, size.width), std::max(largest.height, size.height)};
  std::error_code error;
  if (!settings.jsonPath.empty()) settings.jsonPath = fs::absolute(settings.jsonPath, error).string();
  const std::string self = prepareRun(argc, argv, kTool, largest);
  if (self.empty()) return 1;
  Json run = {{"frames", settings.frames},
              {"rounds", settings.rounds},
              {"warmup", settings.warmup},
              {"renderer", ""},
              {"cores", std::thread::hardware_concurrency()},
              {"sizes", Json::array()}};
  for (const WindowSize& size : settings.sizes) {
    Json result = runChild(self, settings, size);
    if (!result.is_object()) {  // discarded when the child failed
      std::fprintf(stderr, "%s: the run at %dx%d failed\n", kTool, size.width, size.height);
      return 1;
    }
    if (run["renderer"] == "") run["renderer"] = result["renderer"];
    result.erase("renderer");
    run["sizes"].push_back(result);
  }
  printTable(settings, run);
  if (!settings.jsonPath.empty()) {
    std::ofstream out(settings.jsonPath);
    out << run.dump(2) << "\n";
    if (!out.good()) {
      std::fprintf(stderr, "%s: could not write %s\n", kTool, settings.jsonPath.c_str());
      return 1;
    }
    std::printf("wrote %s\n", settings.jsonPath.c_str());
  }
  return 0;
}
