// The end-to-end fixture: private display per test, launch, close.
#include "support/demo_test.h"

void DemoTest::SetUp() {
  std::string error;
  ASSERT_TRUE(xvfb.start(&error)) << error;
  ASSERT_TRUE(x.open(xvfb.display)) << "cannot connect to " << xvfb.display << " with XTEST";
}

void DemoTest::TearDown() {
  demo.kill();
  x.close();
  xvfb.stop();
}

::testing::AssertionResult DemoTest::runToExit(const std::vector<std::string>& args) {
  if (!demo.start(args, xvfb.display)) return ::testing::AssertionFailure() << "cannot start " << demo.binary;
  if (!demo.wait(kExitTimeoutMs)) return ::testing::AssertionFailure() << demo.describe();
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult DemoTest::launch(const std::vector<std::string>& args) {
  if (!demo.start(args, xvfb.display)) return ::testing::AssertionFailure() << "cannot start " << demo.binary;
  window = x.waitForTopLevel(kWindowTimeoutMs);
  if (window == 0) return ::testing::AssertionFailure() << "no window appeared\n" << demo.describe();
  // The GL lines come right after the window opens; waiting for them means the program runs.
  if (!demo.waitForOutput("FRONTFACE", kWindowTimeoutMs))
    return ::testing::AssertionFailure() << "start-up did not finish\n" << demo.describe();
  if (!x.focus(window)) return ::testing::AssertionFailure() << "cannot focus the window";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult DemoTest::closeWindow() {
  if (!x.sendDeleteWindow(window)) return ::testing::AssertionFailure() << "cannot send WM_DELETE_WINDOW";
  if (!demo.wait(kExitTimeoutMs)) return ::testing::AssertionFailure() << demo.describe();
  return ::testing::AssertionSuccess();
}
