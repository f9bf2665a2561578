// The demo through a few hundred frames and an orderly close. In the sanitizer build the binary
// is checked by LeakSanitizer at exit, so this run fails on any leak of ours; scripts/memcheck.sh
// runs the same case under valgrind by naming a wrapper command in LUMAROK_E2E_WRAPPER.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "support/demo_test.h"

// After gtest: Xlib's macros (None, Bool) would break its templates.
#include <X11/keysym.h>

namespace {
const int kFrames = 300;

// "valgrind --leak-check=full ..." split at blanks; empty when the variable is unset.
std::vector<std::string> wrapperCommand() {
  std::vector<std::string> words;
  const char* text = std::getenv("LUMAROK_E2E_WRAPPER");
  std::istringstream in(text != nullptr ? text : "");
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// Lines after start-up that are only a number: the camera path's segment, one per frame.
size_t countPathLines(const std::string& out) {
  size_t start = out.find("CUBETEX:");
  if (start == std::string::npos) return 0;
  size_t count = 0;
  std::istringstream in(out.substr(start));
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line))
    if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) ++count;
  return count;
}
}  // namespace

TEST_F(DemoTest, HundredsOfFramesThenCloseExitCleanly) {
  std::vector<std::string> args = wrapperCommand();
  // A wrapper such as valgrind slows everything down by tens of times.
  const int timeoutMs = args.empty() ? 60000 : 3600000;
  if (!args.empty()) {
    demo.binary = args.front();
    args.erase(args.begin());
    args.push_back(LUMAROK_BINARY_DIR "/lumarok");
  }
  args.insert(args.end(), {"-w", "320", "-h", "240"});
  ASSERT_TRUE(demo.start(args, xvfb.display));
  // Polled in short steps so that a wrapper that fails at once ends the test at once.
  for (int waited = 0; window == 0 && waited < timeoutMs && demo.pump(0); waited += 1000)
    window = x.waitForTopLevel(1000);
  ASSERT_NE(window, 0u) << demo.describe();
  ASSERT_TRUE(demo.waitForOutput("CUBETEX:", timeoutMs)) << demo.describe();
  ASSERT_TRUE(x.focus(window));
  // The path switch prints the segment once per frame: that counts the frames.
  ASSERT_TRUE(x.tap(XK_p));
  while (countPathLines(demo.out) < kFrames && demo.pump(timeoutMs)) {
  }
  EXPECT_GE(countPathLines(demo.out), static_cast<size_t>(kFrames)) << demo.describe();
  ASSERT_TRUE(x.sendDeleteWindow(window));
  ASSERT_TRUE(demo.wait(timeoutMs)) << demo.describe();
  EXPECT_EQ(demo.exitStatus, 0) << demo.describe();
  EXPECT_EQ(demo.termSignal, 0) << demo.describe();
  if (demo.binary == LUMAROK_BINARY_DIR "/lumarok") {
    EXPECT_EQ(demo.err, "") << "nothing goes to standard error";
  }
}
