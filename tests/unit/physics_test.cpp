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
  glm::vec3 position;
  glm::vec3 velocity;
  int contacts;
};

// One world per recording; each case starts fresh from height 3.
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

struct Impact {
  int frame;            // first frame whose step has a contact joint
  float incomingSpeed;  // downward speed in the frame before
  float outgoingSpeed;  // vertical speed after the contact frame
};

std::vector<Impact> impacts(const std::vector<Frame>& frames) {
  std::vector<Impact> found;
  for (size_t i = 1; i < frames.size(); ++i)
    if (frames[i].contacts > 0 && frames[i - 1].contacts == 0)
      found.push_back({frames[i].number, -frames[i - 1].velocity.y, frames[i].velocity.y});
  return found;
}

class PhysicsTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { frames = new std::vector<Frame>(recordFrames(6000)); }
  static void TearDownTestSuite() {
    delete frames;
    frames = nullptr;
  }
  static std::vector<Frame>* frames;
};
std::vector<Frame>* PhysicsTest::frames = nullptr;

}  // namespace

TEST_F(PhysicsTest, StartsAtRestAtHeightThreeAndFallsUnderAFifthOfG) {
  initPhysics();
  EXPECT_EQ(spherePosition(), glm::vec3(0.0f, 3.0f, 0.0f));
  EXPECT_EQ(sphereVelocity(), glm::vec3(0.0f));
  shutdownPhysics();
  // After one simulated second the speed is g * t.
  EXPECT_NEAR((*frames)[99].velocity.y, -0.2f, 1e-5f);
  EXPECT_NEAR((*frames)[99].position.y, 3.0f - 0.1f, 2e-3f);
}

TEST_F(PhysicsTest, FirstContactAfterAboutFiveSecondsAtUnitSpeed) {
  std::vector<Impact> found = impacts(*frames);
  ASSERT_FALSE(found.empty());
  // Free fall of 2.5 units (centre 3, radius 0.5) at 0.2 units/s^2 takes five seconds of 0.01 steps.
  EXPECT_GE(found[0].frame, 495);
  EXPECT_LE(found[0].frame, 505);
  EXPECT_NEAR(found[0].incomingSpeed, 1.0f, 0.01f);
  // The sphere touched nothing on the way down.
  for (int n = 0; n < found[0].frame - 1; ++n) ASSERT_EQ((*frames)[n].contacts, 0) << "frame " << n + 1;
  // Contact begins when the lowest point reaches the plane: the centre is one radius up.
  EXPECT_NEAR((*frames)[found[0].frame - 2].position.y, 0.5f, 0.01f);
}

TEST_F(PhysicsTest, ReboundsAtEightTenthsOfImpactSpeedAndPeaksNearTwoPointOneTwo) {
  std::vector<Impact> found = impacts(*frames);
  ASSERT_GE(found.size(), 2u);
  // The 0.9 restitution, softened by the contact's CFM, leaves about 0.8 of the speed.
  EXPECT_NEAR(found[0].outgoingSpeed / found[0].incomingSpeed, 0.805f, 0.02f);
  float peak = 0.0f;
  for (int n = found[0].frame; n < found[1].frame; ++n) peak = std::max(peak, (*frames)[n].position.y);
  EXPECT_NEAR(peak, 2.12f, 0.02f);
  // Each following bounce loses about the same share.
  for (size_t k = 1; k < found.size(); ++k) {
    if (found[k].incomingSpeed < 0.1f) break;
    EXPECT_NEAR(found[k].outgoingSpeed / found[k].incomingSpeed, 0.8f, 0.03f) << "impact " << k;
    EXPECT_LT(found[k].incomingSpeed, found[k - 1].incomingSpeed);
  }
}

TEST_F(PhysicsTest, BouncingEndsOnceImpactsAreSlowerThanATenth) {
  std::vector<Impact> found = impacts(*frames);
  ASSERT_FALSE(found.empty());
  const Impact& last = found.back();
  EXPECT_LT(last.incomingSpeed, 0.1f);
  EXPECT_LT(last.outgoingSpeed, 0.01f);
  // Every faster impact before it bounced back up.
  for (size_t k = 0; k + 1 < found.size(); ++k) EXPECT_GE(found[k].incomingSpeed, 0.1f) << "impact " << k;
  EXPECT_GE(found.size(), 8u);
  // It comes to rest on the plane and keeps its one contact.
  const Frame& end = frames->back();
  EXPECT_NEAR(end.position.y, 0.5f, 1e-3f);
  EXPECT_NEAR(end.velocity.y, 0.0f, 1e-4f);
  EXPECT_EQ(end.contacts, 1);
}

TEST_F(PhysicsTest, NothingPushesTheSphereSideways) {
  for (const Frame& f : *frames) {
    ASSERT_EQ(f.position.x, 0.0f) << "frame " << f.number;
    ASSERT_EQ(f.position.z, 0.0f) << "frame " << f.number;
  }
}

TEST_F(PhysicsTest, OneJointOnlyWhileTouching) {
  for (size_t i = 1; i < frames->size(); ++i) {
    const Frame& f = (*frames)[i];
    ASSERT_LE(f.contacts, 1) << "frame " << f.number;
    // The collision test runs before the step, on the previous frame's position.
    const float lowest = (*frames)[i - 1].position.y - 0.5f;
    if (lowest > 0.001f) {
      ASSERT_EQ(f.contacts, 0) << "frame " << f.number;
    } else if (lowest < 0.0f) {
      ASSERT_EQ(f.contacts, 1) << "frame " << f.number;
    }
  }
}

TEST(PhysicsLifecycle, WorldsInSequenceBehaveAlike) {
  std::vector<Frame> first = recordFrames(600);
  std::vector<Frame> second = recordFrames(600);
  for (size_t i = 0; i < first.size(); ++i) ASSERT_EQ(first[i].position, second[i].position) << i;
}

TEST(PhysicsLifecycle, RepeatedInitStartsOverAndShutdownWithoutWorldIsHarmless) {
  shutdownPhysics();
  stepPhysics();
  EXPECT_EQ(lastStepContactCount(), 0);
  initPhysics();
  for (int n = 0; n < 100; ++n) stepPhysics();
  initPhysics();
  EXPECT_EQ(spherePosition(), glm::vec3(0.0f, 3.0f, 0.0f));
  shutdownPhysics();
  shutdownPhysics();
}
