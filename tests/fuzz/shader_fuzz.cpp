// Fuzzes the shader text path with a real GL context: the bytes, split at the first NUL byte, are
// written as the vertex and fragment shader files, then read, compiled, linked and every location
// looked up, as at start-up. A program that linked must be current afterwards.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_support.h"
#include "gpu/shader_program.h"

namespace {
const std::string kDir = "/tmp/lumarok-shader-fuzz-" + std::to_string(getpid());

std::string write(const std::string& name, const std::string& bytes) {
  std::ofstream(kDir + "/" + name, std::ios::binary | std::ios::trunc) << bytes;
  return kDir + "/" + name;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  openFuzzGlContext();
  std::filesystem::create_directories(kDir);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const size_t split = bytes.find('\0');
  ShaderProgram program;
  program.load(write("vertexShader.txt", bytes.substr(0, split)),
               write("fragmentShader.txt", split == std::string::npos ? "" : bytes.substr(split + 1)));
  program.queryLocations();
  GLint linked = GL_FALSE, current = 0;
  glGetProgramiv(program.shaderProgram, GL_LINK_STATUS, &linked);
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  FUZZ_CHECK(linked == GL_FALSE || GLuint(current) == program.shaderProgram);
  glUseProgram(0);
  program.destroy();
  while (glGetError() != GL_NO_ERROR) {
  }
  return 0;
}
