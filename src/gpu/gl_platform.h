// What differs between the GL contexts the demo meets, in one place. The rest of the code calls GL
// 3.0's names for framebuffer objects; a GL 2.1 context (macOS's legacy profile, older drivers)
// may offer them only as GL_EXT_framebuffer_object, whose functions behave the same for our use.
#pragma once

// Points the framebuffer-object functions at whatever this context offers, after glewInit: the core
// or ARB ones, else the EXT ones, else functions that do nothing and report every framebuffer as
// incomplete, so the passes draw into the window and the final pass still shows the scene (after one
// line on standard output).
void useFramebufferFunctions();
