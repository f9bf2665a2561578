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

// A BMP file with a 40-byte info header, uncompressed; `claimedWidth`/`claimedHeight` (when not 0)
// go into the header instead of the real size, so the header can promise more than the file holds.
std::string bmpFile(int width, int height, int bitsPerPixel, int claimedWidth = 0, int claimedHeight = 0) {
  int rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
  int paletteBytes = bitsPerPixel == 8 ? 256 * 4 : 0;
  int dataBytes = rowBytes * height;
  int offset = 14 + 40 + paletteBytes;
  std::string out;
  auto u16 = [&](uint32_t v) { out += char(v & 0xFF), out += char((v >> 8) & 0xFF); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  out += "BM";
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

// Compiles and links, but declares none of the demo's names.
const char kBareVertexShader[] = "void main() { gl_Position = vec4(0.0, 0.0, 0.0, 1.0); }\n";
const char kBareFragmentShader[] = "void main() { gl_FragColor = vec4(1.0); }\n";

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string binaryBytes() {
  std::string bytes;
  for (int i = 0; i < 4096; ++i) bytes += char((i * 37) & 0xFF);  // NULs and high bytes included
  return bytes;
}

std::vector<std::string> manyArguments() {
  std::vector<std::string> args{"-f"};
  // Options with values, options without, stray words and hyphen-only arguments, 10000 in all.
  for (int i = 0; args.size() < 10000; ++i) {
    args.push_back("-opt" + std::to_string(i));
    if (i % 3 == 0) args.push_back("value" + std::to_string(i));
    if (i % 7 == 0) args.push_back("-");
  }
  args.resize(10000);
  return args;
}

// An input from the image fuzzer's corpus, without its first byte (the fuzzer's texture side).
std::string fuzzImage(const std::string& name) {
  return readFile(fs::path(LUMAROK_SOURCE_DIR) / "tests/fuzz/corpus/image" / name).substr(1);
}

const char kShaders[] = "shaders";
const char kImages[] = "res";
const char kUnloadable[] = "SDL could not load image.bmp: *";
const char kNotTruecolor[] = "warning: the image is not truecolor..  this will probably break";

enum class Ending {
  kRuns,       // the window opens, frames go on, closing it gives status 0
  kUsage,      // usage text, status 255, no window
  kFloodKeys,  // runs, takes a flood of key and mouse events in one frame, then runs on
  kCloseAtOnce,
};

struct BadInput {
  const char* name;
  std::function<void(const fs::path& runDir)> breakRunDir;  // null: the run directory stays whole
  std::vector<std::string> args;
  Ending ending;
  // Lines standard output must hold, in this order (others may come between); a trailing '*'
  // matches any rest of the line. Lines starting with "SDL could not", "warning" or "shader file"
  // that are not listed here must not appear.
  std::vector<std::string> lines;
  int width = 1024, height = 768;  // the window, when one opens
};
void PrintTo(const BadInput& c, std::ostream* out) { *out << c.name; }

std::function<void(const fs::path&)> replaceFile(std::string relative, std::string bytes) {
  return [=](const fs::path& dir) { writeFile(dir / relative, bytes); };
}
std::function<void(const fs::path&)> removePath(std::string relative) {
  return [=](const fs::path& dir) { fs::remove_all(dir / relative); };
}
std::function<void(const fs::path&)> replaceShaders(std::string vertex, std::string fragment) {
  return [=](const fs::path& dir) {
    writeFile(dir / kShaders / "vertexShader.txt", vertex);
    writeFile(dir / kShaders / "fragmentShader.txt", fragment);
  };
}

bool lineMatches(const std::string& line, const std::string& pattern) {
  if (!pattern.empty() && pattern.back() == '*')
    return line.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
  return line == pattern;
}

bool isComplaint(const std::string& line) {
  return line.rfind("SDL could not", 0) == 0 || line.rfind("warning", 0) == 0 ||
         line.rfind("shader file", 0) == 0;
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
    fs::copy(fs::path(LUMAROK_BINARY_DIR) / kShaders, runDir / kShaders, fs::copy_options::recursive);
    fs::copy(fs::path(LUMAROK_BINARY_DIR) / kImages, runDir / kImages, fs::copy_options::recursive);
    if (GetParam().breakRunDir) GetParam().breakRunDir(runDir);
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
    const BadInput& c = GetParam();
    std::vector<std::string> out = demo.outLines();
    size_t at = 0;
    for (const std::string& pattern : c.lines) {
      while (at < out.size() && !lineMatches(out[at], pattern)) ++at;
      EXPECT_LT(at, out.size()) << "missing (or out of order): " << pattern << "\n" << demo.describe();
      if (at < out.size()) ++at;
    }
    for (const std::string& line : out) {
      if (!isComplaint(line)) continue;
      bool listed = false;
      for (const std::string& pattern : c.lines) listed = listed || lineMatches(line, pattern);
      EXPECT_TRUE(listed) << "unexpected line: " << line;
    }
  }
};

TEST_P(BadInputTest, EndsAsTheRowSaysWithItsLines) {
  const BadInput& c = GetParam();
  switch (c.ending) {
    case Ending::kUsage:
      ASSERT_TRUE(runToExit(c.args));
      EXPECT_EQ(demo.exitStatus, 255) << demo.describe();
      EXPECT_EQ(x.waitForTopLevel(0), 0u) << "no window may open";
      break;
    case Ending::kCloseAtOnce: {
      // Closed before start-up has even finished: the first frame sees the quit and is the last.
      ASSERT_TRUE(demo.start(c.args, xvfb.display));
      window = x.waitForTopLevel(kWindowTimeoutMs);
      ASSERT_NE(window, 0u) << demo.describe();
      ASSERT_TRUE(closeWindow());
      EXPECT_EQ(demo.exitStatus, 0) << demo.describe();
      EXPECT_NE(demo.out.find("CUBETEX:"), std::string::npos) << "start-up must complete\n"
                                                              << demo.describe();
      break;
    }
    case Ending::kRuns:
    case Ending::kFloodKeys: {
      ASSERT_TRUE(launch(c.args));
      int width = 0, height = 0;
      ASSERT_TRUE(x.windowSize(window, width, height));
      EXPECT_EQ(width, c.width);
      EXPECT_EQ(height, c.height);
      if (c.ending == Ending::kFloodKeys) flood();
      EXPECT_TRUE(framesGoOn());
      ASSERT_TRUE(closeWindow());
      EXPECT_EQ(demo.exitStatus, 0) << demo.describe();
      break;
    }
  }
  EXPECT_EQ(demo.termSignal, 0) << demo.describe();
  EXPECT_EQ(demo.err, "") << "nothing goes to standard error";
  checkLines();
}

const std::string kVertexFile = std::string(kShaders) + "/vertexShader.txt";
const std::string kFragmentFile = std::string(kShaders) + "/fragmentShader.txt";
const std::string kSurfaceFile = std::string(kImages) + "/test.bmp";
const std::vector<std::string> kFullScreen = {"-f"};

std::vector<BadInput> badInputs() {
  const std::string good = readFile(fs::path(LUMAROK_BINARY_DIR) / kVertexFile);
  const std::string goodImage = readFile(fs::path(LUMAROK_BINARY_DIR) / kSurfaceFile);
  return {
      // Shader files.
      {"MissingShadersDir",
       removePath(kShaders),
       kFullScreen,
       Ending::kRuns,
       {"shader file " + kVertexFile + " is missing or empty",
        "shader file " + kFragmentFile + " is missing or empty", "ProjMatrix: -1", "NORMAL: 4294967295"}},
      {"EmptyShaderFiles",
       replaceShaders("", ""),
       kFullScreen,
       Ending::kRuns,
       {"shader file " + kVertexFile + " is missing or empty",
        "shader file " + kFragmentFile + " is missing or empty", "ProjMatrix: -1"}},
      {"BinaryShaderFiles",
       replaceShaders(binaryBytes(), binaryBytes()),
       kFullScreen,
       Ending::kRuns,
       {"ProjMatrix: -1", "CUBETEX:4294967295"}},
      {"BrokenVertexShader",
       replaceFile(kVertexFile, good.substr(0, good.size() / 2)),
       kFullScreen,
       Ending::kRuns,
       {"ProjMatrix: -1", "CUBETEX:4294967295"}},
      {"ShadersLackingInterfaceNames",
       replaceShaders(kBareVertexShader, kBareFragmentShader),
       kFullScreen,
       Ending::kRuns,
       {"GELINKT", "ProjMatrix: -1", "VERTEX: 4294967295", "CUBETEX:4294967295"}},
      // Images.
      {"MissingResDir", removePath(kImages), kFullScreen, Ending::kRuns,
       std::vector<std::string>(7, kUnloadable)},
      {"TruncatedBmp",
       replaceFile(kSurfaceFile, goodImage.substr(0, 1000)),
       kFullScreen,
       Ending::kRuns,
       {kUnloadable}},
      {"ZeroByteFile", replaceFile(kSurfaceFile, ""), kFullScreen, Ending::kRuns, {kUnloadable}},
      {"OneByOneImage",
       replaceFile(kSurfaceFile, bmpFile(1, 1, 24)),
       kFullScreen,
       Ending::kRuns,
       {kSurfaceFile + " is 1 by 1 pixels, smaller than 256 by 256: not used"}},
      {"EightBitImage",
       replaceFile(kSurfaceFile, bmpFile(256, 256, 8)),
       kFullScreen,
       Ending::kRuns,
       {kNotTruecolor}},
      {"SixteenBitImage",
       replaceFile(kSurfaceFile, bmpFile(256, 256, 16)),
       kFullScreen,
       Ending::kRuns,
       {kNotTruecolor}},
      {"ThirtyTwoBitImage", replaceFile(kSurfaceFile, bmpFile(256, 256, 32)), kFullScreen, Ending::kRuns, {}},
      {"OddSizedCubeFace",
       replaceFile(std::string(kImages) + "/cm_top.bmp", bmpFile(200, 130, 24)),
       kFullScreen,
       Ending::kRuns,
       {"warning: image.bmp's width is not a power of 2", "warning: image.bmp's height is not a power of 2"}},
      {"HeaderClaims60000By60000",
       replaceFile(kSurfaceFile, bmpFile(4, 4, 24, 60000, 60000)),
       kFullScreen,
       Ending::kRuns,
       {kUnloadable}},
      // Found by the image fuzzer: SDL decodes it into a surface claiming 193 bytes per pixel.
      {"HeaderWithContradictoryFormat",
       replaceFile(kSurfaceFile, fuzzImage("regression-contradictory-format")),
       kFullScreen,
       Ending::kRuns,
       {kSurfaceFile + ": the decoded image is unusable*"}},
      {"PngRenamedToBmp",
       replaceFile(kSurfaceFile, std::string(reinterpret_cast<const char*>(kPng), sizeof kPng)),
       kFullScreen,
       Ending::kRuns,
       {kUnloadable}},
      // Command lines.
      {"WidthBeyondInt", nullptr, {"-w", "99999999999", "-h", "600"}, Ending::kRuns, {}, 1024, 600},
      {"SizeBeyondX",
       nullptr,
       {"-w", "100000", "-h", "100000"},
       Ending::kRuns,
       {"window size 100000 by 100000 cannot be served; using 1024 by 768"}},
      {"WidthBeyondGlLimits",
       nullptr,
       {"-w", "16385", "-h", "16"},
       Ending::kRuns,
       {"window size 16385 by 16 cannot be served; using 1024 by 768"}},
      {"OnePixelWindow", nullptr, {"-w", "1", "-h", "1"}, Ending::kRuns, {}, 1, 1},
      {"TenThousandArguments", nullptr, manyArguments(), Ending::kRuns, {}},
      {"EmptyArguments", nullptr, {"", "-f", "", ""}, Ending::kRuns, {}},
      {"OnlyEmptyArguments", nullptr, {"", "", ""}, Ending::kUsage, {"Aufruf:"}},
      // Input and window.
      {"FloodOfKeysAndMouseInOneFrame", nullptr, kFullScreen, Ending::kFloodKeys, {}},
      {"ClosedInTheFirstFrame", nullptr, kFullScreen, Ending::kCloseAtOnce, {"GELINKT"}},
  };
}

INSTANTIATE_TEST_SUITE_P(Table, BadInputTest, ::testing::ValuesIn(badInputs()),
                         [](const ::testing::TestParamInfo<BadInput>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
