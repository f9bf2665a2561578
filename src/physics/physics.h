// The rigid-body world behind the bouncing sphere: an infinite ground plane and one sphere body,
// stepped by a fixed 0.01 per frame. The world is program-wide, behind free functions: the demo has
// one for its whole run, and start-up, the frame, the tools and the tests reach that one without
// holding an object. A second initPhysics replaces the first.
#pragma once

#include <glm/vec3.hpp>

// Creates the world with the sphere at rest at height 3; a world that already exists is torn down first.
void initPhysics();
// One collision test, one quick step of 0.01, contacts dropped. Does nothing without a world.
void stepPhysics();
// Centre of the sphere after the last step; the origin without a world.
glm::vec3 spherePosition();
// Releases the world and ODE; harmless when there is no world.
void shutdownPhysics();

// For tests and tools: the sphere's linear velocity, and the contact joints the last step created.
glm::vec3 sphereVelocity();
int lastStepContactCount();
