// The real binary against everything a user or a broken installation can hand it: missing or broken
// shader files and images, absurd command lines, floods of input, an immediate close. Each row says
// what the run must print and how it must end; where the demo can still draw it must keep running.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "support/demo_test.h"

// After gtest: Xlib's macros (None, Bool) would break its templates.
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace fs = std::filesystem;

namespace {

// An uncompressed BMP with a 40-byte info header; a non-zero claimed size goes into the header
// instead of the real one, so the header can promise more than the file holds.
std::string bmpFile(int width, int height, int bitsPerPixel, int claimedWidth = 0, int claimedHeight = 0) {
  const int paletteBytes = bitsPerPixel == 8 ? 256 * 4 : 0;
  const int dataBytes = (width * bitsPerPixel + 31) / 32 * 4 * height, offset = 14 + 40 + paletteBytes;
  std::string out = "BM";
  auto u16 = [&](uint32_t v) { out += char(v & 0xFF), out += char((v >> 8) & 0xFF); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  u32(offset + dataBytes), u32(0), u32(offset);
  u32(40), u32(claimedWidth ? claimedWidth : width), u32(claimedHeight ? claimedHeight : height);
  u16(1), u16(bitsPerPixel), u32(0), u32(dataBytes), u32(2835), u32(2835);
  u32(bitsPerPixel == 8 ? 256 : 0), u32(0);
  for (int i = 0; i < paletteBytes / 4; ++i) u32(0x010101u * i);
  for (int i = 0; i < dataBytes; ++i) out += char(i * 7);
  return out;
}

// A complete 1 by 1 PNG image.
const unsigned char kPng[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
    0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00,
    0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x00, 0x01, 0x00, 0x00, 0x05, 0x00, 0x01,
    0x0D, 0x0A, 0x2D, 0xB4, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string binaryBytes() {
  std::string bytes;
  for (int i = 0; i < 4096; ++i) bytes += char((i * 37) & 0xFF);  // NULs and high bytes included
  return bytes;
}

// Options with values, options without, stray words and hyphen-only arguments, 10000 in all.
std::vector<std::string> manyArguments() {
  std::vector<std::string> args{"-f"};
  for (int i = 1; i < 10000; ++i)
    args.push_back(i % 3 == 0 ? "value" : i % 7 == 0 ? "-" : "-opt" + std::to_string(i));
  return args;
}

const std::string kVertexFile = "shaders/vertexShader.txt", kFragmentFile = "shaders/fragmentShader.txt";
const std::string kSurfaceFile = "res/test.bmp";
const std::string kUnloadable = "SDL could not load image.bmp: *";
const std::string kNotTruecolor = "warning: the image is not truecolor..  this will probably break";
const std::string kVertexMissing = "shader file " + kVertexFile + " is missing or empty";
const std::string kFragmentMissing = "shader file " + kFragmentFile + " is missing or empty";

using RunDirChange = std::function<void(const fs::path& runDir)>;
enum class Ending {
  kRuns,         // the window opens, frames go on, closing it gives status 0
  kUsage,        // usage text, status 255, no window
  kFloodKeys,    // runs, takes a flood of key and mouse events in one frame, then runs on
  kCloseAtOnce,  // closed before start-up has finished: the first frame sees the quit and is the last
};

struct BadInput {
  const char* name;
  RunDirChange change;  // null: the run directory stays whole
  // Lines standard output must hold, in this order (others may come between); a trailing '*'
  // matches any rest of the line. Complaints (see isComplaint) not listed here must not appear.
  std::vector<std::string> lines;
  std::vector<std::string> args = {"-f"};
  Ending ending = Ending::kRuns;
  int width = 1024, height = 768;  // the window, when one opens
};
void PrintTo(const BadInput& c, std::ostream* out) { *out << c.name; }

RunDirChange replaceFiles(std::vector<std::pair<std::string, std::string>> files) {
  return [=](const fs::path& dir) {
    for (const auto& f : files) std::ofstream(dir / f.first, std::ios::binary | std::ios::trunc) << f.second;
  };
}
RunDirChange replaceFile(std::string relative, std::string bytes) {
  return replaceFiles({{relative, bytes}});
}
RunDirChange replaceShaders(std::string vertex, std::string fragment) {
  return replaceFiles({{kVertexFile, vertex}, {kFragmentFile, fragment}});
}
RunDirChange removePath(std::string relative) {
  return [=](const fs::path& dir) { fs::remove_all(dir / relative); };
}
BadInput broken(const char* name, RunDirChange change, std::vector<std::string> lines) {
  return {name, change, lines};
}
BadInput commandLine(const char* name, std::vector<std::string> args, std::vector<std::string> lines = {},
                     int width = 1024, int height = 768, Ending ending = Ending::kRuns) {
  return {name, nullptr, lines, args, ending, width, height};
}

bool lineMatches(const std::string& line, const std::string& pattern) {
  if (!pattern.empty() && pattern.back() == '*')
    return line.rfind(pattern.substr(0, pattern.size() - 1), 0) == 0;
  return line == pattern;
}
bool isComplaint(const std::string& line) {
  return lineMatches(line, "SDL could not*") || lineMatches(line, "warning*") ||
         lineMatches(line, "shader file*");
}

class BadInputTest : public DemoTest, public ::testing::WithParamInterface<BadInput> {
 protected:
  fs::path runDir;

  void SetUp() override {
    DemoTest::SetUp();
    char pattern[] = "/tmp/lumarok-bad-input-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    runDir = pattern;
    // A private copy of the run directory, so each row breaks only its own.
    for (const char* sub : {"shaders", "res"})
      fs::copy(fs::path(LUMAROK_BINARY_DIR) / sub, runDir / sub, fs::copy_options::recursive);
    if (GetParam().change) GetParam().change(runDir);
    demo.workDir = runDir.string();
  }

  void TearDown() override {
    DemoTest::TearDown();
    std::error_code ignored;
    if (!runDir.empty()) fs::remove_all(runDir, ignored);
  }

  // Frames are going: the p key makes every frame print the camera path's segment. A tap that SDL
  // dropped (see flood) is tried again; one that arrived gives a line within a frame.
  ::testing::AssertionResult framesGoOn() {
    for (int attempt = 0; attempt < 5; ++attempt) {
      size_t from = demo.out.size();
      if (!x.tap(XK_p)) return ::testing::AssertionFailure() << "cannot type p";
      if (demo.waitForOutput("\n0\n", 2000, from > 0 ? from - 1 : 0)) return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "no frame after the p key\n" << demo.describe();
  }

  // Ten thousand key and mouse events sent in one burst: far more than one frame takes.
  void flood() {
    Display* d = x.display;
    KeyCode right = XKeysymToKeycode(d, XK_Right), up = XKeysymToKeycode(d, XK_Up);
    for (int i = 0; i < 2000; ++i) {
      XTestFakeKeyEvent(d, i % 2 ? right : up, True, CurrentTime);
      XTestFakeKeyEvent(d, i % 2 ? right : up, False, CurrentTime);
      XTestFakeMotionEvent(d, -1, i % 1000, i % 700, CurrentTime);
      XTestFakeButtonEvent(d, 1 + i % 3, True, CurrentTime);
      XTestFakeButtonEvent(d, 1 + i % 3, False, CurrentTime);
    }
    // SDL keeps at most 128 events and drops the rest while it drains X's queue in one go, so the
    // p key of the check that follows must come after the flood has been read, not inside it.
    XSync(d, False);
    usleep(300000);
  }

  void checkLines() {
    const std::vector<std::string> out = demo.outLines(), &expected = GetParam().lines;
    size_t at = 0;
    for (const std::string& pattern : expected) {
      while (at < out.size() && !lineMatches(out[at], pattern)) ++at;
      EXPECT_LT(at, out.size()) << "missing (or out of order): " << pattern << "\n" << demo.describe();
      if (at < out.size()) ++at;
    }
    for (const std::string& line : out) {
      bool listed = !isComplaint(line);
      for (const std::string& pattern : expected) listed = listed || lineMatches(line, pattern);
      EXPECT_TRUE(listed) << "unexpected line: " << line;
    }
  }
};

TEST_P(BadInputTest, EndsAsTheRowSaysWithItsLines) {
  const BadInput& c = GetParam();
  if (c.ending == Ending::kUsage) {
    ASSERT_TRUE(runToExit(c.args));
    EXPECT_EQ(demo.exitStatus, 255) << demo.describe();
    EXPECT_EQ(x.waitForTopLevel(0), 0u) << "no window may open";
  } else if (c.ending == Ending::kCloseAtOnce) {
    ASSERT_TRUE(demo.start(c.args, xvfb.display));
    window = x.waitForTopLevel(kWindowTimeoutMs);
    ASSERT_NE(window, 0u) << demo.describe();
    ASSERT_TRUE(closeWindow());
    EXPECT_EQ(demo.exitStatus, 0) << demo.describe();
    EXPECT_NE(demo.out.find("CUBETEX:"), std::string::npos) << "start-up must complete\n" << demo.describe();
  } else {
    ASSERT_TRUE(launch(c.args));
    int width = 0, height = 0;
    ASSERT_TRUE(x.windowSize(window, width, height));
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(height, c.height);
    if (c.ending == Ending::kFloodKeys) flood();
    EXPECT_TRUE(framesGoOn());
    ASSERT_TRUE(closeWindow());
    EXPECT_EQ(demo.exitStatus, 0) << demo.describe();
  }
  EXPECT_EQ(demo.termSignal, 0) << demo.describe();
  EXPECT_EQ(demo.err, "") << "nothing goes to standard error";
  checkLines();
}

std::vector<BadInput> badInputs() {
  const std::string good = readFile(fs::path(LUMAROK_BINARY_DIR) / kVertexFile);
  const std::string goodImage = readFile(fs::path(LUMAROK_BINARY_DIR) / kSurfaceFile);
  // Compiles and links, but declares none of the demo's names.
  const RunDirChange bareShaders = replaceShaders("void main() { gl_Position = vec4(0.0, 0.0, 0.0, 1.0); }\n",
                                                  "void main() { gl_FragColor = vec4(1.0); }\n");
  // From the image fuzzer's corpus, without the first byte (the fuzzer's texture side); SDL decodes
  // it into a surface claiming 193 bytes per pixel.
  const std::string contradictory =
      readFile(fs::path(LUMAROK_SOURCE_DIR) / "tests/fuzz/corpus/image/regression-contradictory-format")
          .substr(1);
  return {
      // Shader files.
      broken("MissingShadersDir", removePath("shaders"),
             {kVertexMissing, kFragmentMissing, "ProjMatrix: -1", "NORMAL: 4294967295"}),
      broken("EmptyShaderFiles", replaceShaders("", ""),
             {kVertexMissing, kFragmentMissing, "ProjMatrix: -1"}),
      broken("BinaryShaderFiles", replaceShaders(binaryBytes(), binaryBytes()),
             {"ProjMatrix: -1", "CUBETEX:4294967295"}),
      broken("BrokenVertexShader", replaceFile(kVertexFile, good.substr(0, good.size() / 2)),
             {"ProjMatrix: -1", "CUBETEX:4294967295"}),
      broken("ShadersLackingInterfaceNames", bareShaders,
             {"GELINKT", "ProjMatrix: -1", "VERTEX: 4294967295", "CUBETEX:4294967295"}),
      // Images.
      broken("MissingResDir", removePath("res"), std::vector<std::string>(7, kUnloadable)),
      broken("TruncatedBmp", replaceFile(kSurfaceFile, goodImage.substr(0, 1000)), {kUnloadable}),
      broken("ZeroByteFile", replaceFile(kSurfaceFile, ""), {kUnloadable}),
      broken("OneByOneImage", replaceFile(kSurfaceFile, bmpFile(1, 1, 24)),
             {kSurfaceFile + " is 1 by 1 pixels, smaller than 256 by 256: not used"}),
      broken("EightBitImage", replaceFile(kSurfaceFile, bmpFile(256, 256, 8)), {kNotTruecolor}),
      broken("SixteenBitImage", replaceFile(kSurfaceFile, bmpFile(256, 256, 16)), {kNotTruecolor}),
      broken("ThirtyTwoBitImage", replaceFile(kSurfaceFile, bmpFile(256, 256, 32)), {}),
      broken("OddSizedCubeFace", replaceFile("res/cm_top.bmp", bmpFile(200, 130, 24)),
             {"warning: image.bmp's width is not a power of 2",
              "warning: image.bmp's height is not a power of 2"}),
      broken("HeaderClaims60000By60000", replaceFile(kSurfaceFile, bmpFile(4, 4, 24, 60000, 60000)),
             {kUnloadable}),
      broken("HeaderWithContradictoryFormat", replaceFile(kSurfaceFile, contradictory),
             {kSurfaceFile + ": the decoded image is unusable*"}),
      broken("PngRenamedToBmp",
             replaceFile(kSurfaceFile, std::string(reinterpret_cast<const char*>(kPng), sizeof kPng)),
             {kUnloadable}),
      // Command lines.
      commandLine("WidthBeyondInt", {"-w", "99999999999", "-h", "600"}, {}, 1024, 600),
      commandLine("SizeBeyondX", {"-w", "100000", "-h", "100000"},
                  {"window size 100000 by 100000 cannot be served; using 1024 by 768"}),
      commandLine("WidthBeyondGlLimits", {"-w", "16385", "-h", "16"},
                  {"window size 16385 by 16 cannot be served; using 1024 by 768"}),
      commandLine("OnePixelWindow", {"-w", "1", "-h", "1"}, {}, 1, 1),
      commandLine("TenThousandArguments", manyArguments()),
      commandLine("EmptyArguments", {"", "-f", "", ""}),
      commandLine("OnlyEmptyArguments", {"", "", ""}, {"Aufruf:"}, 0, 0, Ending::kUsage),
      // Input and window.
      commandLine("FloodOfKeysAndMouseInOneFrame", {"-f"}, {}, 1024, 768, Ending::kFloodKeys),
      commandLine("ClosedInTheFirstFrame", {"-f"}, {"GELINKT"}, 0, 0, Ending::kCloseAtOnce),
  };
}

INSTANTIATE_TEST_SUITE_P(Table, BadInputTest, ::testing::ValuesIn(badInputs()),
                         [](const ::testing::TestParamInfo<BadInput>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
