// lumarok-bench: frame times of the demo's own start-up and frame at several window sizes, with the
// effects off and on, per-pass GL timer queries, the CPU work outside GL, start-up time, peak memory
// and heap allocations per frame; and the floor, the same passes drawn with a trivial shader.
// Each size runs in a fresh process (this binary again), so start-up and peak memory are its own.
#include <GL/glew.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <new>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/demo_app.h"
#include "physics/physics.h"
#include "tool_support.h"

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
void* operator new[](size_t size) { return ::operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  if (tCountAllocations) gAllocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return ::operator new(size, tag); }
// Memory from the replaced operator new comes from malloc, so free is the matching release; GCC
// cannot see the pairing once it inlines the replacements into their callers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
#pragma GCC diagnostic pop
void operator delete[](void* p) noexcept { ::operator delete(p); }
void operator delete(void* p, size_t) noexcept { ::operator delete(p); }
void operator delete[](void* p, size_t) noexcept { ::operator delete(p); }

namespace {

const char* const kTool = "lumarok-bench";
// Warm-up frames when a mode comes round again; its shader variants exist by then.
constexpr int kRoundWarmup = 10;

struct BenchSettings {
  std::vector<std::pair<int, int>> sizes = {{320, 240}, {800, 600}, {1024, 768}};
  std::vector<std::string> modes = {"off", "on", "floor"};
  int frames = 300;
  int warmup = 60;
  int rounds = 3;
  std::string jsonPath;
  // Child side: one size, results written to a file.
  int childWidth = 0, childHeight = 0;
  std::string resultPath;
  long long spawnNs = 0;
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

const ModeSpec* findMode(const std::string& name) {
  for (const ModeSpec& mode : kModes)
    if (name == mode.name) return &mode;
  return nullptr;
}

void printUsage(FILE* out) {
  std::fprintf(
      out,
      "usage: %s [--sizes WxH,...] [--modes off,on,floor,...] [--frames N] [--warmup N] [--rounds N]\n"
      "       [--json PATH]\n"
      "  --sizes   window sizes (default 320x240,800x600,1024x768)\n"
      "  --modes   off, on (shadows, reflection and blur), shadows, reflection, blur, floor\n"
      "            (the same passes with a transform-only, constant-colour shader);\n"
      "            default off,on,floor\n"
      "  --frames  measured frames per mode (default 300), after --warmup frames (default 60)\n"
      "  --rounds  the modes take turns this many times, sharing the frames (default 3)\n"
      "  --json    also write the figures as JSON\n",
      kTool);
}

bool parseArguments(int argc, char** argv, BenchSettings& settings) {
  std::string error;
  for (int i = 1; i < argc && error.empty(); ++i) {
    std::string arg = argv[i];
    if (arg == "--help") {
      printUsage(stdout);
      std::exit(0);
    }
    if (i + 1 >= argc) {
      error = arg + " needs a value";
      break;
    }
    std::string value = argv[++i];
    if (arg == "--sizes") {
      settings.sizes.clear();
      for (const std::string& item : splitList(value)) {
        int w = 0, h = 0;
        if (!parseSize(item, w, h)) error = "bad size '" + item + "'";
        settings.sizes.push_back({w, h});
      }
      if (settings.sizes.empty()) error = "no sizes";
    } else if (arg == "--modes") {
      settings.modes = splitList(value);
      for (const std::string& mode : settings.modes)
        if (findMode(mode) == nullptr) error = "unknown mode '" + mode + "'";
      if (settings.modes.empty()) error = "no modes";
    } else if (arg == "--frames" || arg == "--warmup" || arg == "--rounds") {
      int n = std::atoi(value.c_str());
      if (n < (arg == "--warmup" ? 0 : 1) || value.find_first_not_of("0123456789") != std::string::npos)
        error = "bad count '" + value + "'";
      (arg == "--frames" ? settings.frames : arg == "--warmup" ? settings.warmup : settings.rounds) = n;
    } else if (arg == "--json") {
      settings.jsonPath = value;
    } else if (arg == "--child-size") {
      if (!parseSize(value, settings.childWidth, settings.childHeight)) error = "bad size '" + value + "'";
    } else if (arg == "--child-result") {
      settings.resultPath = value;
    } else if (arg == "--child-spawned") {
      settings.spawnNs = std::atoll(value.c_str());
    } else {
      error = "unknown option " + arg;
    }
  }
  if (error.empty()) return true;
  std::fprintf(stderr, "%s: %s\n", kTool, error.c_str());
  printUsage(stderr);
  return false;
}

// ---- one size, in the child process ----

// GL_TIME_ELAPSED queries around the three passes, in two sets so that a frame's results are read
// after the next frame, when the driver has long finished them.
struct PassTimer {
  GLuint queries[2][3] = {};
  int set = 0;
  bool pending[2] = {false, false};
  long long markNs[4] = {};
  long long passAllocations = 0;  // heap allocations between the first pass and the end of the last

  void create() { glGenQueries(6, &queries[0][0]); }
  void destroy() { glDeleteQueries(6, &queries[0][0]); }
  // Milliseconds of each pass of the set, when it holds a finished frame.
  bool collect(int which, double passMs[3]) {
    if (!pending[which]) return false;
    for (int pass = 0; pass < 3; ++pass) {
      GLuint64 ns = 0;
      glGetQueryObjectui64v(queries[which][pass], GL_QUERY_RESULT, &ns);
      passMs[pass] = static_cast<double>(ns) / 1e6;
    }
    pending[which] = false;
    return true;
  }
};

void markPass(int pass, void* user) {
  auto* timer = static_cast<PassTimer*>(user);
  timer->markNs[pass] = monotonicNs();
  if (pass == 0) timer->passAllocations -= gAllocations.load();
  if (pass == 3) timer->passAllocations += gAllocations.load();
  if (pass > 0) glEndQuery(GL_TIME_ELAPSED);
  if (pass < 3) glBeginQuery(GL_TIME_ELAPSED, timer->queries[timer->set][pass]);
  if (pass == 3) timer->pending[timer->set] = true;
}

struct ModeResult {
  std::string name;
  double fps = 0, medianMs = 0, p95Ms = 0, p99Ms = 0;
  double passMs[3] = {};
  double cpuBeforePassesUs = 0;
  long long allocations = 0;      // in the whole frames
  long long passAllocations = 0;  // in their three passes
};

// Swaps the demo's program for the floor program (and back) in place: the frame then draws the same
// passes, targets and meshes with it. The meshes keep their mMatrix location, so it moves too.
void swapPrograms(DemoApp& app, ShaderProgram& other) {
  std::swap(app.program, other);
  glUseProgram(app.program.shaderProgram);
  for (Mesh* mesh :
       {app.groundMesh.get(), app.leftCubeMesh.get(), app.rightCubeMesh.get(), app.sphereMesh.get()})
    mesh->modelMatrixLocation = app.program.locations.mMatrix;
}

// Samples of one mode, gathered over several rounds.
struct ModeSamples {
  std::vector<double> frameMs;
  long long elapsedNs = 0;
  double passSums[3] = {};
  int passFrames = 0;
  double cpuSumUs = 0;
  long long allocations = 0, passAllocations = 0;

  void addPasses(const double passMs[3]) {
    for (int p = 0; p < 3; ++p) passSums[p] += passMs[p];
    ++passFrames;
  }
};

// One round of a mode: switches set through the keys, warm-up frames (the driver builds its shader
// variants for the new state), then `frames` measured frames.
void measureRound(DemoApp& app, const ModeSpec& mode, int frames, int warmup, PassTimer& timer,
                  ModeSamples& samples) {
  setSwitches(app, mode.shadows, mode.reflection, mode.blur);
  for (int i = 0; i < warmup; ++i) app.drawFrame();
  glFinish();
  timer.pending[0] = timer.pending[1] = false;
  long long allocationsBefore = gAllocations.load();
  timer.passAllocations = 0;
  long long startNs = monotonicNs();
  double passMs[3];
  for (int i = 0; i < frames; ++i) {
    timer.set = i % 2;
    long long frameStart = monotonicNs();
    tCountAllocations = true;
    app.drawFrame();
    tCountAllocations = false;
    long long frameEnd = monotonicNs();
    samples.frameMs.push_back(static_cast<double>(frameEnd - frameStart) / 1e6);
    samples.cpuSumUs += static_cast<double>(timer.markNs[0] - frameStart) / 1e3;
    if (timer.collect(1 - timer.set, passMs)) samples.addPasses(passMs);
  }
  if (timer.collect(timer.set, passMs)) samples.addPasses(passMs);
  samples.elapsedNs += monotonicNs() - startNs;
  samples.allocations += gAllocations.load() - allocationsBefore;
  samples.passAllocations += timer.passAllocations;
}

ModeResult summarise(const char* name, ModeSamples& samples) {
  ModeResult result;
  result.name = name;
  double frames = static_cast<double>(samples.frameMs.size());
  result.fps = frames / (static_cast<double>(samples.elapsedNs) / 1e9);
  result.medianMs = percentile(samples.frameMs, 0.50);
  result.p95Ms = percentile(samples.frameMs, 0.95);
  result.p99Ms = percentile(samples.frameMs, 0.99);
  for (int p = 0; p < 3; ++p)
    result.passMs[p] = samples.passFrames > 0 ? samples.passSums[p] / samples.passFrames : 0;
  result.cpuBeforePassesUs = samples.cpuSumUs / frames;
  result.allocations = samples.allocations;
  result.passAllocations = samples.passAllocations;
  return result;
}

// The non-GL work of a frame, each function timed on its own; microseconds per call.
// Allocations per call are counted the same way, to tell whose they are.
struct CpuBreakdown {
  double physicsUs = 0, sceneUs = 0, matricesUs = 0;
  double physicsAllocations = 0, sceneAllocations = 0, matricesAllocations = 0;
};

CpuBreakdown measureCpuWork(DemoApp& app, int calls) {
  CpuBreakdown cpu;
  long long physics = 0, scene = 0, matrices = 0;
  long long allocations[3] = {};
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
    physics += t1 - t0;
    scene += t2 - t1;
    matrices += t3 - t2;
    allocations[0] += a1 - a0;
    allocations[1] += a2 - a1;
    allocations[2] += a3 - a2;
  }
  cpu.physicsAllocations = static_cast<double>(allocations[0]) / calls;
  cpu.sceneAllocations = static_cast<double>(allocations[1]) / calls;
  cpu.matricesAllocations = static_cast<double>(allocations[2]) / calls;
  cpu.physicsUs = physics / 1e3 / calls;
  cpu.sceneUs = scene / 1e3 / calls;
  cpu.matricesUs = matrices / 1e3 / calls;
  return cpu;
}

int runOneSize(const BenchSettings& settings) {
  long long mainNs = monotonicNs();
  QuietStdout quiet;
  quiet.begin();
  DemoApp app;
  OptionMap options = windowOptions(settings.childWidth, settings.childHeight);
  app.options = &options;
  if (!app.init()) {
    quiet.replay(stderr);
    std::fprintf(stderr, "%s: the demo did not start at %dx%d\n", kTool, settings.childWidth,
                 settings.childHeight);
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
  const std::string renderer = rendererName != nullptr ? rendererName : "unknown";

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
      const ModeSpec& mode = *findMode(settings.modes[m]);
      if (mode.floor) swapPrograms(app, floor);
      measureRound(app, mode, frames, warmup, timer, gathered[m]);
      if (mode.floor) swapPrograms(app, floor);
    }
  }
  std::vector<ModeResult> results;
  for (size_t m = 0; m < settings.modes.size(); ++m)
    results.push_back(summarise(findMode(settings.modes[m])->name, gathered[m]));
  app.passMarker = nullptr;
  timer.destroy();
  floor.destroy();
  CpuBreakdown cpu = measureCpuWork(app, 1000);
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  app.shutdown();
  quiet.end();

  std::ofstream out(settings.resultPath);
  out << "size " << settings.childWidth << " " << settings.childHeight << "\n";
  out << "startup_ms "
      << (settings.spawnNs > 0 ? firstFrameNs - settings.spawnNs : firstFrameNs - mainNs) / 1e6 << "\n";
  out << "startup_in_process_ms " << (firstFrameNs - mainNs) / 1e6 << "\n";
  out << "peak_rss_kb " << usage.ru_maxrss << "\n";
  out << "gl_samples " << samples << "\n";
  out << "gl_sample_buffers " << sampleBuffers << "\n";
  out << "cpu_physics_us " << cpu.physicsUs << "\n";
  out << "cpu_scene_us " << cpu.sceneUs << "\n";
  out << "cpu_matrices_us " << cpu.matricesUs << "\n";
  out << "allocations_per_call " << cpu.physicsAllocations << " " << cpu.sceneAllocations << " "
      << cpu.matricesAllocations << "\n";
  for (const ModeResult& r : results)
    out << "mode " << r.name << " " << r.fps << " " << r.medianMs << " " << r.p95Ms << " " << r.p99Ms << " "
        << r.passMs[0] << " " << r.passMs[1] << " " << r.passMs[2] << " " << r.cpuBeforePassesUs << " "
        << r.allocations << " " << r.passAllocations << "\n";
  out << "renderer " << renderer << "\n";
  return out.good() ? 0 : 1;
}

// ---- the parent: one child per size, then the table ----

struct SizeResult {
  int width = 0, height = 0;
  double startupMs = 0, startupInProcessMs = 0;
  long peakRssKb = 0;
  int samples = 0, sampleBuffers = 0;
  CpuBreakdown cpu;
  std::vector<ModeResult> modes;
  std::string renderer;

  const ModeResult* mode(const std::string& name) const {
    for (const ModeResult& m : modes)
      if (m.name == name) return &m;
    return nullptr;
  }
};

bool readSizeResult(const std::string& path, SizeResult& result) {
  std::ifstream in(path);
  std::string line;
  bool sawSize = false;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string key;
    fields >> key;
    if (key == "size") sawSize = static_cast<bool>(fields >> result.width >> result.height);
    if (key == "startup_ms") fields >> result.startupMs;
    if (key == "startup_in_process_ms") fields >> result.startupInProcessMs;
    if (key == "peak_rss_kb") fields >> result.peakRssKb;
    if (key == "gl_samples") fields >> result.samples;
    if (key == "gl_sample_buffers") fields >> result.sampleBuffers;
    if (key == "cpu_physics_us") fields >> result.cpu.physicsUs;
    if (key == "cpu_scene_us") fields >> result.cpu.sceneUs;
    if (key == "cpu_matrices_us") fields >> result.cpu.matricesUs;
    if (key == "allocations_per_call")
      fields >> result.cpu.physicsAllocations >> result.cpu.sceneAllocations >>
          result.cpu.matricesAllocations;
    if (key == "renderer") std::getline(fields >> std::ws, result.renderer);
    if (key == "mode") {
      ModeResult m;
      fields >> m.name >> m.fps >> m.medianMs >> m.p95Ms >> m.p99Ms >> m.passMs[0] >> m.passMs[1] >>
          m.passMs[2] >> m.cpuBeforePassesUs >> m.allocations >> m.passAllocations;
      result.modes.push_back(m);
    }
  }
  return sawSize;
}

bool runChild(char** argv, const BenchSettings& settings, int width, int height, SizeResult& result) {
  char pattern[] = "/tmp/lumarok-bench-XXXXXX";
  int fd = mkstemp(pattern);
  if (fd < 0) return false;
  close(fd);
  std::string resultPath = pattern;
  std::string modes;
  for (const std::string& mode : settings.modes) modes += (modes.empty() ? "" : ",") + mode;
  std::vector<std::string> args = {argv[0],
                                   "--modes",
                                   modes,
                                   "--frames",
                                   std::to_string(settings.frames),
                                   "--warmup",
                                   std::to_string(settings.warmup),
                                   "--rounds",
                                   std::to_string(settings.rounds),
                                   "--child-size",
                                   std::to_string(width) + "x" + std::to_string(height),
                                   "--child-result",
                                   resultPath,
                                   "--child-spawned",
                                   std::to_string(monotonicNs())};
  std::vector<char*> raw;
  for (std::string& arg : args) raw.push_back(&arg[0]);
  raw.push_back(nullptr);
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    execv("/proc/self/exe", raw.data());
    _exit(127);
  }
  int status = 0;
  bool ok = pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
            readSizeResult(resultPath, result);
  std::remove(resultPath.c_str());
  return ok;
}

const char* const kPassNames[3] = {"shadow", "offscreen", "final"};

void printTable(const BenchSettings& settings, const std::vector<SizeResult>& sizes) {
  std::printf("%s: %d frames per mode in %d rounds, after %d warm-up frames; renderer %s\n", kTool,
              settings.frames, settings.rounds, settings.warmup, sizes.front().renderer.c_str());
  std::printf("%-9s %-10s %7s %8s %8s %8s %9s %9s %9s %10s %7s\n", "size", "mode", "fps", "median", "p95",
              "p99", "shadow", "offscreen", "final", "cpu-before", "allocs");
  std::printf("%-9s %-10s %7s %8s %8s %8s %9s %9s %9s %10s %7s\n", "", "", "", "ms", "ms", "ms", "ms", "ms",
              "ms", "passes us", "");
  for (const SizeResult& size : sizes) {
    std::string label = std::to_string(size.width) + "x" + std::to_string(size.height);
    for (const ModeResult& m : size.modes)
      std::printf("%-9s %-10s %7.1f %8.2f %8.2f %8.2f %9.2f %9.2f %9.2f %10.1f %7lld\n", label.c_str(),
                  m.name.c_str(), m.fps, m.medianMs, m.p95Ms, m.p99Ms, m.passMs[0], m.passMs[1], m.passMs[2],
                  m.cpuBeforePassesUs, m.allocations);
  }
  std::printf("\n");
  for (const SizeResult& size : sizes) {
    std::string label = std::to_string(size.width) + "x" + std::to_string(size.height);
    const ModeResult* on = size.mode("on");
    const ModeResult* floor = size.mode("floor");
    double cpuUs = size.cpu.physicsUs + size.cpu.sceneUs + size.cpu.matricesUs;
    std::printf("%-9s window %d samples (GL_SAMPLES; sample buffers %d)", label.c_str(), size.samples,
                size.sampleBuffers);
    if (on != nullptr && floor != nullptr && floor->medianMs > 0)
      std::printf(", full/floor %.2f (median frame)", on->medianMs / floor->medianMs);
    std::printf("\n%-9s start-up to first frame %.0f ms (%.0f ms of it after main), peak RSS %.1f MiB\n", "",
                size.startupMs, size.startupInProcessMs, size.peakRssKb / 1024.0);
    std::printf("%-9s own CPU work per frame %.1f us (physics %.1f, scene %.1f, matrices %.1f)", "", cpuUs,
                size.cpu.physicsUs, size.cpu.sceneUs, size.cpu.matricesUs);
    if (on != nullptr && on->medianMs > 0)
      std::printf(" = %.3f%% of the full frame", cpuUs / 10.0 / on->medianMs);
    std::printf("\n");
  }
  long long allocations = 0, passAllocations = 0, frames = 0;
  for (const SizeResult& size : sizes)
    for (const ModeResult& m : size.modes) {
      allocations += m.allocations;
      passAllocations += m.passAllocations;
      frames += settings.frames;
    }
  std::printf(
      "heap allocations (operator new, main thread) in %lld measured frames: %lld, %lld of them in the "
      "passes\n",
      frames, allocations, passAllocations);
  const CpuBreakdown& cpu = sizes.front().cpu;
  std::printf("allocations per call: stepPhysics %.2f, updateSceneState %.2f, updateViewMatrices %.2f\n",
              cpu.physicsAllocations, cpu.sceneAllocations, cpu.matricesAllocations);
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) >= 0x20) out += c;
  }
  return out + "\"";
}

bool writeJson(const std::string& path, const BenchSettings& settings, const std::vector<SizeResult>& sizes) {
  std::ofstream out(path);
  out << "{\n  \"frames\": " << settings.frames << ",\n  \"rounds\": " << settings.rounds
      << ",\n  \"warmup\": " << settings.warmup << ",\n  \"renderer\": " << jsonString(sizes.front().renderer)
      << ",\n  \"cores\": " << sysconf(_SC_NPROCESSORS_ONLN) << ",\n  \"sizes\": [\n";
  for (size_t i = 0; i < sizes.size(); ++i) {
    const SizeResult& s = sizes[i];
    out << "    {\"width\": " << s.width << ", \"height\": " << s.height << ", \"gl_samples\": " << s.samples
        << ", \"gl_sample_buffers\": " << s.sampleBuffers << ", \"startup_ms\": " << s.startupMs
        << ", \"startup_in_process_ms\": " << s.startupInProcessMs << ", \"peak_rss_kb\": " << s.peakRssKb
        << ",\n     \"cpu_us\": {\"physics\": " << s.cpu.physicsUs << ", \"scene\": " << s.cpu.sceneUs
        << ", \"matrices\": " << s.cpu.matricesUs << "},\n"
        << "     \"heap_allocations_per_call\": {\"physics\": " << s.cpu.physicsAllocations
        << ", \"scene\": " << s.cpu.sceneAllocations << ", \"matrices\": " << s.cpu.matricesAllocations
        << "},\n";
    const ModeResult* on = s.mode("on");
    const ModeResult* floor = s.mode("floor");
    if (on != nullptr && floor != nullptr && floor->medianMs > 0)
      out << "     \"full_to_floor\": " << on->medianMs / floor->medianMs << ",\n";
    out << "     \"modes\": {";
    for (size_t j = 0; j < s.modes.size(); ++j) {
      const ModeResult& m = s.modes[j];
      out << (j == 0 ? "\n" : ",\n") << "       " << jsonString(m.name) << ": {\"fps\": " << m.fps
          << ", \"median_ms\": " << m.medianMs << ", \"p95_ms\": " << m.p95Ms << ", \"p99_ms\": " << m.p99Ms;
      for (int p = 0; p < 3; ++p) out << ", \"" << kPassNames[p] << "_ms\": " << m.passMs[p];
      out << ", \"cpu_before_passes_us\": " << m.cpuBeforePassesUs
          << ", \"heap_allocations\": " << m.allocations
          << ", \"heap_allocations_in_passes\": " << m.passAllocations << "}";
    }
    out << "}}" << (i + 1 < sizes.size() ? "," : "") << "\n";
  }
  out << "  ]\n}\n";
  return out.good();
}

}  // namespace

int main(int argc, char** argv) {
  BenchSettings settings;
  if (!parseArguments(argc, argv, settings)) return 2;
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  if (settings.childWidth > 0) return runOneSize(settings);

  int maxWidth = 0, maxHeight = 0;
  for (const auto& size : settings.sizes) {
    maxWidth = std::max(maxWidth, size.first);
    maxHeight = std::max(maxHeight, size.second);
  }
  ensureDisplay(argc, argv, kTool, maxWidth, maxHeight);
  if (!settings.jsonPath.empty()) settings.jsonPath = absolutePath(settings.jsonPath);
  if (!enterRunDirectory()) {
    std::fprintf(stderr, "%s: no shaders/ beside the binary (it runs from the build directory)\n", kTool);
    return 1;
  }
  std::vector<SizeResult> sizes;
  for (const auto& size : settings.sizes) {
    SizeResult result;
    if (!runChild(argv, settings, size.first, size.second, result)) {
      std::fprintf(stderr, "%s: the run at %dx%d failed\n", kTool, size.first, size.second);
      return 1;
    }
    sizes.push_back(result);
  }
  printTable(settings, sizes);
  if (!settings.jsonPath.empty()) {
    if (!writeJson(settings.jsonPath, settings, sizes)) {
      std::fprintf(stderr, "%s: could not write %s\n", kTool, settings.jsonPath.c_str());
      return 1;
    }
    std::printf("wrote %s\n", settings.jsonPath.c_str());
  }
  return 0;
}
