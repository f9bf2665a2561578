#include "physics/physics.h"

// Placeholder until the physics world lands.
void initPhysics() {}
void stepPhysics() {}
glm::vec3 spherePosition() { return glm::vec3(0.0f, 3.0f, 0.0f); }
void shutdownPhysics() {}
