#include "geometry/mesh.h"

// Placeholder until the mesh lands.
Mesh::Mesh(GLint location) : modelMatrixLocation(location) {}
Mesh::~Mesh() {}
void Mesh::upload() {}
void Mesh::draw(GLuint, GLuint, GLuint) const {}
void Mesh::deleteBuffers() {}
