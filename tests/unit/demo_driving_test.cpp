// Key presses handed to the demo reach its switches as the keyboard's would.
#include "demo_driving.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/demo_app.h"

TEST(KeyPresses, ReachTheSwitchesThroughTheDemosOwnEventHandling) {
  DemoApp app;
  app.controls.reset();
  const auto switches = [&] {
    return std::vector<int>{app.controls.shadowSwitch, app.controls.cubeMapSwitch, app.controls.blurSwitch};
  };
  setSwitches(app, true, false, true);
  EXPECT_EQ(switches(), std::vector<int>({1, 0, 1}));
  setSwitches(app, false, true, false);
  EXPECT_EQ(switches(), std::vector<int>({0, 1, 0}));
  // A press is always followed by its release: no step is left behind to act on later events.
  pressKey(app, SDLK_RIGHT);
  EXPECT_EQ(app.controls.offsetX, 1);
  EXPECT_EQ(app.controls.stepX, 0);
}
