// The bouncing sphere on the real ODE world, stepped frame by frame: free fall, impacts and
// rebounds, the end of bouncing, and the contact joints of each step. The ranges are tight enough
// that a wrong gravity, restitution, time step or radius moves a figure out of them.
#include "physics/physics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct Frame {
  int number;
  glm::vec3 position, velocity;
  int contacts;
};

// One world per recording, started fresh from height 3.
std::vector<Frame> recordFrames(int count) {
  initPhysics();
  std::vector<Frame> frames;
  for (int n = 1; n <= count; ++n) {
    stepPhysics();
    frames.push_back({n, spherePosition(), sphereVelocity(), lastStepContactCount()});
  }
  shutdownPhysics();
  return frames;
}

// Sixty simulated seconds, recorded once for every case that only reads them.
const std::vector<Frame>& frames() {
  static const std::vector<Frame> recorded = recordFrames(6000);
  return recorded;
}

struct Impact {
  int frame;            // first frame whose step has a contact joint
  float incomingSpeed;  // downward speed in the frame before
  float outgoingSpeed;  // vertical speed after the contact frame
};

std::vector<Impact> impacts() {
  std::vector<Impact> found;
  for (size_t i = 1; i < frames().size(); ++i)
    if (frames()[i].contacts > 0 && frames()[i - 1].contacts == 0)
      found.push_back({frames()[i].number, -frames()[i - 1].velocity.y, frames()[i].velocity.y});
  return found;
}

}  // namespace

TEST(Physics, FallsFromRestAtHeightThreeUnderAFifthOfGAndTouchesAfterFiveSecondsAtUnitSpeed) {
  initPhysics();
  EXPECT_EQ(spherePosition(), glm::vec3(0.0f, 3.0f, 0.0f));
  EXPECT_EQ(sphereVelocity(), glm::vec3(0.0f));
  shutdownPhysics();
  EXPECT_NEAR(frames()[99].velocity.y, -0.2f, 1e-5f);  // g * t after one second
  EXPECT_NEAR(frames()[99].position.y, 3.0f - 0.1f, 2e-3f);
  const std::vector<Impact> found = impacts();
  ASSERT_FALSE(found.empty());
  // 2.5 units (centre 3, radius 0.5) at 0.2 units/s^2 take five seconds of 0.01 steps.
  EXPECT_GE(found[0].frame, 495);
  EXPECT_LE(found[0].frame, 505);
  EXPECT_NEAR(found[0].incomingSpeed, 1.0f, 0.01f);
  // Contact begins when the lowest point reaches the plane: the centre is one radius up.
  EXPECT_NEAR(frames()[found[0].frame - 2].position.y, 0.5f, 0.01f);
}

TEST(Physics, ReboundsAtEightTenthsOfImpactSpeedPeaksNearTwoPointOneTwoAndStopsBelowATenth) {
  const std::vector<Impact> found = impacts();
  ASSERT_GE(found.size(), 8u);
  // The 0.9 restitution, softened by the contact's CFM, leaves about 0.8 of the speed.
  EXPECT_NEAR(found[0].outgoingSpeed / found[0].incomingSpeed, 0.805f, 0.02f);
  float peak = 0.0f;
  for (int n = found[0].frame; n < found[1].frame; ++n) peak = std::max(peak, frames()[n].position.y);
  EXPECT_NEAR(peak, 2.12f, 0.02f);
  // Every impact but the last is faster than 0.1 and bounces back with about the same share.
  for (size_t k = 1; k + 1 < found.size(); ++k) {
    EXPECT_GE(found[k].incomingSpeed, 0.1f) << "impact " << k;
    EXPECT_LT(found[k].incomingSpeed, found[k - 1].incomingSpeed);
    EXPECT_NEAR(found[k].outgoingSpeed / found[k].incomingSpeed, 0.8f, 0.03f) << "impact " << k;
  }
  EXPECT_LT(found.back().incomingSpeed, 0.1f);
  EXPECT_LT(found.back().outgoingSpeed, 0.01f);
  // It comes to rest on the plane and keeps its one contact.
  EXPECT_NEAR(frames().back().position.y, 0.5f, 1e-3f);
  EXPECT_NEAR(frames().back().velocity.y, 0.0f, 1e-4f);
  EXPECT_EQ(frames().back().contacts, 1);
}

TEST(Physics, OneJointOnlyWhileTouchingAndNothingPushesSideways) {
  for (size_t i = 1; i < frames().size(); ++i) {
    const Frame& f = frames()[i];
    ASSERT_TRUE(f.position.x == 0.0f && f.position.z == 0.0f && f.contacts <= 1) << "frame " << f.number;
    // The collision test runs before the step, on the previous frame's position; grazing may go either way.
    const float lowest = frames()[i - 1].position.y - 0.5f;
    if (lowest >= 0.0f && lowest <= 0.001f) continue;
    ASSERT_EQ(f.contacts, lowest < 0.0f ? 1 : 0) << "frame " << f.number;
  }
}

TEST(PhysicsLifecycle, WorldsStartOverAlikeAndShutdownWithoutWorldIsHarmless) {
  shutdownPhysics();
  stepPhysics();
  EXPECT_EQ(lastStepContactCount(), 0);
  initPhysics();
  for (int n = 0; n < 100; ++n) stepPhysics();
  initPhysics();
  EXPECT_EQ(spherePosition(), glm::vec3(0.0f, 3.0f, 0.0f));
  shutdownPhysics();
  shutdownPhysics();
  const std::vector<Frame> first = recordFrames(600), second = recordFrames(600);
  for (size_t i = 0; i < first.size(); ++i) ASSERT_EQ(first[i].position, second[i].position) << i;
}
