// Fixture for end-to-end tests: each test gets its own Xvfb, an X connection to it, and the demo
// as a child process on that display.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/demo_process.h"
#include "support/x_window.h"
#include "support/xvfb_server.h"

class DemoTest : public ::testing::Test {
 protected:
  // Generous limits: they only bound a hung run, a healthy one takes a fraction of them.
  static constexpr int kWindowTimeoutMs = 15000;
  static constexpr int kExitTimeoutMs = 15000;

  XvfbServer xvfb;
  XClient x;
  DemoProcess demo;
  Window window = 0;

  void SetUp() override;
  void TearDown() override;

  // Starts the demo with `args` and waits for it to exit (for runs that never open a window).
  ::testing::AssertionResult runToExit(const std::vector<std::string>& args);
  // Starts the demo, waits for its window and the last start-up line of GL information, and
  // gives the window the keyboard focus.
  ::testing::AssertionResult launch(const std::vector<std::string>& args);
  // Closes the window as a window manager would and waits for the exit.
  ::testing::AssertionResult closeWindow();
};
