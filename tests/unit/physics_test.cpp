// The bouncing sphere on the real ODE world, stepped frame by frame for a minute: free fall, impacts
// and rebounds, rest. The ranges are tight enough that a wrong gravity, restitution, time step or
// radius moves a figure out of them.
#include "physics/physics.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Physics, FallsForFiveSecondsBouncesBackAtFourFifthsAndComesToRestOnTheGround) {
  std::vector<glm::vec3> position, velocity;
  std::vector<int> impacts;  // frames whose step makes the first contact after a flight
  int contacts = 0;
  initPhysics();
  for (int n = 0; n < 6000; ++n) {
    const int before = contacts;
    stepPhysics();
    position.push_back(spherePosition());
    velocity.push_back(sphereVelocity());
    contacts = lastStepContactCount();
    if (contacts > 0 && before == 0) impacts.push_back(n);
    ASSERT_TRUE(position[n].x == 0.0f && position[n].z == 0.0f && contacts <= 1) << "frame " << n;
  }
  shutdownPhysics();
  EXPECT_NEAR(velocity[99].y, -0.2f, 1e-5f);  // a fifth of g, after one second
  // Centre 3, radius 0.5: 2.5 units at 0.2 units/s^2 take five seconds and end at unit speed.
  ASSERT_GE(impacts.size(), 8u);
  EXPECT_NEAR(impacts[0], 500, 5);
  EXPECT_NEAR(velocity[impacts[0] - 1].y, -1.0f, 0.01f);
  for (size_t k = 0; k + 1 < impacts.size(); ++k) {
    // The 0.9 restitution, softened by the contact's CFM, gives back about 0.8 of the speed, down to 0.1.
    EXPECT_NEAR(velocity[impacts[k]].y / -velocity[impacts[k] - 1].y, 0.8f, 0.03f) << "impact " << k;
    EXPECT_GE(-velocity[impacts[k] - 1].y, 0.1f) << "impact " << k;
  }
  EXPECT_NEAR(position.back().y, 0.5f, 1e-3f);
  EXPECT_EQ(contacts, 1);
}
