// The rigid-body world behind the bouncing sphere: an infinite ground plane and one sphere body,
// stepped by a fixed 0.01 per frame. ODE's collision callback gets no object, so the handles are
// program-wide; there is one world per process at a time.
#pragma once

#include <glm/vec3.hpp>

void initPhysics();
void stepPhysics();
glm::vec3 spherePosition();
void shutdownPhysics();
