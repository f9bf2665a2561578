// The real binary on a private X display: usage text and exit status, window size from the options,
// the first start-up lines, closing the window, and key presses typed through XTEST.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "support/demo_test.h"

namespace {
const char kUsage[] =
    "------------------------------\n"
    "lumarok\n"
    "------------------------------\n"
    "Aufruf:\n"
    "  lumarok [-f | -w <width> -h <height>] [-l <log>]\n"
    "   -f           Fullscreenmodus\n"
    "   -w <width>   Breite des Fensters\n"
    "   -h <height>  Hoehe des Fensters\n"
    "   -l <log>     Loggingaktivit\xE4t [0..2] (default: 1)\n"
    "\n";

// The label, then a positive whole number as the stream prints a double holding one.
bool isLabelledCount(const std::string& line, const std::string& label) {
  if (line.compare(0, label.size(), label) != 0 || line.size() == label.size()) return false;
  const std::string number = line.substr(label.size());
  return number[0] != '0' && number.find_first_not_of("0123456789") == std::string::npos;
}
}  // namespace

TEST_F(DemoTest, MissingOrIncompleteArgumentsPrintUsageAndExit255WithoutAWindow) {
  const std::vector<std::vector<std::string>> commandLines = {
      {}, {"-w", "800"}, {"-h", "600"}, {"-F"}, {"-l", "2"}, {"-W", "800", "-H", "600"}, {"-w", "-5"}, {"f"}};
  for (const auto& args : commandLines) {
    std::string shown;
    for (const std::string& a : args) shown += a + " ";
    ASSERT_TRUE(runToExit(args)) << shown;
    EXPECT_EQ(demo.exitStatus, 255) << shown;
    EXPECT_EQ(demo.out, kUsage) << shown;
    EXPECT_EQ(demo.err, "") << shown;
    EXPECT_EQ(x.waitForTopLevel(0), 0u) << shown << "no window may open";
  }
}

struct SizeCase {
  const char* name;
  std::vector<std::string> args;
  int width, height;
};
void PrintTo(const SizeCase& c, std::ostream* out) { *out << c.name; }

class WindowSizeTest : public DemoTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(WindowSizeTest, OpensWindowOfTheRequestedOrDefaultSize) {
  ASSERT_TRUE(launch(GetParam().args));
  int width = 0, height = 0;
  ASSERT_TRUE(x.windowSize(window, width, height));
  const WindowPixels pixels = x.grabPixels(window);
  EXPECT_EQ(std::vector<int>({width, height, pixels.width, pixels.height}),
            std::vector<int>({GetParam().width, GetParam().height, GetParam().width, GetParam().height}));
  ASSERT_TRUE(closeWindow());
  EXPECT_EQ(demo.exitStatus, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Options, WindowSizeTest,
    ::testing::Values(SizeCase{"WidthAndHeight", {"-w", "800", "-h", "600"}, 800, 600},
                      // never fullscreen, never the screen's size
                      SizeCase{"FullscreenFlagGivesDefault", {"-f"}, 1024, 768},
                      SizeCase{"ZeroWidth", {"-w", "0", "-h", "600"}, 1024, 600},
                      SizeCase{"TrailingLetterAndSign", {"-w", "800x", "-h", "+600"}, 1024, 768},
                      SizeCase{"ZeroHeight", {"-w", "800", "-h", "0"}, 800, 768},
                      SizeCase{"LaterWidthWins", {"-w", "800", "-h", "600", "-w", "640"}, 640, 600}),
    [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

TEST_F(DemoTest, StartupLinesComeFirstAndWindowCloseEndsTheRunWithStatusZero) {
  ASSERT_TRUE(launch({"-w", "320", "-h", "240"}));
  ASSERT_TRUE(closeWindow());
  EXPECT_EQ(demo.exitStatus, 0);
  EXPECT_EQ(demo.termSignal, 0);
  EXPECT_EQ(demo.err, "");
  EXPECT_EQ(x.waitForTopLevel(0), 0u) << "the window must be gone";
  const std::vector<std::string> lines = demo.outLines();
  ASSERT_GE(lines.size(), 4u) << demo.describe();
  EXPECT_EQ(lines[0], "GLEW running");
  EXPECT_TRUE(isLabelledCount(lines[1], "MAX TEXTURE IMAGE UNITS:")) << lines[1];
  EXPECT_TRUE(isLabelledCount(lines[2], "MAX COLOR ATTACHMENTS: ")) << lines[2];
  EXPECT_EQ(lines[3], "FRONTFACE CCW ");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "FRONTFACE CW "), 0);
}

// Keys the demo does not read leave it running; p sets the camera on its path, which prints the
// segment number, 0 first, every frame.
TEST_F(DemoTest, OtherKeysDoNotEndTheRunAndPStartsThePathSegmentLines) {
  ASSERT_TRUE(launch({"-w", "320", "-h", "240"}));
  for (unsigned long keysym : {XK_Escape, XK_q, XK_space, XK_a, XK_Return}) ASSERT_TRUE(x.tap(keysym));
  demo.pump(500);
  EXPECT_FALSE(demo.exited) << demo.describe();
  const std::vector<std::string> before = demo.outLines();
  EXPECT_EQ(std::count(before.begin(), before.end(), "0"), 0) << "segment lines before p\n"
                                                              << demo.describe();
  const size_t from = demo.out.size();
  ASSERT_TRUE(x.tap(XK_p));
  EXPECT_TRUE(demo.waitForOutput("\n0\n0\n0\n", 5000, from - 1)) << demo.describe();
  ASSERT_TRUE(closeWindow());
  EXPECT_EQ(demo.exitStatus, 0);
}

// Without any display SDL must fail plainly: one line naming the failure, no terminal takeover.
TEST_F(DemoTest, NoDisplayReportsTheFailureInOneLineAndExits255) {
  demo.env.push_back("SDL_VIDEODRIVER");  // the program picks the driver itself
  ASSERT_TRUE(demo.start({"-f"}, ""));
  ASSERT_TRUE(demo.wait(kExitTimeoutMs)) << demo.describe();
  EXPECT_EQ(demo.exitStatus, 255);
  const std::vector<std::string> lines = demo.outLines();
  ASSERT_EQ(lines.size(), 1u) << demo.describe();
  EXPECT_EQ(lines[0].rfind("SDL could not be initialised: ", 0), 0u) << lines[0];
  EXPECT_EQ(demo.out.find('\x1b'), std::string::npos) << "terminal control sequences on stdout";
  EXPECT_EQ(demo.err, "");
}
