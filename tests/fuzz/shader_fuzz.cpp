// Fuzzes the shader text path with a real GL context: the bytes, split at the first NUL byte, are
// written as the vertex and fragment shader files, then read, compiled, linked and every location
// looked up, as at start-up. Checks that the text read back is the file with plain line feeds
// and that a program that linked is current afterwards.
#include <GL/glew.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "fuzz_support.h"
#include "gpu/shader_program.h"

namespace {
std::string vertexPath, fragmentPath;

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// What reading a file must give: its lines, a carriage return dropped where it ends a line, each
// line ending in exactly one line feed (a last line without one gets it).
std::string expectedText(const std::string& bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i)
    if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) text += bytes[i];
  if (!text.empty() && text.back() != '\n') text += '\n';
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  openFuzzGlContext();
  std::string dir = "/tmp/lumarok-shader-fuzz-" + std::to_string(getpid());
  mkdir(dir.c_str(), 0700);
  vertexPath = dir + "/vertexShader.txt";
  fragmentPath = dir + "/fragmentShader.txt";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  size_t split = bytes.find('\0');
  std::string vertex = bytes.substr(0, split);
  std::string fragment = split == std::string::npos ? std::string() : bytes.substr(split + 1);
  writeFile(vertexPath, vertex);
  writeFile(fragmentPath, fragment);
  FUZZ_CHECK(readTextFile(vertexPath) == expectedText(vertex));
  FUZZ_CHECK(readTextFile(fragmentPath) == expectedText(fragment));
  ShaderProgram program;
  program.load(vertexPath, fragmentPath);
  program.queryLocations();
  GLint linked = GL_FALSE, current = 0;
  glGetProgramiv(program.shaderProgram, GL_LINK_STATUS, &linked);
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  if (linked == GL_TRUE) FUZZ_CHECK(static_cast<GLuint>(current) == program.shaderProgram);
  glUseProgram(0);
  program.destroy();
  while (glGetError() != GL_NO_ERROR) {
  }
  return 0;
}
