// The real binary, each test on a private X display: the usage text, a table of runs against what a
// user or a broken installation can hand the demo (command lines, shader files, images, floods of
// input, an immediate close), and hundreds of frames ending in an orderly close. LUMAROK_DEMO names
// another build to drive, as the words that start it (scripts/test.sh: the Windows build's lumarok.exe
// through Wine, in the folder unpacked from its zip); that folder is then the run directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

// After gtest: Xlib's macros (None, Bool) would break its templates.
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTimeoutMs = 30000;  // bounds a hung run; a healthy one takes a fraction, even under ASan
Clock::time_point after(int ms) { return Clock::now() + std::chrono::milliseconds(ms); }
int msLeft(Clock::time_point deadline) {
  return std::max(
      0, int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
}

// A child process whose standard output is read through a pipe.
struct Child {
  pid_t pid = -1;
  int fd = -1;
  std::string out;  // read so far

  // Runs `args` (the program looked up in PATH) in `dir`, standard error into `errPath`, on `display`.
  void start(std::vector<std::string> args, const std::string& dir, const std::string& errPath,
             const std::string& display) {
    std::vector<char*> argv;  // everything the child needs is made before fork
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int pipeFds[2];
    out.clear();
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
    pid = fork();
    if (pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);  // a crashed test leaves nothing behind
      dup2(pipeFds[1], 1);
      dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      unsetenv("SDL_VIDEODRIVER");  // the demo picks its driver itself
      display.empty() ? unsetenv("DISPLAY") : setenv("DISPLAY", display.c_str(), 1);
      if (chdir(dir.c_str()) == 0) execvp(argv[0], argv.data());
      _exit(127);
    }
    close(pipeFds[1]);
    fd = pipeFds[0];
  }

  // Reads what arrives within the time given; false once the output has ended.
  bool read(int timeoutMs) {
    pollfd ready{fd, POLLIN, 0};
    if (fd < 0 || poll(&ready, 1, timeoutMs) <= 0) return fd >= 0;
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    // Windows ends its text lines with \r\n; line endings aside, the output is the same.
    for (ssize_t i = 0; i < n; ++i)
      if (buffer[i] != '\r') out += buffer[i];
    if (n > 0) return true;
    close(fd);
    fd = -1;
    return false;
  }

  // Reads until the output holds `text` at or after byte `from`; false on timeout or at its end.
  bool waitFor(const std::string& text, size_t from = 0, int timeoutMs = kTimeoutMs) {
    for (auto deadline = after(timeoutMs); out.find(text, from) == std::string::npos;)
      if (msLeft(deadline) == 0 || !read(msLeft(deadline))) return out.find(text, from) != std::string::npos;
    return true;
  }

  // Reads to the end and reaps the child, killed if it has not ended in time: 0..255 after an exit,
  // 128 + the signal otherwise.
  int exit(int timeoutMs = kTimeoutMs) {
    const auto deadline = after(timeoutMs);
    while (msLeft(deadline) > 0 && read(msLeft(deadline))) {
    }
    int status = 0;
    for (; pid > 0 && waitpid(pid, &status, WNOHANG) == 0; usleep(5000))
      if (msLeft(deadline) == 0) kill(pid, SIGKILL);
    if (fd >= 0) close(fd);
    pid = fd = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
};

int ignoreXError(Display*, XErrorEvent*) { return 0; }  // a window may vanish while it is looked at

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> words(const char* text) {
  std::vector<std::string> list;
  std::istringstream in(text != nullptr ? text : "");
  for (std::string word; in >> word;) list.push_back(word);
  return list;
}
std::vector<std::string> demoCommand() {
  const std::vector<std::string> other = words(std::getenv("LUMAROK_DEMO"));
  return other.empty() ? std::vector<std::string>{LUMAROK_BINARY_DIR "/lumarok"} : other;
}

// Each test gets its own Xvfb, never reset between clients, on a free display it names itself: tests
// in parallel share no display, focus or keyboard. Keys go in through XTEST, the close as a window
// manager sends it, and pixels come back through Xlib.
class DemoTest : public ::testing::Test {
 protected:
  Child xvfb, demo;
  std::vector<std::string> command = demoCommand();
  const std::string demoDir = std::filesystem::path(command.back()).parent_path();
  std::string runDir = demoDir, display;
  const std::string errPath = "/tmp/lumarok-e2e-stderr-" + std::to_string(getpid());
  Display* x = nullptr;
  Window window = 0;

  void SetUp() override {
    xvfb.start({"Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"},
               "/", "/dev/null", "");
    ASSERT_TRUE(xvfb.waitFor("\n", 0, 10000)) << "Xvfb did not start (is it installed?)";
    display = ":" + xvfb.out.substr(0, xvfb.out.find('\n'));
    XSetErrorHandler(ignoreXError);
    x = XOpenDisplay(display.c_str());
    ASSERT_NE(x, nullptr) << display;
  }
  void TearDown() override {
    demo.exit(0);
    if (x != nullptr) XCloseDisplay(x);
    if (xvfb.pid > 0) kill(xvfb.pid, SIGTERM);
    xvfb.exit(5000);
    unlink(errPath.c_str());
  }

  void start(std::vector<std::string> args, const std::string& onDisplay) {
    args.insert(args.begin(), command.begin(), command.end());
    demo.start(args, runDir, errPath, onDisplay);
  }
  std::string err() const { return readFile(errPath); }
  std::string describe() const { return "stdout:\n" + demo.out + "\nstderr:\n" + err(); }

  // Waits for the demo's window and gives it the keyboard focus; false at once if the demo has ended.
  bool waitForWindow(int timeoutMs = kTimeoutMs) {
    for (auto deadline = after(timeoutMs); window == 0; usleep(10000)) {
      Window root, parent, *children = nullptr;
      unsigned count = 0;
      XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count);
      for (unsigned i = 0; i < count && window == 0; ++i) {
        XWindowAttributes a{};
        if (XGetWindowAttributes(x, children[i], &a) && a.map_state == IsViewable && !a.override_redirect)
          window = children[i];
      }
      if (children != nullptr) XFree(children);
      if (window == 0 && (msLeft(deadline) == 0 || !demo.read(0))) return false;
    }
    XRaiseWindow(x, window);
    XSetInputFocus(x, window, RevertToParent, CurrentTime);
    XSync(x, False);
    return true;
  }

  void tap(unsigned long keysym) {
    XTestFakeKeyEvent(x, XKeysymToKeycode(x, keysym), True, CurrentTime);
    XTestFakeKeyEvent(x, XKeysymToKeycode(x, keysym), False, CurrentTime);
    XSync(x, False);
  }

  // Asks the window to close, as a window manager's close button does; the exit status.
  int closeWindow() {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
    XSendEvent(x, window, False, NoEventMask, &event);
    XSync(x, False);
    return demo.exit();
  }

  // The window's width and height, then the red, green and blue of its pixel (px, py) from the top left.
  std::vector<int> sizeAndPixel(int px, int py) {
    XWindowAttributes a{};
    XGetWindowAttributes(x, window, &a);
    std::vector<int> seen{a.width, a.height};
    if (XImage* image = XGetImage(x, window, px, py, 1, 1, AllPlanes, ZPixmap)) {
      for (unsigned long mask : {image->red_mask, image->green_mask, image->blue_mask})
        seen.push_back(static_cast<int>((XGetPixel(image, 0, 0) & mask) >> __builtin_ctzl(mask)));
      XDestroyImage(image);
    }
    return seen;
  }
};

TEST_F(DemoTest, IncompleteCommandLinesPrintTheUsageAndExit255WithoutAWindow) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{}, {"-w", "800"}, {"-F", "-H", "6"}, {"", ""}}) {
    start(args, display);
    EXPECT_EQ(demo.exit(), 255) << describe();
    EXPECT_EQ(demo.out,
              "------------------------------\nlumarok\n------------------------------\nAufruf:\n"
              "  lumarok [-f | -w <width> -h <height>] [-l <log>]\n   -f           Fullscreenmodus\n"
              "   -w <width>   Breite des Fensters\n   -h <height>  Hoehe des Fensters\n"
              "   -l <log>     Loggingaktivit\xE4t [0..2] (default: 1)\n\n");
    EXPECT_EQ(err(), "");
    EXPECT_FALSE(waitForWindow(0)) << "no window may open";
  }
}

TEST_F(DemoTest, NoDisplayIsReportedInOneLineWithStatus255) {
  start({"-f"}, "");
  EXPECT_EQ(demo.exit(), 255) << describe();
  EXPECT_EQ(demo.out.rfind("SDL could not be initialised: ", 0), 0u) << demo.out;
  EXPECT_EQ(demo.out.find('\n'), demo.out.size() - 1) << "one line";
  EXPECT_EQ(err(), "");
}

// Hundreds of frames of the real binary (the path's segment 3 begins at frame 303), then an orderly
// close. In the sanitizer build LeakSanitizer checks the demo at exit, so this run fails on any leak
// of ours; scripts/memcheck.sh runs it under valgrind, named with its options in LUMAROK_E2E_WRAPPER.
TEST_F(DemoTest, HundredsOfFramesThenCloseExitCleanly) {
  const std::vector<std::string> wrapper = words(std::getenv("LUMAROK_E2E_WRAPPER"));
  const int timeoutMs = wrapper.empty() ? 60000 : 3600000;  // valgrind is tens of times slower
  command.insert(command.begin(), wrapper.begin(), wrapper.end());
  start({"-w", "320", "-h", "240"}, display);
  ASSERT_TRUE(demo.waitFor("CUBETEX:", 0, timeoutMs) && waitForWindow()) << describe();
  const size_t from = demo.out.size();
  tap(XK_p);  // every frame prints the path's segment
  ASSERT_TRUE(demo.waitFor("\n3\n", from, timeoutMs)) << describe();
  EXPECT_EQ(closeWindow(), 0) << describe();
}

enum class Ending {
  kRuns,         // frames go on until the close, which gives status 0
  kFlood,        // the same after a flood of key and mouse events in one frame
  kCloseAtOnce,  // closed before start-up has finished: the first frame sees the quit and is the last
};

struct DemoRun {
  const char* name;
  std::vector<std::string> args;
  // Files of a private copy of the run directory written over, or (with no content) removed.
  std::vector<std::pair<std::string, std::string>> files;
  // Lines, split at '|', that must come in this order, others between; a leading or trailing '*'
  // stands for any start or rest. Complaints (see isComplaint) that none of them matches must not appear.
  std::string lines;
  int width, height;
  Ending ending;
};
DemoRun run(const char* name, std::vector<std::string> args, decltype(DemoRun::files) files = {},
            std::string lines = "", int width = 1024, int height = 768, Ending ending = Ending::kRuns) {
  return {name, args, files, lines, width, height, ending};
}
void PrintTo(const DemoRun& run, std::ostream* out) { *out << run.name; }

// A '/' in a pattern stands for the directory separator, which is '\\' on Windows.
bool matches(std::string line, const std::string& pattern) {
  const bool anyStart = pattern[0] == '*', anyRest = pattern.back() == '*';
  const std::string core = pattern.substr(anyStart, pattern.size() - anyStart - anyRest);
  const size_t at = anyStart ? line.size() - std::min(line.size(), core.size()) : 0;
  std::replace(line.begin(), line.end(), '\\', '/');
  return line.compare(at, anyRest ? core.size() : std::string::npos, core) == 0;
}
bool isComplaint(const std::string& line) {
  for (const char* pattern :
       {"SDL could not*", "warning*", "shader file*", "window size*", "*: -1", "*4294967295"})
    if (matches(line, pattern)) return true;
  return false;
}

class DemoRunTest : public DemoTest, public ::testing::WithParamInterface<DemoRun> {
 protected:
  void SetUp() override {
    DemoTest::SetUp();
    if (GetParam().files.empty()) return;
    char pattern[] = "/tmp/lumarok-run-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    runDir = pattern;
    for (const char* sub : {"/shaders", "/res"})
      std::filesystem::copy(demoDir + sub, runDir + sub, std::filesystem::copy_options::recursive);
    for (const auto& [path, content] : GetParam().files)
      content.empty() ? void(std::filesystem::remove_all(runDir + "/" + path))
                      : void(std::ofstream(runDir + "/" + path) << content);
  }
  void TearDown() override {
    DemoTest::TearDown();
    if (runDir != demoDir) std::filesystem::remove_all(runDir);
  }
};

TEST_P(DemoRunTest, EndsAsItsRowSays) {
  const DemoRun& run = GetParam();
  start(run.args, display);
  // The last start-up line comes when the window is there for good (one too large is opened again).
  ASSERT_TRUE((run.ending == Ending::kCloseAtOnce || demo.waitFor("CUBETEX:")) && waitForWindow())
      << describe();
  if (run.ending != Ending::kCloseAtOnce) {
    for (int i = 0; run.ending == Ending::kFlood && i < 2000; ++i) {  // ten thousand events in one burst
      XTestFakeKeyEvent(x, XKeysymToKeycode(x, i % 2 ? XK_Right : XK_Up), True, CurrentTime);
      XTestFakeKeyEvent(x, XKeysymToKeycode(x, i % 2 ? XK_Right : XK_Up), False, CurrentTime);
      XTestFakeMotionEvent(x, -1, i % 1000, i % 700, CurrentTime);
      XTestFakeButtonEvent(x, 1 + i % 3, True, CurrentTime);
      XTestFakeButtonEvent(x, 1 + i % 3, False, CurrentTime);
    }
    XSync(x, False);
    usleep(run.ending == Ending::kFlood ? 300000 : 0);  // the keys below come after SDL has read the flood
    for (unsigned long other : {XK_Escape, XK_q, XK_space, XK_Return}) tap(other);  // none of them ends it
    // p makes every frame print the path's segment, 0 first. SDL drops events past 128 in one frame, so a
    // tap lost in a flood is tried again.
    bool framesGoOn = false;
    for (int attempt = 0; attempt < 5 && !framesGoOn; ++attempt) {
      const size_t from = demo.out.size();
      tap(XK_p);
      framesGoOn = demo.waitFor("\n0\n0\n", from > 0 ? from - 1 : 0, 2000);
    }
    EXPECT_TRUE(framesGoOn) << "no frames after the p key\n" << describe();
    // With a working program the ground in front of the camera shows, lit or stone grey: the frame
    // reached the window.
    const std::vector<int> seen = sizeAndPixel(run.width / 2, run.height * 7 / 8);
    EXPECT_EQ(std::vector<int>(seen.begin(), seen.begin() + 2), (std::vector<int>{run.width, run.height}));
    const bool drawn =
        demo.out.find("GELINKT") != std::string::npos && demo.out.find(": -1") == std::string::npos;
    EXPECT_TRUE(!drawn || run.width == 1 || seen.at(2) + seen.at(3) + seen.at(4) > 60) << "a dark ground";
  }
  EXPECT_EQ(closeWindow(), 0) << describe();
  EXPECT_NE(demo.out.find("CUBETEX:"), std::string::npos) << "start-up must complete\n" << describe();
  EXPECT_EQ(err(), "") << "nothing goes to standard error";
  std::vector<std::string> lines, patterns;
  std::istringstream out(demo.out), expected(run.lines);
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  for (std::string pattern; std::getline(expected, pattern, '|');) patterns.push_back(pattern);
  auto at = lines.begin();
  for (const std::string& pattern : patterns) {
    at = std::find_if(at, lines.end(), [&](const std::string& line) { return matches(line, pattern); });
    ASSERT_NE(at++, lines.end()) << "missing (or out of order): " << pattern << "\n" << describe();
  }
  for (const std::string& line : lines)
    EXPECT_FALSE(isComplaint(line) && std::none_of(patterns.begin(), patterns.end(),
                                                   [&](const std::string& p) { return matches(line, p); }))
        << "unexpected line: " << line;
}

// The bytes with the little-endian field of `size` bytes at `offset` set to `value`: a BMP header made
// to claim another size or depth.
std::string patched(std::string bytes, size_t offset, uint32_t value, int size = 4) {
  for (int i = 0; i < size; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
  return bytes;
}

std::vector<DemoRun> runs() {
  const std::string vertex = "shaders/vertexShader.txt", fragment = "shaders/fragmentShader.txt";
  const std::string surface = "res/test.bmp", unloadable = "SDL could not load image.bmp: *";
  const std::string image = readFile(LUMAROK_BINARY_DIR "/res/test.bmp");  // 256 by 256, 24 bits
  std::string sevenUnloadable = unloadable;  // the surface texture and the six cube faces
  for (int i = 1; i < 7; ++i) sevenUnloadable += "|" + unloadable;
  std::vector<std::string> many{"-f", "", ""};  // values, options without, stray words, lone hyphens
  for (int i = 1; i < 10000; ++i) many.push_back(i % 3 ? i % 7 ? "-o" + std::to_string(i) : "-" : "value");
  return {
      run("StartUpLinesInOrder", {"-w", "320", "-h", "240"}, {},
          "GLEW running|MAX TEXTURE IMAGE UNITS:*|MAX COLOR ATTACHMENTS: *|FRONTFACE CCW "
          "|GELINKT|ProjMatrix: *|"
          "ModelMatrix: *|ViewMatrix: *|TextMatrix: *|ProjMatrixOld: *|ModelMatrixOld: *|ViewMatrixOld: *|"
          "VERTEX: 0|NORMAL: 1|TEXCOORDS: 2|TEXFLAG: 3|LIGHT: 4|VIEW: 5|PASS: 6|SHADOW ON: *|CUBEMAP FACTOR: "
          "*|"
          "TEXTURE FACTOR: *|TEX:*|SHADOW: *|CUBETEX:*",
          320, 240),
      // Sizes that are no plain numbers fall back side by side, sizes no window can have together.
      run("LaterValueWinsAndAWidthWithALetterFallsBack", {"-h", "0", "-w", "800x", "-h", "600"}, {}, "", 1024,
          600),
      run("ZeroWidthAndHeightBeyondInt", {"-w", "0", "-h", "99999999999"}),
      run("SizeBeyondX", {"-w", "100000", "-h", "100000"}, {},
          "window size 100000 by 100000 cannot be served*"),
      run("WidthBeyondGlLimits", {"-w", "16385", "-h", "16"}, {},
          "window size 16385 by 16 cannot be served*"),
      run("OnePixelWindow", {"-w", "1", "-h", "1"}, {}, "", 1, 1),
      run("TenThousandArguments", many),
      run("MissingShadersDir", {"-f"}, {{"shaders", ""}},
          "shader file " + vertex + " is missing or empty|shader file " + fragment +
              " is missing or empty|*: -1|*4294967295"),
      run("ShadersLackingInterfaceNames", {"-f"},
          {{vertex, "void main() { gl_Position = vec4(0.0, 0.0, 0.0, 1.0); }\n"},
           {fragment, "void main() { gl_FragColor = vec4(1.0); }\n"}},
          "GELINKT|ProjMatrix: -1|*: -1|VERTEX: 4294967295|*4294967295"),
      run("MissingResDir", {"-f"}, {{"res", ""}}, sevenUnloadable),
      run("TruncatedBmp", {"-f"}, {{surface, image.substr(0, 1000)}}, unloadable),
      run("OneByOneImage", {"-f"}, {{surface, patched(patched(image, 18, 1), 22, 1)}},
          surface + " is 1 by 1 pixels, smaller than 256 by 256: not used"),
      run("EightBitImage", {"-f"}, {{surface, patched(image, 28, 8, 2)}},
          "warning: the image is not truecolor..  this will probably break"),
      run("OddSizedCubeFace", {"-f"}, {{"res/cm_top.bmp", patched(patched(image, 18, 200), 22, 130)}},
          "warning: image.bmp's width is not a power of 2|warning: image.bmp's height is not a power of 2"),
      // From the image fuzzer's corpus less its first byte: decoded, it claims 193 bytes per pixel.
      run("HeaderWithContradictoryFormat", {"-f"},
          {{surface, readFile(LUMAROK_SOURCE_DIR "/tests/fuzz/corpus/image/regression-contradictory-format")
                         .substr(1)}},
          surface + ": the decoded image is unusable*"),
      run("FloodOfKeysAndMouseInOneFrame", {"-f"}, {}, "", 1024, 768, Ending::kFlood),
      run("ClosedInTheFirstFrame", {"-f"}, {}, "GELINKT", 1024, 768, Ending::kCloseAtOnce),
  };
}

INSTANTIATE_TEST_SUITE_P(Table, DemoRunTest, ::testing::ValuesIn(runs()),
                         [](const ::testing::TestParamInfo<DemoRun>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
