#include "gpu/render_targets.h"

// Placeholder until the render targets land.
void RenderTargets::create(int, int) {}
void RenderTargets::destroy() {}
