#include "gpu/textures.h"

// Placeholder until the textures land.
void SceneTextures::loadSurfaceTexture(const std::string&) {}
void SceneTextures::loadCubeMap(const std::string&) {}
void SceneTextures::destroy() {}
