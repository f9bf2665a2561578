#include "geometry/mesh.h"

// Placeholder until the shapes land.
void Mesh::createPlane() {}
void Mesh::createSphere(float) {}
void Mesh::createCube(float) {}
