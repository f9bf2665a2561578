// The one GLSL program: read from two text files, compiled, bound to the fixed attribute indices,
// linked and made current; then every interface location looked up once and printed.
// Failures print the driver's log and start-up carries on, so a broken shader still shows a window.
#pragma once

#include <GL/glew.h>

#include <string>

// Whole text of a file with every line ending in exactly one line feed ("\r\n" becomes "\n");
// empty when the file cannot be opened.
std::string readTextFile(std::string path);
// Prints the shader's info log on a line of its own when there is one.
void printShaderLog(GLuint shader);

// Locations kept at start-up. Matrices are signed; attributes and samplers are held unsigned,
// so a missing name reads 4294967295.
struct ShaderLocations {
  GLint pMatrix = -1, mMatrix = -1, vMatrix = -1, tMatrix = -1;
  GLint pMatrix_old = -1, mMatrix_old = -1, vMatrix_old = -1;
  GLuint in_vertex = 0, in_normal = 0, texCoords = 0, texFlag = 0, in_light = 0, in_view = 0, in_pass = 0;
  GLuint in_shadow_on = 0, in_cubemap_factor = 0, in_texture_factor = 0;
  GLuint tex = 0, shadowTex = 0, cubeTex = 0;
  GLuint in_motion_blur = 0;
};

struct ShaderProgram {
  GLuint shaderProgram = 0;
  GLuint vertexShader = 0;
  GLuint fragmentShader = 0;
  ShaderLocations locations;

  // Builds the program from the two files and leaves it current, whatever the outcome.
  void load(const std::string& vertexPath, const std::string& fragmentPath);
  // Looks up every kept location in table order and prints its line.
  void queryLocations();
  // Deletes the shaders and the program (deleting 0 is harmless) and zeroes the names.
  void destroy();
};
